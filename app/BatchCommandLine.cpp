#include "app/BatchCommandLine.h"

#include <charconv>
#include <string>
#include <string_view>

#include "engine/PictureFormats.h"
#include "engine/TextUtil.h"

namespace app {

namespace {

bool ParseNumber(const std::string& text, long min, long max, long& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value >= min && value <= max;
}

// The -f names of the format table joined by separator; upper case for
// the prose.
std::string FormatNames(const char* separator, const char* last, bool upper = false) {
  std::string names;
  const auto formats = engine::PictureFormats();
  for (std::size_t i = 0; i < formats.size(); ++i) {
    if (i > 0) names += i + 1 == formats.size() && last ? last : separator;
    names += upper ? engine::AsciiUpper(formats[i].name) : std::string(formats[i].name);
  }
  return names;
}

// "WxH" (or "WXH"), each side 1 to 65535.
bool ParseBox(const std::string& text, std::string& width, std::string& height) {
  const std::size_t x = text.find_first_of("xX");
  long w = 0, h = 0;
  if (x == std::string::npos || !ParseNumber(text.substr(0, x), 1, 65535, w) ||
      !ParseNumber(text.substr(x + 1), 1, 65535, h))
    return false;
  width = std::to_string(w);
  height = std::to_string(h);
  return true;
}

// 1 PiB: past any machine, and within a 32-bit long.
constexpr long kMaxMemoryMiB = 1L << 30;

// The options that take a value, short and long.
constexpr std::string_view kShortWithValue = "ofj";
constexpr std::string_view kShortFlags = "qh";
bool LongTakesValue(std::string_view name) {
  for (std::string_view o : {"--output", "--formats", "--width", "--height", "--fit", "--filter", "--rotate", "--jobs",
                             "--quality", "--memory"})
    if (name == o) return true;
  return false;
}

// The arguments as getopt_long sees them, spelt out one option or value
// each: -qj2 becomes -q -j 2, -oDIR becomes -o DIR, --jobs=2 becomes
// --jobs 2. A value in its own argument and everything after "--" stay as
// they are, so a value or a source may begin with a dash.
std::vector<std::string> SpellOut(const std::vector<std::string>& args) {
  std::vector<std::string> out;
  out.reserve(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      out.insert(out.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    }
    if (a.size() < 2 || a[0] != '-') {
      out.push_back(a);
    } else if (a[1] == '-') {
      const std::size_t eq = a.find('=');
      if (eq != std::string::npos && LongTakesValue(std::string_view(a).substr(0, eq))) {
        out.push_back(a.substr(0, eq));
        out.push_back(a.substr(eq + 1));
      } else {
        out.push_back(a);
        if (LongTakesValue(a) && i + 1 < args.size()) out.push_back(args[++i]);
      }
    } else {
      for (std::size_t k = 1; k < a.size(); ++k) {
        if (kShortWithValue.find(a[k]) != std::string_view::npos) {
          out.push_back({'-', a[k]});
          if (k + 1 < a.size()) out.push_back(a.substr(k + 1));
          else if (i + 1 < args.size()) out.push_back(args[++i]);
          break;
        }
        if (kShortFlags.find(a[k]) == std::string_view::npos) {
          out.push_back(std::string(1, '-').append(a, k));  // named whole in the error
          break;
        }
        out.push_back({'-', a[k]});
      }
    }
  }
  return out;
}

bool ParseFormats(const std::string& list, engine::ConversionOptions& options, std::string& error) {
  for (const engine::PictureFormat& format : engine::PictureFormats()) options.*format.option = false;
  std::size_t start = 0;
  while (start <= list.size() && !list.empty()) {
    std::size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    item = engine::TrimBlanks(item);
    if (const engine::PictureFormat* format =
            engine::FindFormatByName(engine::AsciiLower(item), engine::FormatSet::All)) {
      options.*format->option = true;
    } else if (!item.empty()) {
      error = "unknown format '" + item + "' (use " + FormatNames(", ", nullptr) + ")";
      return false;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

}  // namespace

const char* BatchUsage() {
  // The formats come from the format table, so a new entry shows here too.
  static const std::string usage = [] {
    std::string extensions;
    for (const engine::PictureFormat& format : engine::PictureFormats()) {
      if (!extensions.empty()) extensions += ' ';
      extensions += format.extension;
    }
    return "Usage: imgbatch [OPTIONS] SOURCE... -o DIR\n"
           "       imgbatch [OPTIONS] -o DIR -- SOURCE...   (sources that begin with a dash)\n"
           "Converts pictures (" + extensions + ") into " + FormatNames(", ", " and ", true) + " files.\n"
           "\n"
           "  SOURCE               a picture file, or a folder whose pictures and subfolders'\n"
           "                       pictures are converted\n"
           "  -o, --output DIR     the output folder; created with its parents when missing\n"
           "  -f, --formats LIST   comma-separated, any of " + FormatNames(",", nullptr) + " in any case\n"
           "                       (default: bmp,jpg,jpeg,png); an empty list writes nothing\n"
           "  --quality N          JPEG and WebP quality, 1 to 100 (default: 100 for JPEG,\n"
           "                       90 for WebP)\n"
           "  --lossless           WebP targets lossless (--quality does not apply to them)\n"
           "  --width N            resize to this width (switches the resize on)\n"
           "  --height N           resize to this height (switches the resize on)\n"
           "  --keep-ratio         keep the source's proportions\n"
           "  --fit WxH            shrink to fit inside W by H, proportions kept, the other\n"
           "                       side rounded to the nearest pixel\n"
           "  --filter NAME        how a resize computes its pixels: exact (the default, the\n"
           "                       window's box average, slightly sharpened), mitchell or\n"
           "                       lanczos (smooth kernels in linear light)\n"
           "  --rotate DEG         0, 90, 180 or 270 (default 0)\n"
           "  --keep-tree          write a folder's pictures into the same subfolders under\n"
           "                       DIR (default: all straight into DIR)\n"
           "  --skip-existing      leave every target that exists alone; counted as skipped\n"
           "  --no-auto-orient     keep the stored pixels: by default each picture is first\n"
           "                       turned upright as its EXIF orientation says (before the\n"
           "                       resize and --rotate); --auto-orient is accepted\n"
           "  --keep-metadata      carry the source's EXIF (orientation reset to upright),\n"
           "                       ICC colour profile, XMP and JPEG comment into JPEG, PNG\n"
           "                       and WebP targets (by default only the ICC profile)\n"
           "  --strip              carry no metadata at all, not even the ICC profile\n"
           "  -j, --jobs N         pictures converted at once, on at most N threads\n"
           "                       (default: the number of cores)\n"
           "  --memory MB          MiB the pictures converted at once may need together\n"
           "                       (default: a quarter of the machine's memory); a larger\n"
           "                       picture is converted alone\n"
           "  -q, --quiet          no progress display\n"
           "  -h, --help           this text\n"
           "      --version        the program's version\n"
           "  --                   ends the options: what follows are sources, even names\n"
           "                       that begin with a dash\n"
           "\n"
           "Short options take their value attached too (-j2, -oDIR), long ones after '='\n"
           "(--jobs=2). --width or --height alone needs --keep-ratio; with it, the width wins\n"
           "and the height follows the source's proportions. --fit takes no --width or\n"
           "--height. Pictures are never enlarged. A folder's pictures get lower-case names;\n"
           "its other files are counted in the summary, not converted. A picture is read by\n"
           "its content, whatever its extension says. What a written target leaves out\n"
           "(metadata too large for a JPEG file) is said on standard error as a warning.\n"
           "Exit status: 0 all converted, 1 some picture failed, 2 usage error.\n";
  }();
  return usage.c_str();
}

std::optional<BatchCommand> ParseBatchCommand(const std::vector<std::string>& argv, std::string& error) {
  const std::vector<std::string> args = SpellOut(argv);
  BatchCommand cmd;
  bool have_output = false, sizes_on = false, fit = false, keep_metadata = false, strip = false;
  cmd.options.widthText.clear();
  cmd.options.heightText.clear();
  bool only_sources = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = "option " + a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string v;
    long n = 0;
    if (only_sources || a.empty() || a[0] != '-' || a == "-") {
      cmd.sources.push_back(a);
    } else if (a == "--") {
      only_sources = true;
    } else if (a == "-h" || a == "--help") {
      cmd.help = true;
    } else if (a == "--version") {
      cmd.version = true;
    } else if (a == "-q" || a == "--quiet") {
      cmd.quiet = true;
    } else if (a == "--keep-ratio") {
      cmd.options.keepRatio = true;
    } else if (a == "--keep-tree") {
      cmd.keepTree = true;
    } else if (a == "--skip-existing") {
      cmd.options.skipExisting = true;
    } else if (a == "--fit") {
      if (!value(v)) return std::nullopt;
      if (!ParseBox(v, cmd.options.widthText, cmd.options.heightText)) {
        error = "--fit needs WxH, each a whole number from 1 to 65535, not '" + v + "'";
        return std::nullopt;
      }
      fit = true;
    } else if (a == "--filter") {
      if (!value(v)) return std::nullopt;
      const std::string name = engine::AsciiLower(v);
      if (name == "exact") {
        cmd.options.resizeFilter = engine::ResizeFilter::Exact;
      } else if (name == "mitchell") {
        cmd.options.resizeFilter = engine::ResizeFilter::Mitchell;
      } else if (name == "lanczos") {
        cmd.options.resizeFilter = engine::ResizeFilter::Lanczos;
      } else {
        error = "--filter needs exact, mitchell or lanczos, not '" + v + "'";
        return std::nullopt;
      }
    } else if (a == "--lossless") {
      cmd.options.webpLossless = true;
    } else if (a == "--quality") {
      if (!value(v)) return std::nullopt;
      if (!ParseNumber(v, 1, 100, n)) {
        error = "--quality needs a whole number from 1 to 100, not '" + v + "'";
        return std::nullopt;
      }
      cmd.options.jpegQuality = cmd.options.webpQuality = static_cast<int>(n);
    } else if (a == "--auto-orient") {
      // The default; still accepted from scripts written when it was not.
    } else if (a == "--no-auto-orient") {
      cmd.options.autoOrient = false;
    } else if (a == "--keep-metadata") {
      keep_metadata = true;
    } else if (a == "--strip") {
      strip = true;
    } else if (a == "-o" || a == "--output") {
      if (!value(cmd.outputFolder)) return std::nullopt;
      if (cmd.outputFolder.empty()) {
        error = "the output folder is empty";
        return std::nullopt;
      }
      have_output = true;
    } else if (a == "-f" || a == "--formats") {
      if (!value(v) || !ParseFormats(v, cmd.options, error)) return std::nullopt;
    } else if (a == "--width" || a == "--height") {
      if (!value(v)) return std::nullopt;
      if (!ParseNumber(v, 1, 65535, n)) {
        error = a + " needs a whole number from 1 to 65535, not '" + v + "'";
        return std::nullopt;
      }
      (a == "--width" ? cmd.options.widthText : cmd.options.heightText) = std::to_string(n);
      sizes_on = true;
    } else if (a == "--rotate") {
      if (!value(v) || !ParseNumber(v, 0, 270, n) || n % 90 != 0) {
        if (error.empty()) error = "--rotate needs 0, 90, 180 or 270, not '" + v + "'";
        return std::nullopt;
      }
      cmd.options.rotation = static_cast<int>(n / 90);
    } else if (a == "-j" || a == "--jobs") {
      if (!value(v)) return std::nullopt;
      if (!ParseNumber(v, 1, 1024, n)) {
        error = "--jobs needs a whole number from 1 to 1024, not '" + v + "'";
        return std::nullopt;
      }
      cmd.jobs = static_cast<int>(n);
    } else if (a == "--memory") {
      if (!value(v)) return std::nullopt;
      if (!ParseNumber(v, 1, kMaxMemoryMiB, n)) {
        error = "--memory needs a whole number of MiB from 1 to " + std::to_string(kMaxMemoryMiB) +
                ", not '" + v + "'";
        return std::nullopt;
      }
      cmd.memoryMiB = n;
    } else {
      error = "unknown option " + a;
      return std::nullopt;
    }
  }
  if (cmd.help || cmd.version) return cmd;
  // --fit fills both size boxes itself; a single box without --keep-ratio
  // would be no resize at all, which nobody means by giving it.
  if (fit && sizes_on) {
    error = "--fit cannot be combined with --width or --height";
    return std::nullopt;
  }
  if (sizes_on && !cmd.options.keepRatio &&
      (cmd.options.widthText.empty() || cmd.options.heightText.empty())) {
    error = "--width or --height alone needs --keep-ratio; to fit inside a box use --fit WxH";
    return std::nullopt;
  }
  if (keep_metadata && strip) {
    error = "--keep-metadata and --strip cannot be combined";
    return std::nullopt;
  }
  cmd.options.metadata = strip           ? engine::CarriedMetadata::None
                         : keep_metadata ? engine::CarriedMetadata::All
                                         : engine::CarriedMetadata::Profile;
  cmd.options.fitInBox = fit;
  cmd.options.zoomType = sizes_on || fit ? 1 : 0;
  if (!have_output) {
    error = "no output folder: give one with -o DIR";
    return std::nullopt;
  }
  if (cmd.sources.empty()) {
    error = "no source picture or folder given";
    return std::nullopt;
  }
  return cmd;
}

}  // namespace app

#include "app/BatchCommandLine.h"

#include <charconv>
#include <string>

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

bool ParseFormats(const std::string& list, engine::ConversionOptions& options, std::string& error) {
  for (const engine::PictureFormat& format : engine::PictureFormats()) options.*format.option = false;
  std::size_t start = 0;
  while (start <= list.size() && !list.empty()) {
    std::size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (const engine::PictureFormat* format = engine::FindFormatByName(item, engine::FormatSet::All)) {
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
           "Converts pictures (" + extensions + ") into " + FormatNames(", ", " and ", true) + " files.\n"
           "\n"
           "  SOURCE               a picture file, or a folder whose pictures and subfolders'\n"
           "                       pictures are converted\n"
           "  -o, --output DIR     the output folder; created with its parents when missing\n"
           "  -f, --formats LIST   comma-separated, any of " + FormatNames(",", nullptr) + " (default: all four);\n"
           "                       an empty list writes nothing\n"
           "  --width N            resize to this width (switches the resize on)\n"
           "  --height N           resize to this height (switches the resize on)\n"
           "  --keep-ratio         keep the source's proportions\n"
           "  --rotate DEG         0, 90, 180 or 270 (default 0)\n"
           "  --auto-orient        first turn each picture upright as its EXIF orientation\n"
           "                       says (before the resize and --rotate)\n"
           "  --keep-metadata      carry the source's EXIF and ICC colour profile into JPEG\n"
           "                       and PNG targets (the orientation reset to upright when\n"
           "                       --auto-orient turned the picture); BMP carries none\n"
           "  -j, --jobs N         pictures converted at once, on at most N threads\n"
           "                       (default: the number of cores)\n"
           "  -q, --quiet          no progress display\n"
           "  -h, --help           this text\n"
           "      --version        the program's version\n"
           "\n"
           "Without --keep-ratio a resize needs both --width and --height; with it, the\n"
           "width wins and the height follows the source's proportions.\n"
           "Pictures are never enlarged. Exit status: 0 all converted, 1 some picture failed,\n"
           "2 usage error.\n";
  }();
  return usage.c_str();
}

std::optional<BatchCommand> ParseBatchCommand(const std::vector<std::string>& args, std::string& error) {
  BatchCommand cmd;
  bool have_output = false, sizes_on = false;
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
    } else if (a == "--auto-orient") {
      cmd.options.autoOrient = true;
    } else if (a == "--keep-metadata") {
      cmd.options.keepMetadata = true;
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
    } else {
      error = "unknown option " + a;
      return std::nullopt;
    }
  }
  cmd.options.zoomType = sizes_on ? 1 : 0;
  if (cmd.help || cmd.version) return cmd;
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

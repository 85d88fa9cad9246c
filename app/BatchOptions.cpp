#include "app/BatchOptions.h"

#include <array>
#include <charconv>
#include <initializer_list>
#include <utility>
#include <vector>

#include "engine/NameTemplate.h"
#include "engine/PictureFormats.h"
#include "engine/TextUtil.h"
#include "text/Version.h"

namespace app {

namespace {

bool ParseNumber(const std::string& text, long min, long max, long& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value >= min && value <= max;
}

// The -f names of the formats imgbatch writes, joined by separator; upper
// case for the prose.
std::string FormatNames(const char* separator, const char* last = nullptr, bool upper = false) {
  std::vector<std::string> written;
  for (const engine::PictureFormat& format : engine::PictureFormats())
    if (format.write) written.push_back(upper ? engine::AsciiUpper(format.name) : std::string(format.name));
  std::string names;
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (i > 0) names += i + 1 == written.size() && last ? last : separator;
    names += written[i];
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

bool ParseFormats(const std::string& list, engine::ConversionOptions& options, std::string& error) {
  options.targets = engine::FormatTicks::Nothing();
  std::size_t start = 0;
  while (start <= list.size() && !list.empty()) {
    std::size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    item = engine::TrimBlanks(item);
    if (const engine::PictureFormat* format =
            engine::FindFormatByName(engine::AsciiLower(item), engine::FormatSet::All)) {
      options.targets.Set(*format, true);
    } else if (!item.empty()) {
      error = "unknown format '" + item + "' (use " + FormatNames(", ") + ")";
      return false;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

// "N%" or "N", N a number with at most two decimals, as hundredths of a
// percent from 1 (0.01%) to max.
bool ParsePercent(std::string text, long max, int& hundredths) {
  if (!text.empty() && text.back() == '%') text.pop_back();
  if (text.find_first_not_of("0123456789.") != std::string::npos) return false;
  const std::size_t dot = text.find('.');
  std::string whole = text.substr(0, dot), fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (fraction.size() > 2 || (dot != std::string::npos && fraction.empty())) return false;
  fraction.resize(2, '0');
  long w = 0, f = 0;
  if (!ParseNumber(whole, 0, max / 100, w) || !ParseNumber(fraction, 0, 99, f)) return false;
  const long value = w * 100 + f;
  if (value < 1 || value > max) return false;
  hundredths = static_cast<int>(value);
  return true;
}

// 100 times the size, in hundredths of a percent.
constexpr long kMaxScale = 1000000;

// 1 PiB: past any machine, and within a 32-bit long.
constexpr long kMaxMemoryMiB = 1L << 30;

using State = ParseState;
using Error = std::string;

// option's value v as a whole number from min to max, else the usage
// error that names the range.
bool ParseWhole(const std::string& v, const char* option, long min, long max, long& n, Error& e) {
  if (ParseNumber(v, min, max, n)) return true;
  e = std::string(option) + " needs a whole number from " + std::to_string(min) + " to " + std::to_string(max) +
      ", not '" + v + "'";
  return false;
}

// The value of the choice key names, else the usage error that lists the
// names ("a, b or c") beside the value given.
template <typename Value>
bool ParseChoice(const std::string& key, const std::string& given, const char* option,
                 std::initializer_list<std::pair<const char*, Value>> choices, Value& value, Error& e) {
  for (const auto& [name, choice] : choices)
    if (key == name) {
      value = choice;
      return true;
    }
  e = std::string(option) + " needs ";
  std::size_t i = 0;
  for (const auto& choice : choices) e += (i++ == 0 ? "" : i == choices.size() ? " or " : ", ") + std::string(choice.first);
  e += ", not '" + given + "'";
  return false;
}

// --width or --height: a side of 1 to 65535 that switches the resize on.
bool SetSide(State& s, const std::string& v, Error& e, const char* option,
             std::string engine::ConversionOptions::*side) {
  long n = 0;
  if (!ParseWhole(v, option, 1, 65535, n, e)) return false;
  s.cmd.options.*side = std::to_string(n);
  return s.sizesOn = true;
}

const std::array kOptions{
    BatchOption{"output", 'o', "DIR", "the output folder; created with its parents when missing",
                [](State& s, const std::string& v, Error& e) {
                  if (v.empty()) {
                    e = "the output folder is empty";
                    return false;
                  }
                  s.cmd.outputFolder = v;
                  s.haveOutput = true;
                  return true;
                },
                "dir"},
    BatchOption{"formats", 'f', "LIST",
                "comma-separated, any of %FORMATS% in any case\n"
                "(default: bmp,jpg,jpeg,png); an empty list writes nothing;\n"
                "tif and tiff targets are 8-bit, Deflate with the horizontal predictor;\n"
                "avif targets (where --version lists them) 8-bit AV1, 4:2:0",
                [](State& s, const std::string& v, Error& e) { return ParseFormats(v, s.cmd.options, e); },
                "%FORMATS%"},
    BatchOption{"quality", 0, "N", "JPEG, WebP and AVIF quality, 1 to 100 (default: 100 for JPEG,\n90 for WebP, 60 for AVIF)",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseWhole(v, "--quality", 1, 100, n, e)) return false;
                  s.cmd.options.jpegQuality = s.cmd.options.webpQuality = s.cmd.options.avifQuality = static_cast<int>(n);
                  return true;
                }},
    BatchOption{"lossless", 0, nullptr, "WebP targets lossless (--quality does not apply to them)",
                [](State& s, const std::string&, Error&) { return s.cmd.options.webpLossless = true; }},
    BatchOption{"progressive", 0, nullptr,
                "JPEG targets progressive (libjpeg's simple progression,\n"
                "whose Huffman tables are always made for the picture)",
                [](State& s, const std::string&, Error&) { return s.cmd.options.jpegProgressive = true; }},
    BatchOption{"optimize", 0, nullptr,
                "JPEG targets with Huffman tables made for each picture:\n"
                "smaller files, the same pixels",
                [](State& s, const std::string&, Error&) { return s.cmd.options.jpegOptimize = true; }},
    BatchOption{"sampling", 0, "S",
                "JPEG colour resolution: 420 (the default: half the size\n"
                "both ways), 422 (half across) or 444 (full)",
                [](State& s, const std::string& v, Error& e) {
                  const std::string digits = v.size() == 5 && v[1] == ':' && v[3] == ':'
                                                 ? std::string{v[0], v[2], v[4]} : v;
                  using engine::ChromaSampling;
                  return ParseChoice(digits, v, "--sampling",
                                     {std::pair{"420", ChromaSampling::Yuv420}, {"422", ChromaSampling::Yuv422},
                                      {"444", ChromaSampling::Yuv444}},
                                     s.cmd.options.jpegSampling, e);
                },
                "420 422 444"},
    BatchOption{"effort", 0, "N", "WebP effort, 0 (fastest) to 6 (smallest files; default 4)",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseWhole(v, "--effort", 0, 6, n, e)) return false;
                  s.cmd.options.webpEffort = static_cast<int>(n);
                  return true;
                },
                "0 1 2 3 4 5 6"},
    BatchOption{"png-level", 0, "N",
                "PNG's zlib level, 0 (stored, fastest) to 9 (smallest,\nslowest); default 6",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseWhole(v, "--png-level", 0, 9, n, e)) return false;
                  s.cmd.options.pngLevel = static_cast<int>(n);
                  return true;
                },
                "0 1 2 3 4 5 6 7 8 9"},
    BatchOption{"png-filter", 0, "NAME",
                "PNG row filters: adaptive (the default: each row the\n"
                "filter libpng would pick, smaller files) or none (every\n"
                "row unfiltered, as the window writes)",
                [](State& s, const std::string& v, Error& e) {
                  using engine::PngFiltering;
                  return ParseChoice(engine::AsciiLower(v), v, "--png-filter",
                                     {std::pair{"none", PngFiltering::None}, {"adaptive", PngFiltering::Adaptive}},
                                     s.cmd.options.pngFiltering, e);
                },
                "adaptive none"},
    BatchOption{"width", 0, "N", "resize to this width (switches the resize on)",
                [](State& s, const std::string& v, Error& e) {
                  return SetSide(s, v, e, "--width", &engine::ConversionOptions::widthText);
                }},
    BatchOption{"height", 0, "N", "resize to this height (switches the resize on)",
                [](State& s, const std::string& v, Error& e) {
                  return SetSide(s, v, e, "--height", &engine::ConversionOptions::heightText);
                }},
    BatchOption{"keep-ratio", 0, nullptr, "keep the source's proportions",
                [](State& s, const std::string&, Error&) { return s.cmd.options.keepRatio = true; }},
    BatchOption{"fit", 0, "WxH",
                "shrink to fit inside W by H, proportions kept, the other\nside rounded to the nearest pixel",
                [](State& s, const std::string& v, Error& e) {
                  if (!ParseBox(v, s.cmd.options.widthText, s.cmd.options.heightText)) {
                    e = "--fit needs WxH, each a whole number from 1 to 65535, not '" + v + "'";
                    return false;
                  }
                  return s.fit = true;
                }},
    BatchOption{"cover", 0, "WxH",
                "fill W by H, proportions kept, then cut the centre to\n"
                "exactly W by H (a smaller picture is only cut, unless\n"
                "--enlarge)",
                [](State& s, const std::string& v, Error& e) {
                  if (!ParseBox(v, s.cmd.options.widthText, s.cmd.options.heightText)) {
                    e = "--cover needs WxH, each a whole number from 1 to 65535, not '" + v + "'";
                    return false;
                  }
                  return s.cover = true;
                }},
    BatchOption{"scale", 0, "N%",
                "both sides times N/100 (50%, 12.5%), each rounded to the\n"
                "nearest pixel, at least 1; over 100% needs --enlarge",
                [](State& s, const std::string& v, Error& e) {
                  if (!ParsePercent(v, kMaxScale, s.cmd.options.scaleHundredths)) {
                    e = "--scale needs a percentage from 0.01% to 10000%, not '" + v + "'";
                    return false;
                  }
                  return true;
                }},
    BatchOption{"enlarge", 0, nullptr,
                "let a resize make a picture larger (by default no side\n"
                "grows); a growing resize is made by a smooth kernel,\n"
                "lanczos with --filter lanczos, else mitchell",
                [](State& s, const std::string&, Error&) { return s.cmd.options.enlarge = true; }},
    BatchOption{"filter", 0, "NAME",
                "how a resize computes its pixels: exact (the default, the\n"
                "window's box average, slightly sharpened; it only\n"
                "shrinks), mitchell or lanczos (smooth kernels in linear\n"
                "light)",
                [](State& s, const std::string& v, Error& e) {
                  using engine::ResizeFilter;
                  return ParseChoice(engine::AsciiLower(v), v, "--filter",
                                     {std::pair{"exact", ResizeFilter::Exact}, {"mitchell", ResizeFilter::Mitchell},
                                      {"lanczos", ResizeFilter::Lanczos}},
                                     s.cmd.options.resizeFilter, e);
                },
                "exact mitchell lanczos"},
    BatchOption{"rotate", 0, "DEG", "0, 90, 180 or 270 (default 0)",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseNumber(v, 0, 270, n) || n % 90 != 0) {
                    e = "--rotate needs 0, 90, 180 or 270, not '" + v + "'";
                    return false;
                  }
                  s.cmd.options.rotation = static_cast<int>(n / 90);
                  return true;
                },
                "0 90 180 270"},
    BatchOption{"files-from", 0, "FILE",
                "convert the files and folders FILE lists too, one path a\n"
                "line (- reads standard input); blank lines are skipped",
                [](State& s, const std::string& v, Error&) {
                  s.cmd.sourceLists.push_back(v);
                  return true;
                },
                "file"},
    BatchOption{"null", '0', nullptr, "--files-from's paths end in NUL bytes (find -print0)",
                [](State& s, const std::string&, Error&) { return s.cmd.nulSeparated = true; }},
    BatchOption{"max-depth", 0, "N",
                "walk a folder N levels of subfolders deep (0: its own files\n"
                "only; default: all)",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseWhole(v, "--max-depth", 0, 1000000, n, e)) return false;
                  s.cmd.walk.maxDepth = static_cast<int>(n);
                  return true;
                }},
    BatchOption{"include", 0, "GLOB",
                "take only files whose name matches GLOB (*, ?, [...]; letters\n"
                "in either case); may be repeated",
                [](State& s, const std::string& v, Error&) {
                  s.cmd.walk.names.include.push_back(v);
                  return true;
                }},
    BatchOption{"exclude", 0, "GLOB", "leave out files whose name matches GLOB, even when included;\nmay be repeated",
                [](State& s, const std::string& v, Error&) {
                  s.cmd.walk.names.exclude.push_back(v);
                  return true;
                }},
    BatchOption{"keep-tree", 0, nullptr,
                "write a folder's pictures into the same subfolders under\nDIR (default: all straight into DIR)",
                [](State& s, const std::string&, Error&) { return s.cmd.keepTree = true; }},
    BatchOption{"name", 0, "TEMPLATE",
                "name the targets by TEMPLATE and their extension: {name}\n"
                "the source's name without extension, in its own case,\n"
                "{ext} the target's extension, {w} and {h} its size\n"
                "(--name '{name}_small'); a name taken gets a number",
                [](State& s, const std::string& v, Error& e) {
                  const std::string problem = engine::NameTemplateProblem(v);
                  if (!problem.empty()) {
                    e = "--name '" + v + "' " + problem;
                    return false;
                  }
                  s.cmd.options.nameTemplate = v;
                  return true;
                }},
    BatchOption{"skip-existing", 0, nullptr, "leave every target that exists alone; counted as skipped",
                [](State& s, const std::string&, Error&) { return s.cmd.options.skipExisting = true; }},
    BatchOption{"update", 0, nullptr,
                "leave every target that is at least as new as its source\nalone; counted as skipped",
                [](State& s, const std::string&, Error&) { return s.cmd.options.skipUpToDate = true; }},
    BatchOption{"keep-time", 0, nullptr, "give each written target its source's modification time",
                [](State& s, const std::string&, Error&) { return s.cmd.options.keepSourceTime = true; }},
    BatchOption{"no-auto-orient", 0, nullptr,
                "keep the stored pixels: by default each picture is first\n"
                "turned upright as its EXIF orientation says (before the\n"
                "resize and --rotate)",
                [](State& s, const std::string&, Error&) {
                  s.cmd.options.autoOrient = false;
                  return true;
                }},
    BatchOption{"auto-orient", 0, nullptr, "the default; accepted from scripts written before it was",
                [](State&, const std::string&, Error&) { return true; }},
    BatchOption{"keep-metadata", 0, nullptr,
                "carry the source's EXIF (orientation reset to upright),\n"
                "ICC colour profile, XMP and JPEG comment into JPEG, PNG\n"
                "and WebP targets (by default only the ICC profile)",
                [](State& s, const std::string&, Error&) { return s.keepMetadata = true; }},
    BatchOption{"strip", 0, nullptr, "carry no metadata at all, not even the ICC profile",
                [](State& s, const std::string&, Error&) { return s.strip = true; }},
    BatchOption{"jobs", 'j', "N", "pictures converted at once, on at most N threads\n(default: the number of cores)",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseWhole(v, "--jobs", 1, 1024, n, e)) return false;
                  s.cmd.jobs = static_cast<int>(n);
                  return true;
                }},
    BatchOption{"memory", 0, "MB",
                "MiB the pictures converted at once may need together\n"
                "(default: a quarter of the machine's memory); a picture\n"
                "that needs more is not converted",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseNumber(v, 1, kMaxMemoryMiB, n)) {
                    e = "--memory needs a whole number of MiB from 1 to " + std::to_string(kMaxMemoryMiB) +
                        ", not '" + v + "'";
                    return false;
                  }
                  s.cmd.memoryMiB = n;
                  return true;
                }},
    BatchOption{"dry-run", 0, nullptr,
                "print each target that would be written, as SOURCE -> TARGET,\n"
                "and write nothing, not even the output folder",
                [](State& s, const std::string&, Error&) { return s.cmd.dryRun = true; }},
    BatchOption{"report", 0, "FORMAT",
                "json: one JSON object a line on standard output for each\n"
                "picture (its targets with sizes and bytes, skipped targets,\n"
                "failures); the summary line goes to standard error",
                [](State& s, const std::string& v, Error& e) {
                  if (engine::AsciiLower(v) != "json") {
                    e = "--report needs json, not '" + v + "'";
                    return false;
                  }
                  return s.cmd.jsonReport = true;
                },
                "json"},
    BatchOption{"quiet", 'q', nullptr, "no progress display and no summary line",
                [](State& s, const std::string&, Error&) { return s.cmd.quiet = true; }},
    BatchOption{"help", 'h', nullptr, "this text",
                [](State& s, const std::string&, Error&) { return s.cmd.help = true; }},
    BatchOption{"version", 0, nullptr, "the program's version",
                [](State& s, const std::string&, Error&) { return s.cmd.version = true; }},
};

// "  -o, --output DIR", as --help starts an option's line.
std::string Synopsis(const BatchOption& o) {
  std::string s = o.shortName ? std::string("  -") + o.shortName + ", " : "      ";
  s += std::string("--") + o.longName;
  if (o.value) s += std::string(" ") + o.value;
  return s;
}

// The table's text with the format table's names in place of "%FORMATS%",
// joined by separator.
std::string WithFormats(const char* text, const char* separator) {
  std::string s = text;
  const std::size_t at = s.find("%FORMATS%");
  if (at != std::string::npos) s.replace(at, 9, FormatNames(separator));
  return s;
}

std::vector<std::string> Lines(const char* raw) {
  const std::string text = WithFormats(raw, ",");
  std::vector<std::string> lines;
  std::string line;
  for (const char* p = text.c_str(); *p; ++p) {
    if (*p == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += *p;
    }
  }
  lines.push_back(line);
  return lines;
}

// troff takes a leading '.' or '\'' as a request and '\' as an escape.
std::string Troff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
  }
  return out;
}

constexpr const char* kNotes =
    "Short options take their value attached too (-j2, -oDIR), long ones after '='\n"
    "(--jobs=2), and a long option may be shortened to any beginning that names it\n"
    "alone (--qual=50). --width or --height alone needs --keep-ratio; with it, the\n"
    "width wins and the height follows the source's proportions. One resize at a\n"
    "time: --fit, --cover, --scale or --width/--height. Pictures are never enlarged\n"
    "without --enlarge. A folder's pictures get lower-case names unless --name is\n"
    "given; its other files are counted in the summary, not converted. A\n"
    "picture is read by its content, whatever its extension says. What a written\n"
    "target leaves out (metadata too large for a JPEG file) is said on standard\n"
    "error as a warning.";

}  // namespace

std::span<const BatchOption> BatchOptions() { return kOptions; }

const BatchOption* FindLongOption(const std::string& given, std::string& error) {
  const BatchOption* found = nullptr;
  int matches = 0;
  std::string candidates;
  for (const BatchOption& o : kOptions) {
    const std::string name = o.longName;
    if (name == given) return &o;
    if (!given.empty() && name.rfind(given, 0) == 0) {
      candidates += " --" + name;
      found = &o;
      ++matches;
    }
  }
  if (matches > 1) {
    error = "option '--" + given + "' is ambiguous; possibilities:" + candidates;
    return nullptr;
  }
  if (!found) error = "unknown option --" + given;
  return found;
}

const BatchOption* FindShortOption(char letter) {
  for (const BatchOption& o : kOptions)
    if (o.shortName == letter) return &o;
  return nullptr;
}

std::string BatchFormatLines() {
  std::string reads = "reads:", writes = "writes:";
  for (const engine::PictureFormat& format : engine::PictureFormats()) {
    reads += std::string(" ") + format.name;
    if (format.write) writes += std::string(" ") + format.name;
  }
  return reads + "\n" + writes + "\n";
}

std::string BatchHelpText() {
  std::string extensions;
  for (const engine::PictureFormat& format : engine::PictureFormats()) {
    if (!extensions.empty()) extensions += ' ';
    extensions += format.extension;
  }
  std::string help = "Usage: imgbatch [OPTIONS] SOURCE... -o DIR\n"
                     "       imgbatch [OPTIONS] -o DIR -- SOURCE...   (sources that begin with a dash)\n"
                     "Converts pictures (" + extensions + ") into " + FormatNames(", ", " and ", true) +
                     " files.\n\n"
                     "  SOURCE               a picture file, or a folder whose pictures and subfolders'\n"
                     "                       pictures are converted\n";
  for (const BatchOption& o : kOptions) {
    const std::vector<std::string> lines = Lines(o.help);
    std::string first = Synopsis(o);
    if (first.size() < 23) first.resize(23, ' ');
    else first = first + "\n" + std::string(23, ' ');
    help += first + lines[0] + "\n";
    for (std::size_t i = 1; i < lines.size(); ++i) help += std::string(23, ' ') + lines[i] + "\n";
  }
  help += "  --                   ends the options: what follows are sources, even names\n"
          "                       that begin with a dash\n\n";
  help += std::string(kNotes) +
          "\nExit status: 0 all converted, 1 some picture failed or a source could not be\n"
          "read, 2 usage error.\n";
  return help;
}

std::string BatchManPage() {
  std::string page = ".TH IMGBATCH 1 \"\" \"imgbatch " + text::ProgramVersionText() + "\" \"User Commands\"\n";
  page += ".SH NAME\nimgbatch \\- convert pictures in batches into " + Troff(FormatNames(", ", " and ", true)) +
          " files\n";
  page += ".SH SYNOPSIS\n.B imgbatch\n[\\fIOPTIONS\\fR] \\fISOURCE\\fR... \\fB\\-o\\fR \\fIDIR\\fR\n";
  page += ".SH DESCRIPTION\nEach \\fISOURCE\\fR is a picture file, or a folder whose pictures and "
          "subfolders' pictures are converted into \\fIDIR\\fR.\n";
  page += ".SH OPTIONS\n";
  for (const BatchOption& o : kOptions) {
    page += ".TP\n";
    if (o.shortName) page += std::string("\\fB\\-") + o.shortName + "\\fR, ";
    page += "\\fB\\-\\-" + Troff(o.longName) + "\\fR";
    if (o.value) page += std::string(" \\fI") + Troff(o.value) + "\\fR";
    page += "\n";
    for (const std::string& line : Lines(o.help)) page += Troff(line) + "\n";
  }
  page += ".TP\n\\fB\\-\\-\\fR\nends the options: what follows are sources.\n";
  page += ".SH NOTES\n" + Troff(kNotes) + "\n";
  page += ".SH EXIT STATUS\n0 all converted, 1 some picture failed or a source could not be read, 2 usage "
          "error.\n";
  return page;
}

std::string BatchCompletion() {
  std::string words, cases;
  for (const BatchOption& o : kOptions) {
    words += std::string(" --") + o.longName;
    if (o.shortName) words += std::string(" -") + o.shortName;
    if (!o.value) continue;
    std::string names = std::string("--") + o.longName;
    if (o.shortName) names += std::string("|-") + o.shortName;
    const std::string values = o.completions ? WithFormats(o.completions, " ") : "";
    if (values == "dir")
      cases += "    " + names + ") COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n";
    else if (values == "file")
      cases += "    " + names + ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
    else if (!values.empty())
      cases += "    " + names + ") COMPREPLY=($(compgen -W \"" + values + "\" -- \"$cur\")); return ;;\n";
    else
      cases += "    " + names + ") return ;;\n";
  }
  return "# bash completion for imgbatch, made from its option table\n"
         "_imgbatch() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "  case $prev in\n" + cases +
         "  esac\n"
         "  if [[ $cur == -* ]]; then\n"
         "    COMPREPLY=($(compgen -W \"" + words.substr(1) + "\" -- \"$cur\"))\n"
         "  else\n"
         "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "  fi\n"
         "}\n"
         "complete -o filenames -F _imgbatch imgbatch\n";
}

}  // namespace app

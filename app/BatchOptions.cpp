#include "app/BatchOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "engine/plan/NameTemplate.h"
#include "engine/formats/PictureFormats.h"
#include "platform/PathNames.h"
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
    if (format.write) written.push_back(upper ? img::AsciiUpper(format.name) : std::string(format.name));
  std::string names;
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (i > 0) names += i + 1 == written.size() && last ? last : separator;
    names += written[i];
  }
  return names;
}

// "WxH" (or "WXH"), each side 1 to 65535; with square, "N" too, for N by N.
template <typename Box>
bool ParseBox(const std::string& text, std::optional<Box>& box, bool square = false) {
  const std::size_t x = text.find_first_of("xX");
  long w = 0, h = 0;
  if (x == std::string::npos) {
    if (!square || !ParseNumber(text, 1, 65535, w)) return false;
    h = w;
  } else if (!ParseNumber(text.substr(0, x), 1, 65535, w) || !ParseNumber(text.substr(x + 1), 1, 65535, h)) {
    return false;
  }
  box = Box{static_cast<int>(w), static_cast<int>(h)};
  return true;
}

// An option's box (--fit, --cover, --pad), or its usage error.
template <typename Box>
bool TakeBox(const char* option, const std::string& text, std::optional<Box>& box, bool square, std::string& error) {
  if (ParseBox(text, box, square)) return true;
  error = option;
  error += square ? " needs WxH or N" : " needs WxH";
  error += ", each a whole number from 1 to 65535, not '";
  error += text;
  error += '\'';
  return false;
}

// "WxH+X+Y" (or "WXH+X+Y"), a box of 1 to 65535 a side at 0 to 65535 from
// the top left; or "W:H", a shape, 1 to 65535 each.
bool ParseCrop(const std::string& text, engine::Crop& crop) {
  long w = 0, h = 0, x = 0, y = 0;
  if (const std::size_t colon = text.find(':'); colon != std::string::npos) {
    if (!ParseNumber(text.substr(0, colon), 1, 65535, w) || !ParseNumber(text.substr(colon + 1), 1, 65535, h))
      return false;
    crop.to = engine::CropShape{static_cast<int>(w), static_cast<int>(h)};
    return true;
  }
  const std::size_t first = text.find('+');
  if (first == std::string::npos) return false;
  const std::size_t second = text.find('+', first + 1);
  std::optional<engine::FitInBox> box;
  if (second == std::string::npos || !ParseBox(text.substr(0, first), box) ||
      !ParseNumber(text.substr(first + 1, second - first - 1), 0, 65535, x) ||
      !ParseNumber(text.substr(second + 1), 0, 65535, y))
    return false;
  crop.to = engine::CropBox{box->width, box->height, static_cast<int>(x), static_cast<int>(y)};
  return true;
}

// "white", "black" (any case) or "#rrggbb".
bool ParseColour(const std::string& text, std::optional<img::PaletteEntry>& colour) {
  const std::string name = img::AsciiLower(text);
  if (name == "white" || name == "black") {
    const std::uint8_t v = name == "white" ? 255 : 0;
    colour = img::PaletteEntry{v, v, v, 0};
    return true;
  }
  if (name.size() != 7 || name[0] != '#' || name.find_first_not_of("0123456789abcdef", 1) != std::string::npos)
    return false;
  std::uint8_t rgb[3] = {};
  for (int i = 0; i < 3; ++i) std::from_chars(name.data() + 1 + 2 * i, name.data() + 3 + 2 * i, rgb[i], 16);
  colour = img::PaletteEntry{rgb[2], rgb[1], rgb[0], 0};
  return true;
}

bool ParseFormats(const std::string& list, engine::ConversionOptions& options, std::string& error) {
  options.targets = engine::FormatTicks::Nothing();
  options.ownKindTarget = false;
  std::size_t start = 0;
  while (start <= list.size() && !list.empty()) {
    std::size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    item = img::TrimBlanks(item);
    if (const engine::PictureFormat* format =
            engine::FindFormatByName(img::AsciiLower(item))) {
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

// --quality: one number for every encoder, or "kind=N" items (jpg=85,webp=80)
// for those named, since their scales differ; the others keep theirs.
bool ParseQuality(const std::string& value, engine::ConversionOptions& options, std::string& error) {
  const std::pair<const char*, int engine::ConversionOptions::*> kinds[] = {
      {"jpg", &engine::ConversionOptions::jpegQuality},  {"jpeg", &engine::ConversionOptions::jpegQuality},
      {"webp", &engine::ConversionOptions::webpQuality}, {"avif", &engine::ConversionOptions::avifQuality},
      {"jxl", &engine::ConversionOptions::jxlQuality}};
  long n = 0;
  if (value.find('=') == std::string::npos) {
    if (!ParseNumber(value, 1, 100, n)) {
      error = "--quality needs a whole number from 1 to 100, or kind=N items such as jpg=85,webp=80, not '" +
              value + "'";
      return false;
    }
    for (const auto& kind : kinds) options.*kind.second = static_cast<int>(n);
    return true;
  }
  engine::ConversionOptions given = options;  // set only once every item is good
  for (std::size_t start = 0; start <= value.size();) {
    const std::size_t comma = std::min(value.find(',', start), value.size());
    const std::string item = value.substr(start, comma - start);
    start = comma + 1;
    const std::size_t equals = item.find('=');
    const std::string kind = img::AsciiLower(img::TrimBlanks(item.substr(0, equals)));
    const auto found = std::find_if(std::begin(kinds), std::end(kinds),
                                    [&](const auto& k) { return kind == k.first; });
    if (equals == std::string::npos || found == std::end(kinds)) {
      error = "--quality: '" + item + "' is not jpg=N, webp=N, avif=N or jxl=N";
      return false;
    }
    if (!ParseNumber(img::TrimBlanks(item.substr(equals + 1)), 1, 100, n)) {
      error = "--quality: " + kind + " needs a whole number from 1 to 100, not '" + item.substr(equals + 1) + "'";
      return false;
    }
    given.*found->second = static_cast<int>(n);
  }
  options = std::move(given);
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

// A byte count: a number with up to six decimals, then k (1000), M
// (1000000) or nothing (bytes), a B after the letter allowed, in any case.
// k is 1000, not 1024: the smaller reading, so that a file within "200k"
// fits a form's "200KB" whichever it means. A fraction of a byte is dropped,
// for the same reason. From 1 byte to 1 TB (the number itself at most 10^9).
bool ParseByteSize(std::string text, std::uint64_t& bytes) {
  text = img::AsciiLower(text);
  std::uint64_t unit = 1;
  if (text.size() > 1 && text.back() == 'b' && (text[text.size() - 2] == 'k' || text[text.size() - 2] == 'm'))
    text.pop_back();
  if (!text.empty() && (text.back() == 'k' || text.back() == 'm')) {
    unit = text.back() == 'k' ? 1000 : 1000000;
    text.pop_back();
  }
  const std::size_t dot = text.find('.');
  const std::string whole = text.substr(0, dot), fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (whole.empty() || fraction.size() > 6 || (dot != std::string::npos && fraction.empty()) ||
      fraction.find_first_not_of("0123456789") != std::string::npos)
    return false;
  constexpr std::uint64_t kMaxBytes = 1000000000000;  // 1 TB
  long w = 0, f = 0;
  if (!ParseNumber(whole, 0, 1000000000, w) || (!fraction.empty() && !ParseNumber(fraction, 0, 999999, f)))
    return false;
  std::uint64_t scale = 1;
  for (std::size_t i = 0; i < fraction.size(); ++i) scale *= 10;
  const std::uint64_t value = static_cast<std::uint64_t>(w) * unit + static_cast<std::uint64_t>(f) * unit / scale;
  if (value < 1 || value > kMaxBytes) return false;
  bytes = value;
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
             std::optional<long long> engine::SizeBoxes::*side) {
  long n = 0;
  if (!ParseWhole(v, option, 1, 65535, n, e)) return false;
  s.sizes.*side = n;
  return s.sizesOn = true;
}

const std::array kOptions{
    BatchOption{OptionGroup::Output, "output", 'o', "DIR",
                "the output folder, made with its parents when missing",
                "the output folder; created with its parents when missing,\n"
                "once there is a picture to write",
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
    BatchOption{OptionGroup::Output, "formats", 'f', "LIST",
                "any of %FORMATS% (default: each picture's own kind)",
                "comma-separated, any of %FORMATS% in any case\n"
                "(default: each picture once, in its own kind; GIF, HEIC and\n"
                "HEIF as PNG when they have transparency, else JPG); an empty\n"
                "list writes nothing;\n"
                "tif and tiff targets are 8-bit, Deflate with the horizontal predictor;\n"
                "avif targets (where --version lists them) 8-bit AV1, 4:2:0;\n"
                "jxl targets (where --version lists them): a JPEG source whose\n"
                "pixels nothing changes (no resize or turn) is recompressed\n"
                "without loss, and djxl gives that JPEG back (with the metadata\n"
                "carried); a --quality other than 100 encodes its pixels instead",
                [](State& s, const std::string& v, Error& e) { return ParseFormats(v, s.cmd.options, e); },
                "%FORMATS%"},
    BatchOption{OptionGroup::Encoding, "quality", 0, "N",
                "JPEG/WebP/AVIF/JXL quality 1-100 (default 90/90/60/90), or per kind: "
                "jpg=85,webp=80,avif=55,jxl=90",
                "JPEG, WebP, AVIF and JXL quality, 1 to 100 (default: 90 for\n"
                "JPEG and WebP, 60 for AVIF, 90 for JXL, whose 100 is\n"
                "lossless); N is one number for all of them, or, since their\n"
                "scales differ, kind=N items for those named, the others keeping\n"
                "theirs: jpg=85,webp=80,avif=55 (jpeg= is jpg=); with a JXL\n"
                "quality, a JPEG source's JXL target is encoded from the pixels\n"
                "at that quality unless it is 100",
                [](State& s, const std::string& v, Error& e) {
                  // Whether it names a JPEG quality: none leaves the 0 put there.
                  const int before = std::exchange(s.cmd.options.jpegQuality, 0);
                  const bool parsed = ParseQuality(v, s.cmd.options, e);
                  if (s.cmd.options.jpegQuality == 0) s.cmd.options.jpegQuality = before;
                  else s.jpegCodingGiven = true;
                  return parsed;
                }},
    BatchOption{OptionGroup::Encoding, "max-size", 0, "SIZE",
                "JPEG/WebP/AVIF at most SIZE (200k, 1.5M) by quality",
                "JPEG, WebP and AVIF targets at most SIZE bytes (k is 1000,\n"
                "M 1000000: 200k is 200000 bytes, within a \"200KB\" limit read\n"
                "either way; 1.5M, or plain bytes), each at the highest quality\n"
                "up to --quality's whose file fits, found in at most 8 encodes;\n"
                "a picture that does not fit even at quality 1 fails that target\n"
                "(over_max_size). Lossless WebP is checked, not lowered; PNG,\n"
                "BMP, TIFF and JXL targets are not limited",
                [](State& s, const std::string& v, Error& e) {
                  if (ParseByteSize(v, s.cmd.options.maxBytes)) return true;
                  e = "--max-size needs a size such as 200k, 1.5M or 50000 (bytes), not '" + v + "'";
                  return false;
                }},
    BatchOption{OptionGroup::Encoding, "lossless", 0, nullptr,
                "WebP and JXL targets lossless",
                "WebP and JXL targets lossless (--quality does not apply to\nthem)",
                [](State& s, const std::string&, Error&) {
                  return s.cmd.options.webpLossless = s.cmd.options.jxlLossless = true;
                }},
    BatchOption{OptionGroup::Encoding, "progressive", 0, nullptr,
                "JPEG targets progressive",
                "JPEG targets progressive (libjpeg's simple progression,\n"
                "whose Huffman tables are always made for the picture)",
                [](State& s, const std::string&, Error&) { return s.cmd.options.jpegProgressive = true; }},
    BatchOption{OptionGroup::Encoding, "optimize", 0, nullptr,
                "JPEG Huffman tables made for each picture",
                "JPEG targets with Huffman tables made for each picture:\n"
                "smaller files, the same pixels",
                [](State& s, const std::string&, Error&) {
                  return s.jpegCodingGiven = s.cmd.options.jpegOptimize = true;
                }},
    BatchOption{OptionGroup::Encoding, "jpeg-lossless", 0, nullptr,
                "JPEG to JPEG turns in the coded data, without loss",
                "a JPEG source written as JPEG whose only change is a turn (its\n"
                "EXIF orientation, --rotate) is turned in its coded data\n"
                "(libjpeg-turbo's lossless transform): nothing is encoded again\n"
                "and the EXIF orientation becomes 1. This is also the default\n"
                "while no JPEG --quality, --sampling or --optimize is given;\n"
                "--jpeg-lossless keeps it with them, which then apply to the\n"
                "pictures encoded from their pixels. A picture whose width or\n"
                "height is not whole JPEG blocks (8 or 16 pixels) for its turn\n"
                "is encoded from its pixels instead, with a warning, never cut;\n"
                "so is a CMYK one. Not with --max-size",
                [](State& s, const std::string&, Error&) { return s.jpegLossless = true; }},
    BatchOption{OptionGroup::Encoding, "sampling", 0, "S",
                "JPEG colour resolution: 420 (default), 422 or 444",
                "JPEG colour resolution: 420 (the default: half the size\n"
                "both ways), 422 (half across) or 444 (full)",
                [](State& s, const std::string& v, Error& e) {
                  const std::string digits = v.size() == 5 && v[1] == ':' && v[3] == ':'
                                                 ? std::string{v[0], v[2], v[4]} : v;
                  using engine::ChromaSampling;
                  return ParseChoice(digits, v, "--sampling",
                                     {std::pair{"420", ChromaSampling::Yuv420}, {"422", ChromaSampling::Yuv422},
                                      {"444", ChromaSampling::Yuv444}},
                                     s.cmd.options.jpegSampling, e) &&
                         (s.jpegCodingGiven = true);
                },
                "420 422 444"},
    BatchOption{OptionGroup::Encoding, "effort", 0, "N",
                "WebP effort 0-6 (default 4), JXL effort 1-9 (default 7)",
                "WebP effort, 0 (fastest) to 6 (smallest files; default 4), and\n"
                "JXL effort, 1 to 9 (default 7); a number past a format's\n"
                "range takes its nearest end (9: WebP 6, 0: JXL 1)",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseWhole(v, "--effort", 0, 9, n, e)) return false;
                  s.cmd.options.webpEffort = static_cast<int>(std::min(n, 6L));
                  s.cmd.options.jxlEffort = static_cast<int>(std::max(n, 1L));
                  return true;
                },
                "0 1 2 3 4 5 6 7 8 9"},
    BatchOption{OptionGroup::Encoding, "png-level", 0, "N",
                "PNG's zlib level, 0 (fastest) to 9; default 6",
                "PNG's zlib level, 0 (stored, fastest) to 9 (smallest,\nslowest); default 6",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseWhole(v, "--png-level", 0, 9, n, e)) return false;
                  s.cmd.options.pngLevel = static_cast<int>(n);
                  return true;
                },
                "0 1 2 3 4 5 6 7 8 9"},
    BatchOption{OptionGroup::Encoding, "png-filter", 0, "NAME",
                "PNG row filters: adaptive (the default) or none",
                "PNG row filters: adaptive (the default: each row the\n"
                "filter libpng would pick, smaller files) or none (every\n"
                "row unfiltered, as the window writes)",
                [](State& s, const std::string& v, Error& e) {
                  using engine::PngFiltering;
                  return ParseChoice(img::AsciiLower(v), v, "--png-filter",
                                     {std::pair{"none", PngFiltering::None}, {"adaptive", PngFiltering::Adaptive}},
                                     s.cmd.options.pngFiltering, e);
                },
                "adaptive none"},
    BatchOption{OptionGroup::Resize, "width", 0, "N",
                "resize to this width; alone it needs --keep-ratio",
                "resize to this width (switches the resize on)",
                [](State& s, const std::string& v, Error& e) {
                  return SetSide(s, v, e, "--width", &engine::SizeBoxes::width);
                }},
    BatchOption{OptionGroup::Resize, "height", 0, "N",
                "resize to this height; alone it needs --keep-ratio",
                "resize to this height (switches the resize on)",
                [](State& s, const std::string& v, Error& e) {
                  return SetSide(s, v, e, "--height", &engine::SizeBoxes::height);
                }},
    BatchOption{OptionGroup::Resize, "keep-ratio", 0, nullptr,
                "keep the proportions (the width wins over the height)",
                "keep the source's proportions",
                [](State& s, const std::string&, Error&) { return s.sizes.keepRatio = true; }},
    BatchOption{OptionGroup::Resize, "fit", 0, "WxH",
                "shrink into W by H (N: N by N), proportions kept",
                "shrink to fit inside W by H (a single N: N by N),\n"
                "proportions kept, the other side rounded to the nearest\npixel",
                [](State& s, const std::string& v, Error& e) { return TakeBox("--fit", v, s.fit, true, e); }},
    BatchOption{OptionGroup::Resize, "cover", 0, "WxH",
                "fill W by H, proportions kept, and cut the overhang",
                "fill W by H, proportions kept, then cut the centre to\n"
                "exactly W by H (a smaller picture is only cut, unless\n"
                "--enlarge)",
                [](State& s, const std::string& v, Error& e) { return TakeBox("--cover", v, s.cover, false, e); }},
    BatchOption{OptionGroup::Resize, "scale", 0, "N%",
                "both sides times N/100 (50%, 12.5%)",
                "both sides times N/100 (50%, 12.5%), each rounded to the\n"
                "nearest pixel, at least 1; over 100% needs --enlarge",
                [](State& s, const std::string& v, Error& e) {
                  int hundredths = 0;
                  if (!ParsePercent(v, kMaxScale, hundredths)) {
                    e = "--scale needs a percentage from 0.01% to 10000%, not '" + v + "'";
                    return false;
                  }
                  s.scale = engine::ScaleBy{hundredths};
                  return true;
                }},
    BatchOption{OptionGroup::Resize, "enlarge", 0, nullptr,
                "let a resize make a picture larger",
                "let a resize make a picture larger (by default no side\n"
                "grows); a growing resize is made by a smooth kernel,\n"
                "lanczos unless --filter names another",
                [](State& s, const std::string&, Error&) { return s.cmd.options.resize.enlarge = true; }},
    BatchOption{OptionGroup::Resize, "filter", 0, "NAME",
                "lanczos (the default), mitchell or exact (the window's)",
                "how a resize computes its pixels: lanczos (the default) or\n"
                "mitchell (smooth kernels in linear light), or exact (the\n"
                "window's box average, slightly sharpened; it only shrinks,\n"
                "so a growing resize is made by mitchell)",
                [](State& s, const std::string& v, Error& e) {
                  using engine::ResizeFilter;
                  return ParseChoice(img::AsciiLower(v), v, "--filter",
                                     {std::pair{"exact", ResizeFilter::Exact}, {"mitchell", ResizeFilter::Mitchell},
                                      {"lanczos", ResizeFilter::Lanczos}},
                                     s.cmd.options.resize.filter, e);
                },
                "lanczos mitchell exact"},
    BatchOption{OptionGroup::Resize, "rotate", 0, "DEG",
                "turn 0, 90, 180 or 270 degrees clockwise",
                "0, 90, 180 or 270 (default 0)",
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
    BatchOption{OptionGroup::Resize, "crop", 0, "WxH+X+Y",
                "a W by H box at X, Y, or the largest centred W:H",
                "cut out W by H pixels whose top left corner is X across and Y\n"
                "down, or with W:H (1:1, 4:3) the largest box of those\n"
                "proportions in the middle; of the picture as it is seen\n"
                "turned upright and by --rotate, before the resize. A box\n"
                "reaching outside a picture fails that picture (crop_outside):\n"
                "a smaller part would pass for the part asked",
                [](State& s, const std::string& v, Error& e) {
                  if (ParseCrop(v, s.cmd.options.crop)) return true;
                  e = "--crop needs WxH+X+Y or W:H, sides from 1 to 65535 and X, Y from 0 to 65535, not '" + v +
                      "'";
                  return false;
                }},
    BatchOption{OptionGroup::Resize, "pad", 0, "WxH",
                "fit into W by H, then centre on a canvas of W by H",
                "shrink to fit inside W by H as --fit does (growing only with\n"
                "--enlarge), then lay the picture in the middle of a canvas of\n"
                "exactly W by H, the odd line to the right or the bottom; the\n"
                "canvas is --background's colour, else white, or transparent\n"
                "for a picture with transparency bound for a target that keeps\n"
                "it (a picture without transparency gains none)",
                [](State& s, const std::string& v, Error& e) { return TakeBox("--pad", v, s.pad, true, e); }},
    BatchOption{OptionGroup::Resize, "background", 0, "NAME",
                "white (default), black or #rrggbb: --pad, transparency",
                "white (the default), black or #rrggbb: the colour of a --pad\n"
                "canvas, and the colour transparency is laid over for targets\n"
                "without alpha (JPEG; BMP but for a BMP source). Targets that\n"
                "keep alpha keep the picture's transparency",
                [](State& s, const std::string& v, Error& e) {
                  if (ParseColour(v, s.cmd.options.background)) return true;
                  e = "--background needs white, black or #rrggbb, not '" + v + "'";
                  return false;
                },
                "white black"},
    BatchOption{OptionGroup::WhichFiles, "files-from", 0, "FILE",
                "also convert the paths FILE lists (-: standard input)",
                "convert the files and folders FILE lists too, one path a\n"
                "line (- reads standard input); blank lines are skipped",
                [](State& s, const std::string& v, Error&) {
                  s.cmd.sourceLists.push_back(v);
                  return true;
                },
                "file"},
    BatchOption{OptionGroup::WhichFiles, "null", '0', nullptr,
                "--files-from's paths end in NUL bytes (find -print0)",
                "--files-from's paths end in NUL bytes (find -print0)",
                [](State& s, const std::string&, Error&) { return s.cmd.nulSeparated = true; }},
    BatchOption{OptionGroup::WhichFiles, "max-depth", 0, "N",
                "walk N levels of subfolders deep (0: own files only)",
                "walk a folder N levels of subfolders deep (0: its own files\n"
                "only; default: all)",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseWhole(v, "--max-depth", 0, 1000000, n, e)) return false;
                  s.cmd.walk.maxDepth = static_cast<int>(n);
                  return true;
                }},
    BatchOption{OptionGroup::WhichFiles, "include", 0, "GLOB",
                "take only files whose name matches GLOB; repeatable",
                "take only files whose name matches GLOB (*, ?, [...]; letters\n"
                "in either case); may be repeated",
                [](State& s, const std::string& v, Error&) {
                  s.cmd.walk.names.include.push_back(v);
                  return true;
                }},
    BatchOption{OptionGroup::WhichFiles, "exclude", 0, "GLOB",
                "leave out files whose name matches GLOB; repeatable",
                "leave out files whose name matches GLOB, even when included;\nmay be repeated",
                [](State& s, const std::string& v, Error&) {
                  s.cmd.walk.names.exclude.push_back(v);
                  return true;
                }},
    BatchOption{OptionGroup::WhichFiles, "raw", 0, "HOW",
                "camera raw files: develop (the default) or preview",
                "how camera raw files (where --version lists them) are read:\n"
                "develop (the default: the sensor data with the camera's\n"
                "white balance, in sRGB) or preview (the JPEG preview the\n"
                "camera embedded, many times faster, where it is at least\n"
                "as large as the resize's target, or without a resize as\n"
                "the picture; else developed)",
                [](State& s, const std::string& v, Error& e) {
                  using engine::RawSource;
                  return ParseChoice(img::AsciiLower(v), v, "--raw",
                                     {std::pair{"develop", RawSource::Develop}, {"preview", RawSource::Preview}},
                                     s.cmd.options.rawSource, e);
                },
                "develop preview"},
    BatchOption{OptionGroup::WhichFiles, "page", 0, "N",
                "read page or frame N (1: the first) of TIFF, GIF, WebP",
                "read page N of a TIFF file, or frame N of a GIF or animated\n"
                "WebP file, as a viewer shows it then (the first is 1, the\n"
                "default); a file with fewer, or of one picture, fails. A\n"
                "file of several pictures is converted with a warning that\n"
                "names how many it holds",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseWhole(v, "--page", 1, 1000000, n, e)) return false;
                  s.cmd.options.page = static_cast<int>(n - 1);
                  return true;
                }},
    BatchOption{OptionGroup::WhichFiles, "damaged", 0, "HOW",
                "damaged JPEG, PNG: refuse (the default) or keep",
                "what becomes of a JPEG or PNG file whose data are broken or\n"
                "end early: refuse (the default: the picture fails) or keep\n"
                "(what decodes is converted, the rest grey, with a warning;\n"
                "a PNG only where it is not interlaced). A file whose header\n"
                "cannot be read fails either way",
                [](State& s, const std::string& v, Error& e) {
                  return ParseChoice(img::AsciiLower(v), v, "--damaged", {std::pair{"refuse", false}, {"keep", true}},
                                     s.cmd.options.keepDamaged, e);
                },
                "refuse keep"},
    BatchOption{OptionGroup::Output, "keep-tree", 0, nullptr,
                "write into the same subfolders under DIR",
                "write a folder's pictures into the same subfolders under\nDIR (default: all straight into DIR)",
                [](State& s, const std::string&, Error&) { return s.cmd.keepTree = true; }},
    BatchOption{OptionGroup::Output, "name", 0, "TEMPLATE",
                "name targets by TEMPLATE: {name} {ext} {w} {h}",
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
    BatchOption{OptionGroup::Output, "skip-existing", 0, nullptr,
                "leave every target that exists alone",
                "leave every target that exists alone; counted as skipped",
                [](State& s, const std::string&, Error&) { return s.cmd.options.skipExisting = true; }},
    BatchOption{OptionGroup::Output, "update", 0, nullptr,
                "leave targets at least as new as their source alone",
                "leave every target that is at least as new as its source\nalone; counted as skipped",
                [](State& s, const std::string&, Error&) { return s.cmd.options.skipUpToDate = true; }},
    BatchOption{OptionGroup::Output, "keep-time", 0, nullptr,
                "give each target its source's modification time",
                "give each written target its source's modification time",
                [](State& s, const std::string&, Error&) { return s.cmd.options.keepSourceTime = true; }},
    BatchOption{OptionGroup::Resize, "no-auto-orient", 0, nullptr,
                "do not turn pictures upright as their EXIF says",
                "keep the stored pixels: by default each picture is first\n"
                "turned upright as its EXIF orientation says (before the\n"
                "resize and --rotate)",
                [](State& s, const std::string&, Error&) {
                  s.cmd.options.autoOrient = false;
                  return true;
                }},
    BatchOption{OptionGroup::Resize, "auto-orient", 0, nullptr,
                "the default: turn pictures upright as EXIF says",
                "the default; accepted from scripts written before it was",
                [](State&, const std::string&, Error&) { return true; }},
    BatchOption{OptionGroup::Metadata, "keep-metadata", 0, nullptr,
                "the default: carry EXIF, ICC, XMP and the comment",
                "the default: the source's EXIF (orientation reset to\n"
                "upright), ICC colour profile, XMP and JPEG comment go into\n"
                "JPEG, PNG and WebP targets, all but the comment into JXL\n"
                "targets; accepted from scripts written before it was the\n"
                "default",
                [](State& s, const std::string&, Error&) { return s.keepMetadata = true; }},
    BatchOption{OptionGroup::Metadata, "strip", 0, nullptr,
                "carry no metadata, not even the ICC profile",
                "carry no metadata at all, not even the ICC profile",
                [](State& s, const std::string&, Error&) { return s.strip = true; }},
    BatchOption{OptionGroup::Metadata, "strip-gps", 0, nullptr,
                "drop the GPS position from the EXIF carried",
                "take the GPS position out of the EXIF carried (its IFD and\n"
                "IFD0's pointer to it); the rest of the EXIF is kept",
                [](State& s, const std::string&, Error&) { return s.cmd.options.stripGps = true; }},
    BatchOption{OptionGroup::Metadata, "colour", 0, "HOW",
                "keep (the default) or srgb: other profiles into sRGB",
                "the targets' colours: keep (the default: the pixels as\n"
                "they are, with the source's ICC profile carried) or srgb\n"
                "(a picture whose profile is another RGB space's, such as\n"
                "Adobe RGB or Display P3, or a HEIF whose nclx colour\n"
                "numbers say so, is converted to sRGB by littleCMS\n"
                "and carries no profile, as pages and viewers that ignore\n"
                "profiles show it; one with sRGB's profile, none, or a\n"
                "grey one is left as it is). CMYK pictures always come\n"
                "into sRGB through their own profile; one without a\n"
                "profile goes through a formula, with a warning",
                [](State& s, const std::string& v, Error& e) {
                  using engine::TargetColour;
                  return ParseChoice(img::AsciiLower(v), v, "--colour",
                                     {std::pair{"keep", TargetColour::Keep}, {"srgb", TargetColour::Srgb}},
                                     s.cmd.options.colour, e);
                },
                "keep srgb"},
    BatchOption{OptionGroup::Running, "jobs", 'j', "N",
                "pictures converted at once (default: every core)",
                "pictures converted at once, on at most N threads\n(default: the number of cores)",
                [](State& s, const std::string& v, Error& e) {
                  long n = 0;
                  if (!ParseWhole(v, "--jobs", 1, 1024, n, e)) return false;
                  s.cmd.jobs = static_cast<int>(n);
                  return true;
                }},
    BatchOption{OptionGroup::Running, "memory", 0, "MB",
                "memory budget in MiB (default: a quarter of RAM)",
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
    BatchOption{OptionGroup::Running, "dry-run", 0, nullptr,
                "print SOURCE -> TARGET lines and write nothing",
                "print each target that would be written, as SOURCE -> TARGET,\n"
                "and write nothing, not even the output folder",
                [](State& s, const std::string&, Error&) { return s.cmd.dryRun = true; }},
    BatchOption{OptionGroup::Running, "report", 0, "FORMAT",
                "json: a JSON line for each picture on standard output",
                "json: one JSON object a line on standard output for each\n"
                "picture (the source's width, height, kind and bytes, the\n"
                "picture's milliseconds, its targets with sizes and bytes,\n"
                "skipped targets, failures)",
                [](State& s, const std::string& v, Error& e) {
                  if (img::AsciiLower(v) != "json") {
                    e = "--report needs json, not '" + v + "'";
                    return false;
                  }
                  return s.cmd.jsonReport = true;
                },
                "json"},
    BatchOption{OptionGroup::Running, "quiet", 'q', nullptr,
                "no progress display and no summary line",
                "no progress display and no summary line",
                [](State& s, const std::string&, Error&) { return s.cmd.quiet = true; }},
    BatchOption{OptionGroup::Running, "help", 'h', nullptr,
                "this text",
                "the options, a line each under its heading",
                [](State& s, const std::string&, Error&) { return s.cmd.help = true; }},
    BatchOption{OptionGroup::Running, "version", 0, nullptr,
                "the version and the formats read and written",
                "the program's version, then the formats this build reads\nand those it writes",
                [](State& s, const std::string&, Error&) { return s.cmd.version = true; }},
};

struct OptionHeading {
  OptionGroup group;
  const char* title;
};

// Each group's heading, in the group's own order, so no option goes unlisted.
constexpr std::array kHeadings{
    OptionHeading{OptionGroup::Output, "Output"},
    OptionHeading{OptionGroup::Resize, "Resize and turn"},
    OptionHeading{OptionGroup::Encoding, "Encoding"},
    OptionHeading{OptionGroup::WhichFiles, "Which files"},
    OptionHeading{OptionGroup::Metadata, "Metadata"},
    OptionHeading{OptionGroup::Running, "Running"},
};
static_assert(
    [] {
      for (std::size_t i = 0; i < kHeadings.size(); ++i)
        if (static_cast<std::size_t>(kHeadings[i].group) != i) return false;
      return static_cast<std::size_t>(OptionGroup::Running) + 1 == kHeadings.size();
    }(),
    "one heading for each option group, in its order");

// --help's width, and the column its words start in.
constexpr std::size_t kColumns = 80;
constexpr std::size_t kWordsColumn = 25;

// Said the same by --help and the man page, as imgbatch's main returns it.
constexpr const char* kExitStatus =
    "0 all converted; 1 a picture failed, or a source, a --files-from list or the "
    "output folder could not be read or made; 2 usage error.";

// Commands people start from, each with what it does: the last words of
// --help and a section of the man page.
struct Example {
  const char* command;
  const char* does;
};
constexpr Example kExamples[] = {
    {"imgbatch photos -o out", "each picture once in its own kind, JPEG at quality 90, metadata kept"},
    {"imgbatch photos -o web -f webp --fit 1920 --strip-gps",
     "WebP within 1920 by 1920, without the GPS position"},
    // WebP rather than AVIF: every build writes it, the Windows one too.
    {"imgbatch scans --keep-tree -o small -f jpg,webp --quality jpg=85,webp=75",
     "JPEG and WebP, each at its own quality, in the scans' subfolders"},
    {"find . -name '*.png' -print0 | imgbatch -0 --files-from - -o out --report json",
     "the PNGs find lists, and a JSON line for each on standard output"},
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

// words broken at blanks into lines of at most kColumns: the first line
// starts with lead, the others with indent blanks; a word too long for a
// line has one to itself.
std::string Wrapped(std::string lead, const std::string& words, std::size_t indent) {
  std::string out, line = std::move(lead);
  std::size_t wordsStart = line.size();  // where the current line's words begin
  std::size_t start = 0;
  while (start < words.size()) {
    std::size_t end = words.find(' ', start);
    if (end == std::string::npos) end = words.size();
    const std::string word = words.substr(start, end - start);
    start = end + 1;
    if (word.empty()) continue;
    if (line.size() > wordsStart && line.size() + 1 + word.size() > kColumns) {
      out += line + "\n";
      line = std::string(indent, ' ');
      wordsStart = indent;
    }
    if (line.size() > wordsStart) line += ' ';
    line += word;
  }
  return out + line + "\n";
}

// An entry of --help: its synopsis, then its words from kWordsColumn; a
// synopsis too long for that column takes a line of its own.
std::string HelpEntry(const std::string& synopsis, const std::string& words) {
  const std::string indent(kWordsColumn, ' ');
  if (synopsis.size() + 2 > kWordsColumn) return synopsis + "\n" + Wrapped(indent, words, kWordsColumn);
  return Wrapped(synopsis + indent.substr(synopsis.size()), words, kWordsColumn);
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
    "time: --fit, --cover, --pad, --scale or --width/--height. Pictures are never\n"
    "enlarged without --enlarge. A picture is turned upright, cropped, resized, then\n"
    "turned by --rotate; --crop's box is of the picture as --rotate leaves it.\n"
    "Targets keep their source's name, letter for letter, but for their\n"
    "extension; a folder's other files are counted in the summary, not\n"
    "converted. A picture is read by its content, whatever its extension says.\n"
    "PNG and TIFF sources of 16 bits a sample are written with 8, rounded; no\n"
    "option keeps the 16 bits.\n"
    "What a written target leaves out (metadata too large for a JPEG file) is said\n"
    "on standard error as a warning. Failures and warnings are said as each picture\n"
    "ends, above the progress bar, and the summary line after the run, all on\n"
    "standard error: standard output holds only --dry-run's and --report's lines.\n"
    "Four defaults differ from the window's, as other converters have them: each\n"
    "picture is written once in its own kind, JPEG at quality 90, with its\n"
    "metadata, resized by lanczos, and names keep their letters. Scripts that want\n"
    "the window's give -f bmp,jpg,jpeg,png --quality 100 --strip --filter exact.";

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
                     "       imgbatch [OPTIONS] -o DIR -- SOURCE...   (sources that begin with a dash)\n";
  help += Wrapped("", "Converts pictures (" + extensions + ") into " + FormatNames(", ", " and ", true) + " files. 16-bit PNGs and TIFFs come out 8-bit.", 0);
  help += "\n" + HelpEntry("  SOURCE", "a picture file, or a folder walked with its subfolders");
  help += HelpEntry("  --", "ends the options: later arguments are sources");
  for (const OptionHeading& heading : kHeadings) {
    help += std::string("\n") + heading.title + ":\n";
    for (const BatchOption& o : kOptions)
      if (o.group == heading.group) help += HelpEntry(Synopsis(o), WithFormats(o.brief, ","));
  }
  help += "\n" + Wrapped("", std::string("Exit status: ") + kExitStatus, 0);
  help += "Each option in full, and how targets are named: man imgbatch\n";
  help += "\nExamples:\n";
  for (const Example& example : kExamples)
    help += std::string("  ") + example.command + "\n" + Wrapped("      ", example.does, 6);
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
  page += ".TP\n\\fB\\-\\-\\fR\nends the options: what follows are sources.\n";
  for (const OptionHeading& heading : kHeadings) {
    page += std::string(".SS ") + heading.title + "\n";
    for (const BatchOption& o : kOptions) {
      if (o.group != heading.group) continue;
      page += ".TP\n";
      if (o.shortName) page += std::string("\\fB\\-") + o.shortName + "\\fR, ";
      page += "\\fB\\-\\-" + Troff(o.longName) + "\\fR";
      if (o.value) page += std::string(" \\fI") + Troff(o.value) + "\\fR";
      page += "\n";
      for (const std::string& line : Lines(o.full)) page += Troff(line) + "\n";
    }
  }
  page += ".SH NOTES\n" + Troff(kNotes) + "\n";
  page += ".SH EXIT STATUS\n" + Troff(kExitStatus) + "\n";
  page += ".SH EXAMPLES\n";
  for (const Example& example : kExamples)
    page += std::string(".TP\n\\fB") + Troff(example.command) + "\\fR\n" + Troff(example.does) + "\n";
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

#pragma once
// The options of a conversion. A picture takes them once, when it starts:
// a change made meanwhile applies from the next picture on.

#include <bitset>
#include <initializer_list>
#include <cstddef>
#include <string>
#include <string_view>

namespace engine {

struct PictureFormat;

inline constexpr int kDefaultJpegQuality = 100;  // as the window has always written
inline constexpr int kDefaultWebpQuality = 90;
inline constexpr int kDefaultAvifQuality = 60;  // avifenc's: AV1 looks as good at lower numbers than JPEG
inline constexpr int kDefaultWebpEffort = 4;  // libwebp's own default method
inline constexpr int kDefaultPngLevel = 6;  // zlib's default, as the window has always written

// How a resize computes its pixels: the exact box average and sharpening the
// window has always used, or a smooth kernel in linear light (imgbatch's
// --filter).
enum class ResizeFilter { Exact, Mitchell, Lanczos };

// What of a source's metadata its targets carry: nothing (imgbatch's
// --strip), its ICC colour profile alone (the default: colours look as they
// did), or everything that has a place in the target (--keep-metadata).
enum class CarriedMetadata { None, Profile, All };

// How much of the colour a JPEG keeps beside the full-size brightness:
// halved both ways (4:2:0, libjpeg's default and what the window writes),
// halved across only (4:2:2), or all of it (4:4:4).
enum class ChromaSampling { Yuv420, Yuv422, Yuv444 };
// How a PNG's rows are filtered before they are deflated: each with type 0
// (None), as the window has always written, or each with the filter
// libpng's heuristic picks (imgbatch's default: smaller files).
enum class PngFiltering { None, Adaptive };

// What decides a picture's pixels and what its targets carry: a picture
// made with equal processing options is the same picture.
struct ProcessingOptions {
  int zoomType = 0;  // 0 no resize, 1 resize to the given size
  std::string widthText = "1024";
  std::string heightText = "768";
  bool keepRatio = false;
  // The boxes are a box to fit inside, proportions kept (keepRatio is then
  // not read); the command line's --fit.
  bool fitInBox = false;
  // The boxes are a box the picture fills, proportions kept, its centre
  // then cut to the box (the command line's --cover).
  bool coverBox = false;
  // Both sides times this many hundredths of a percent (10000 keeps the
  // size), each rounded to the nearest pixel, never below 1; 0: the boxes
  // decide (the command line's --scale).
  int scaleHundredths = 0;
  // A resize may make the picture larger (--enlarge); otherwise no side grows.
  bool enlarge = false;
  ResizeFilter resizeFilter = ResizeFilter::Exact;  // imgbatch only
  int rotation = 0;  // 0 none, 1 90, 2 180, 3 270 degrees clockwise; -1 nothing chosen
  // Turn the pixels upright by the EXIF orientation first; only imgbatch's
  // --no-auto-orient turns it off.
  bool autoOrient = true;
  CarriedMetadata metadata = CarriedMetadata::Profile;  // imgbatch chooses; the window keeps the default

  bool operator==(const ProcessingOptions&) const = default;
};

// How the encoders write the targets (imgbatch's; the window keeps the
// defaults): quality 1 to 100, PNG's zlib level 0 to 9.
struct EncodingOptions {
  int jpegQuality = kDefaultJpegQuality;
  int webpQuality = kDefaultWebpQuality;
  int avifQuality = kDefaultAvifQuality;
  bool webpLossless = false;
  bool jpegProgressive = false;
  bool jpegOptimize = false;  // Huffman tables made for the picture, not the standard ones
  ChromaSampling jpegSampling = ChromaSampling::Yuv420;
  int webpEffort = kDefaultWebpEffort;  // libwebp's method: 0 fastest to 6 smallest
  int pngLevel = kDefaultPngLevel;
  PngFiltering pngFiltering = PngFiltering::None;

  bool operator==(const EncodingOptions&) const = default;
};

// The formats a conversion writes: a set of the format table's entries
// (PictureFormats.h). By default the window's four, as its boxes start.
class FormatTicks {
 public:
  static constexpr std::size_t kMostFormats = 16;  // entries the table may have

  FormatTicks();
  static FormatTicks Nothing();
  // The entries named, as imgbatch's -f names them; throws
  // std::invalid_argument for a name the table does not have.
  static FormatTicks Named(std::initializer_list<std::string_view> names);

  bool Has(const PictureFormat& format) const;
  void Set(const PictureFormat& format, bool ticked);
  void Set(std::string_view name, bool ticked);  // as Named names it
  bool None() const { return ticks_.none(); }
  bool operator==(const FormatTicks&) const = default;

 private:
  explicit FormatTicks(std::bitset<kMostFormats> ticks) : ticks_(ticks) {}
  std::bitset<kMostFormats> ticks_;  // by the entry's place in the table
};

// A conversion's options: the formats to write, what to do with a target
// that exists, and the two sets above.
struct ConversionOptions : ProcessingOptions, EncodingOptions {
  FormatTicks targets;
  bool skipExisting = false;  // a target that exists is left alone and reported as skipped
  bool skipUpToDate = false;  // the same for a target at least as new as its source (imgbatch's --update)
  bool keepSourceTime = false;  // each written target gets its source's modification time (--keep-time)
  // Names the targets in place of the source's name (imgbatch's --name; see
  // NameTemplate.h); empty: the source's name.
  std::string nameTemplate;
};

}  // namespace engine

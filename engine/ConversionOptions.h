#pragma once
// The options of a conversion. A picture takes them once, when it starts:
// a change made meanwhile applies from the next picture on.

#include <string>

namespace engine {

inline constexpr int kDefaultJpegQuality = 100;  // as the window has always written
inline constexpr int kDefaultWebpQuality = 90;
inline constexpr int kDefaultPngLevel = 6;  // zlib's default, as the window has always written

// How a resize computes its pixels: the exact box average and sharpening the
// window has always used, or a smooth kernel in linear light (imgbatch's
// --filter).
enum class ResizeFilter { Exact, Mitchell, Lanczos };

// What of a source's metadata its targets carry: nothing (imgbatch's
// --strip), its ICC colour profile alone (the default: colours look as they
// did), or everything that has a place in the target (--keep-metadata).
enum class CarriedMetadata { None, Profile, All };

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
  bool webpLossless = false;
  int pngLevel = kDefaultPngLevel;
  PngFiltering pngFiltering = PngFiltering::None;

  bool operator==(const EncodingOptions&) const = default;
};

// A conversion's options: the formats to write, what to do with a target
// that exists, and the two sets above.
struct ConversionOptions : ProcessingOptions, EncodingOptions {
  bool toBmp = true;
  bool toJpg = true;
  bool toJpeg = true;
  bool toPng = true;
  bool toWebp = false;  // imgbatch only: the window has no box for it
  bool skipExisting = false;  // a target that exists is left alone and reported as skipped

  const ProcessingOptions& processing() const { return *this; }
  const EncodingOptions& encoding() const { return *this; }
};

}  // namespace engine

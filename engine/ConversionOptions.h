#pragma once
// The options of a conversion, as the option controls hold them at the
// moment a step asks for them.

#include <string>

namespace engine {

inline constexpr int kDefaultJpegQuality = 100;  // as the window has always written
inline constexpr int kDefaultWebpQuality = 90;

// How a resize computes its pixels: the exact box average and sharpening the
// window has always used, or a smooth kernel in linear light (imgbatch's
// --filter).
enum class ResizeFilter { Exact, Mitchell, Lanczos };

// What of a source's metadata its targets carry: nothing (imgbatch's
// --strip), its ICC colour profile alone (the default: colours look as they
// did), or everything that has a place in the target (--keep-metadata).
enum class CarriedMetadata { None, Profile, All };

struct ConversionOptions {
  bool toBmp = true;
  bool toJpg = true;
  bool toJpeg = true;
  bool toPng = true;
  bool toWebp = false;  // imgbatch only: the window has no box for it
  int zoomType = 0;  // 0 no resize, 1 resize to the given size
  std::string widthText = "1024";
  std::string heightText = "768";
  bool keepRatio = false;
  // The boxes are a box to fit inside, proportions kept (keepRatio is then
  // not read); the command line's --fit.
  bool fitInBox = false;
  ResizeFilter resizeFilter = ResizeFilter::Exact;  // imgbatch only
  int rotation = 0;  // 0 none, 1 90, 2 180, 3 270 degrees clockwise; -1 nothing chosen
  bool skipExisting = false;  // a target that exists is left alone and reported as skipped
  // Encoder settings (imgbatch's; the window keeps the defaults): quality 1 to 100.
  int jpegQuality = kDefaultJpegQuality;
  int webpQuality = kDefaultWebpQuality;
  bool webpLossless = false;
  // Turn the pixels upright by the EXIF orientation first; only imgbatch's
  // --no-auto-orient turns it off.
  bool autoOrient = true;
  CarriedMetadata metadata = CarriedMetadata::Profile;  // imgbatch chooses; the window keeps the default
};

}  // namespace engine

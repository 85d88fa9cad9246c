#pragma once
// The options of a conversion. A picture takes them once, when it starts:
// a change made meanwhile applies from the next picture on.

#include <string>

#include "engine/formats/EncodingOptions.h"
#include "engine/formats/FormatTicks.h"

namespace engine {

// How a resize computes its pixels: the exact box average and sharpening the
// window has always used, or a smooth kernel in linear light (imgbatch's
// --filter).
enum class ResizeFilter { Exact, Mitchell, Lanczos };

// What of a source's metadata its targets carry: nothing (imgbatch's
// --strip), its ICC colour profile alone (the default: colours look as they
// did), or everything that has a place in the target (--keep-metadata).
enum class CarriedMetadata { None, Profile, All };

// How a camera raw file is read: developed from its sensor data, or from
// the JPEG preview the camera embedded where that is at least as large as
// the picture made of it (imgbatch's --raw preview).
enum class RawSource { Develop, Preview };

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
  RawSource rawSource = RawSource::Develop;  // imgbatch only

  bool operator==(const ProcessingOptions&) const = default;
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

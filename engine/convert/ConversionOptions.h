#pragma once
// The options of a conversion. A picture takes them once, when it starts:
// a change made meanwhile applies from the next picture on.

#include <optional>
#include <string>

#include "engine/convert/Crop.h"
#include "engine/convert/Resize.h"
#include "engine/formats/EncodingOptions.h"
#include "engine/formats/FormatTicks.h"
#include "imaging/Bitmap.h"

namespace engine {

// What of a source's metadata its targets carry: nothing (imgbatch's
// --strip), its ICC colour profile alone (the default: colours look as they
// did), or everything that has a place in the target (--keep-metadata).
enum class CarriedMetadata { None, Profile, All };

// How a camera raw file is read: developed from its sensor data, or from
// the JPEG preview the camera embedded where that is at least as large as
// the picture made of it (imgbatch's --raw preview).
enum class RawSource { Develop, Preview };

// The colours of the targets: the source's own, with its profile carried
// (the default), or sRGB's, a picture of another RGB profile converted
// and carrying none, for pages and viewers that ignore profiles
// (imgbatch's --colour srgb).
enum class TargetColour { Keep, Srgb };

// What decides a picture's pixels and what its targets carry: a picture
// made with equal processing options is the same picture.
struct ProcessingOptions {
  Crop crop;      // none by default; imgbatch only
  Resize resize;  // none by default
  int rotation = 0;  // 0 none, 1 90, 2 180, 3 270 degrees clockwise; -1 nothing chosen
  // Turn the pixels upright by the EXIF orientation first; only imgbatch's
  // --no-auto-orient turns it off.
  bool autoOrient = true;
  CarriedMetadata metadata = CarriedMetadata::Profile;  // imgbatch chooses; the window keeps the default
  // The carried EXIF loses its GPS position (imgbatch's --strip-gps).
  bool stripGps = false;
  RawSource rawSource = RawSource::Develop;  // imgbatch only
  // The colour laid under transparency for targets without alpha, and a
  // pad's canvas (imgbatch's --background; blue, green, red). Nothing
  // chosen: white, and on a target that keeps alpha a transparent canvas.
  std::optional<img::PaletteEntry> background;
  TargetColour colour = TargetColour::Keep;  // imgbatch only
  // The picture of a file of several that is converted, 0 the first: a
  // TIFF's page, a GIF's or animated WebP's frame (imgbatch's --page).
  int page = 0;
  // A damaged JPEG or PNG gives what decodes, with a warning, where it
  // would fail (imgbatch's --damaged keep).
  bool keepDamaged = false;

  bool operator==(const ProcessingOptions&) const = default;
};

// A conversion's options: the formats to write, what to do with a target
// that exists, and the two sets above.
struct ConversionOptions : ProcessingOptions, EncodingOptions {
  FormatTicks targets;
  // Each picture is written once, in its own kind, in place of the ticked
  // formats (imgbatch without -f; TargetFormats.h).
  bool ownKindTarget = false;
  bool skipExisting = false;  // a target that exists is left alone and reported as skipped
  bool skipUpToDate = false;  // the same for a target at least as new as its source (imgbatch's --update)
  bool keepSourceTime = false;  // each written target gets its source's modification time (--keep-time)
  // Names the targets in place of the source's name (imgbatch's --name; see
  // NameTemplate.h); empty: the source's name.
  std::string nameTemplate;
};

}  // namespace engine

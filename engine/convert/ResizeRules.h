#pragma once
// The resize step of a conversion: whether the working picture is resized,
// to which size, and the hand-over to the shrinking resampler.

#include <optional>

#include "engine/convert/ConversionOptions.h"
#include "engine/formats/PictureHeader.h"
#include "imaging/Bitmap.h"
#include "platform/ImageError.h"
#include "imaging/ProgressSink.h"

namespace engine {

struct TargetSize {
  int width;
  int height;
};

// The target size for a W x H source under the resize asked for. For size
// boxes (SizeBoxes) the derived side of a keep-ratio size is
// (v * other side) / this side, truncated toward zero.
// A size that must not be used comes back with a side of 0 (0 x 0): a box
// number below 1 or above 65535, a derived side of 0, or a product that does
// not fit 32 bits. A fit is a box the picture is shrunk to fit inside with
// its proportions kept, the derived side rounded to the nearest pixel; a
// cover a box the picture fills, its other side rounded alike and at least
// the box's; a pad the same size as a fit; a scale scales both sides, rounded to the nearest pixel and
// never below 1. These three give a side past 65535 as 65536.
TargetSize ComputeTargetSize(int sourceWidth, int sourceHeight, const Resize& resize);

// What the resize step makes of a W x H picture.
struct ResizePlan {
  bool resizes = false;   // false: the picture is left exactly as it is
  TargetSize size{};      // resized to this; the picture's own size only takes the work format
  TargetSize kept{};      // then the centre part of this size is kept (a cover), or the picture
                          // laid on a canvas of this size (a pad); size otherwise
  bool grows = false;     // a side grows (enlarge): the exact shrink cannot, a smooth kernel does
  bool tooLarge = false;  // enlarge asks for a side past 65535: the step fails
};

// The resize step's plan: the target size of ComputeTargetSize, each side
// no larger than the source's unless enlarge, then for a cover cut to the
// box, for a pad the box itself.
ResizePlan PlanResize(int sourceWidth, int sourceHeight, const Resize& resize);

// Resizes working when a resize is asked for, as PlanResize plans it.
// Without enlarge the picture is never enlarged (a side that would grow
// keeps its size); when nothing changes size it only
// takes its work format (Bitmap::ConvertToWorkFormat: alpha and grey kept,
// anything else 24-bit); a refused size leaves it untouched. The resize
// filter makes every shrink; a resize that grows a side is made by a smooth
// kernel in linear light, Lanczos-3 when that filter is chosen, else
// Mitchell. Three progress steps when a resize is asked for, none otherwise.
// resizeSource is scratch space: a shrink moves the unresized picture there
// and reads from it. A failure (memory running out) ends the step and comes back, for the route to fail on rather than
// write a picture that was not resized; when the resampling itself fails,
// working gets its unresized picture back.
// A pad lays the resized picture in the middle of its canvas, the odd line
// to the right or the bottom, the canvas of the background colour (a grey
// picture becoming colour for a colour that is no grey), else white, or
// transparent for a picture with alpha.
// plannedFrom, when given, is the size the plan is made for in place of
// working's own: that of a picture decoded smaller than its file's (LoadFit).
[[nodiscard]] std::optional<img::ImageError> ApplyResize(img::Bitmap& working, img::Bitmap& resizeSource,
                                           const Resize& resize,
                                           img::ProgressSink& progress = img::NullProgress(),
                                           std::optional<img::PaletteEntry> background = std::nullopt,
                                           std::optional<TargetSize> plannedFrom = std::nullopt);

// The size a loader may decode a stored width x height picture down to
// (JPEG's DCT scaling), for a smooth resize: twice its target on each side,
// as the file stores it (sideways: the EXIF orientation turns it later).
// Nothing ({0, 0}) where the decode must be whole: the exact shrink, whose
// pixels are the window's, a resize that does not shrink, or a picture
// under half its target's size.
TargetSize LoadFit(long long width, long long height, bool sideways, const Resize& resize);

// The size of the picture a conversion with options makes of a picture
// whose header says this (ReadPictureHeader at the orientation's depth):
// turned upright (autoOrient), cropped (PlanCrop), resized (PlanResize),
// turned by the rotation.
TargetSize MadePictureSize(const HeaderFacts& header, const ProcessingOptions& options);

}  // namespace engine

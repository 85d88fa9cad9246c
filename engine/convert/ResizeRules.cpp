#include "engine/convert/ResizeRules.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <limits>
#include <utility>

#include "engine/convert/CropRules.h"
#include "imaging/CentreCrop.h"
#include "imaging/LinearLightResize.h"
#include "imaging/Reframe.h"
#include "imaging/ShrinkBitmap.h"

namespace engine {

namespace {

constexpr TargetSize kRefused{0, 0};
constexpr long long kLargestSide = 65535;  // the resampler takes 16-bit sides

// What a size box holds: a number or not, and whether that number can be a
// side (1 to 65535).
struct BoxNumber {
  bool present = false;
  bool usable = false;
  int value = 0;
};

BoxNumber ReadBox(std::optional<long long> number) {
  BoxNumber box;
  box.present = number.has_value();
  box.usable = box.present && *number >= 1 && *number <= kLargestSide;
  if (box.usable) box.value = static_cast<int>(*number);
  return box;
}

// (v * other) / side truncated toward zero, as 32-bit signed arithmetic
// gives it; 0 for a source without lines and -1 when the product does not
// fit 32 bits, both of which the caller refuses.
long long DerivedSide(int v, int other, int side) {
  if (other < 1 || side < 1) return 0;
  const long long product = static_cast<long long>(v) * other;
  if (product > INT_MAX) return -1;
  return product / side;
}

TargetSize KeepRatioSize(int sourceWidth, int sourceHeight, const BoxNumber& width,
                         const BoxNumber& height) {
  long long w = sourceWidth, h = sourceHeight;
  if (width.present) {
    if (!width.usable) return kRefused;
    w = width.value;
    h = DerivedSide(width.value, sourceHeight, sourceWidth);
  } else if (height.present) {
    if (!height.usable) return kRefused;
    h = height.value;
    w = DerivedSide(height.value, sourceWidth, sourceHeight);
  }
  // A side truncated to nothing keeps a line, as in a fit: refusing would
  // leave the picture at its full size.
  if (w == 0 && sourceWidth >= 1 && sourceHeight >= 1) w = 1;
  if (h == 0 && sourceWidth >= 1 && sourceHeight >= 1) h = 1;
  if (w < 1 || h < 1) return kRefused;
  return TargetSize{static_cast<int>(w), static_cast<int>(h)};
}

// v * other / side to the nearest whole number, halves up, never below 1.
long long RoundedSide(long long v, long long other, long long side) {
  return std::max(1LL, (2 * v * other + side) / (2 * side));
}

// The largest size with the source's proportions inside the box: the side
// that limits gets the box's size, the other follows, rounded to the nearest
// pixel as other converters do (1366 x 768 into 1024 is 1024 x 576), but
// never below 1 (a long thin picture keeps a line). Rounding never leaves
// the box: the derived side is at most the box's own whole number. A picture
// that fits already keeps its size.
// With enlarge a picture that fits grows to touch the box.
TargetSize FitSize(int sourceWidth, int sourceHeight, const BoxNumber& width, const BoxNumber& height,
                   bool enlarge) {
  if (!width.usable || !height.usable || sourceWidth < 1 || sourceHeight < 1) return kRefused;
  if (!enlarge && sourceWidth <= width.value && sourceHeight <= height.value)
    return TargetSize{sourceWidth, sourceHeight};
  const long long w = sourceWidth, h = sourceHeight;
  if (w * height.value >= h * width.value)
    return TargetSize{width.value, static_cast<int>(RoundedSide(width.value, h, w))};
  return TargetSize{static_cast<int>(RoundedSide(height.value, w, h)), height.value};
}

// A side as the resize takes it: past 65535 is one value, 65536.
int Side(long long side) { return static_cast<int>(std::min(side, kLargestSide + 1)); }

// The smallest size with the source's proportions that covers the box: the
// side that limits gets the box's size, the other follows, rounded to the
// nearest pixel; it is never below the box's, since it is at least the
// box's whole number before rounding.
TargetSize CoverSize(int sourceWidth, int sourceHeight, const BoxNumber& width, const BoxNumber& height) {
  if (!width.usable || !height.usable || sourceWidth < 1 || sourceHeight < 1) return kRefused;
  const long long w = sourceWidth, h = sourceHeight;
  if (w * height.value >= h * width.value) return TargetSize{Side(RoundedSide(height.value, w, h)), height.value};
  return TargetSize{width.value, Side(RoundedSide(width.value, h, w))};
}

TargetSize ScaledSize(int sourceWidth, int sourceHeight, int hundredths) {
  if (sourceWidth < 1 || sourceHeight < 1) return kRefused;
  const auto scaled = [hundredths](long long side) { return Side(std::max(1LL, (side * hundredths + 5000) / 10000)); };
  return TargetSize{scaled(sourceWidth), scaled(sourceHeight)};
}

// A pad's canvas for picture (in its work format): the background chosen,
// else white, transparent on a picture with alpha. A colour that is no
// grey turns a grey picture into colour, which holds it.
img::PaletteEntry CanvasFill(img::Bitmap& picture, std::optional<img::PaletteEntry> background) {
  if (img::HasAlpha(picture.format()))
    return background ? img::PaletteEntry{background->blue, background->green, background->red, 255}
                      : img::PaletteEntry{255, 255, 255, 0};
  const img::PaletteEntry fill = background.value_or(img::PaletteEntry{255, 255, 255, 0});
  if (picture.format() == img::PixelFormat::Bits8 && (fill.red != fill.green || fill.green != fill.blue))
    picture.ConvertTo24();
  return fill;
}

}  // namespace

TargetSize ComputeTargetSize(int sourceWidth, int sourceHeight, const Resize& resize) {
  if (sourceWidth < 0 || sourceHeight < 0) return kRefused;
  if (const auto* scale = std::get_if<ScaleBy>(&resize.to)) return ScaledSize(sourceWidth, sourceHeight, scale->hundredths);
  if (const auto* cover = std::get_if<CoverBox>(&resize.to))
    return CoverSize(sourceWidth, sourceHeight, ReadBox(cover->width), ReadBox(cover->height));
  if (const auto* fit = std::get_if<FitInBox>(&resize.to))
    return FitSize(sourceWidth, sourceHeight, ReadBox(fit->width), ReadBox(fit->height), resize.enlarge);
  if (const auto* pad = std::get_if<PadBox>(&resize.to))
    return FitSize(sourceWidth, sourceHeight, ReadBox(pad->width), ReadBox(pad->height), resize.enlarge);
  if (const auto* boxes = std::get_if<SizeBoxes>(&resize.to)) {
    const BoxNumber width = ReadBox(boxes->width), height = ReadBox(boxes->height);
    if (boxes->keepRatio) return KeepRatioSize(sourceWidth, sourceHeight, width, height);
    if (width.present && height.present) {
      if (!width.usable || !height.usable) return kRefused;
      return TargetSize{width.value, height.value};
    }
  }
  if (sourceWidth < 1 || sourceHeight < 1) return kRefused;
  return TargetSize{sourceWidth, sourceHeight};
}

ResizePlan PlanResize(int sourceWidth, int sourceHeight, const Resize& resize) {
  ResizePlan plan;
  if (!resize.Asked()) return plan;
  const TargetSize target = ComputeTargetSize(sourceWidth, sourceHeight, resize);
  if (target.width < 1 || target.height < 1 || sourceWidth > kLargestSide || sourceHeight > kLargestSide)
    return plan;
  plan.resizes = true;
  plan.size = resize.enlarge ? target
                             : TargetSize{std::min(target.width, sourceWidth), std::min(target.height, sourceHeight)};
  plan.grows = plan.size.width > sourceWidth || plan.size.height > sourceHeight;
  plan.kept = plan.size;
  if (const auto* cover = std::get_if<CoverBox>(&resize.to))
    plan.kept = TargetSize{std::min(plan.size.width, cover->width), std::min(plan.size.height, cover->height)};
  if (const auto* pad = std::get_if<PadBox>(&resize.to)) plan.kept = TargetSize{pad->width, pad->height};
  plan.tooLarge = plan.size.width > kLargestSide || plan.size.height > kLargestSide;
  return plan;
}

std::optional<img::ImageError> ApplyResize(img::Bitmap& working, img::Bitmap& resizeSource,
                                           const Resize& resize, img::ProgressSink& progress,
                                           std::optional<img::PaletteEntry> background,
                                           std::optional<TargetSize> plannedFrom) {
  // The resize moves the unresized picture into resizeSource; a failure
  // gives it back, so the caller never sees half of a resize.
  bool moved = false;
  try {
    if (!resize.Asked()) return std::nullopt;
    progress.StepProgress();
    const int sourceWidth = working.width(), sourceHeight = working.height();
    const ResizePlan plan = plannedFrom ? PlanResize(plannedFrom->width, plannedFrom->height, resize)
                                        : PlanResize(sourceWidth, sourceHeight, resize);
    progress.StepProgress();
    if (plan.tooLarge)
      throw img::ImageError(img::ErrorCode::TooLarge, "the size asked for has a side over 65535 pixels");
    if (plan.resizes) {
      const int width = plan.size.width, height = plan.size.height;
      if (width == sourceWidth && height == sourceHeight) {
        // The resampler's exact copy of a source in its work format is that source.
        working.ConvertToWorkFormat();
      } else {
        // The resampler replaces every pixel of its destination, so the
        // source picture can move over instead of being copied.
        resizeSource = std::move(working);
        working.Clear();
        moved = true;
        if (resize.filter == ResizeFilter::Exact && !plan.grows)
          img::ShrinkBitmap(resizeSource, working, static_cast<std::uint16_t>(width),
                            static_cast<std::uint16_t>(height));
        else
          img::ResizeLinearLight(resizeSource, working, width, height,
                                 resize.filter == ResizeFilter::Lanczos ? img::ResizeKernel::Lanczos3
                                                                        : img::ResizeKernel::Mitchell);
        moved = false;
      }
      if (std::holds_alternative<PadBox>(resize.to)) {
        const img::PaletteEntry fill = CanvasFill(working, background);
        img::Reframe(working, {-((plan.kept.width - working.width()) / 2), -((plan.kept.height - working.height()) / 2),
                               plan.kept.width, plan.kept.height}, fill);
      } else {
        img::CropCentre(working, plan.kept.width, plan.kept.height);
      }
    }
    progress.StepProgress();
  } catch (const std::exception& failure) {
    if (moved) {
      working = std::move(resizeSource);
      resizeSource.Clear();
    }
    return img::AsImageError(failure);
  }
  return std::nullopt;
}

TargetSize MadePictureSize(const HeaderFacts& header, const ProcessingOptions& options) {
  constexpr long long kMost = std::numeric_limits<int>::max();
  TargetSize size{static_cast<int>(std::min(header.width, kMost)), static_cast<int>(std::min(header.height, kMost))};
  if (options.autoOrient && header.orientation >= 5) std::swap(size.width, size.height);
  if (const CropPlan crop = PlanCrop(size.width, size.height, options.crop, options.rotation); crop.crops)
    size = {crop.frame.width, crop.frame.height};
  const ResizePlan plan = PlanResize(size.width, size.height, options.resize);
  if (plan.resizes && !plan.tooLarge) size = plan.kept;
  if (options.rotation == 1 || options.rotation == 3) std::swap(size.width, size.height);
  return size;
}

// How many times its target a smaller decode must still be on each side:
// libvips's margin. On real photographs it keeps the shrink within 46 to
// 63 dB of the whole decode's (the scaled decode mixes in sRGB codes, not
// in light); three times gained nothing on the worst of them.
constexpr int kLoadShrinkMargin = 2;

TargetSize LoadFit(long long width, long long height, bool sideways, const Resize& resize) {
  constexpr long long kSide = 65535;
  if (!resize.Asked() || resize.filter == ResizeFilter::Exact || width < 1 || height < 1 || width > kSide ||
      height > kSide)
    return {0, 0};
  if (sideways) std::swap(width, height);
  const ResizePlan plan = PlanResize(static_cast<int>(width), static_cast<int>(height), resize);
  if (!plan.resizes || plan.grows || plan.tooLarge) return {0, 0};
  TargetSize fit{kLoadShrinkMargin * plan.size.width, kLoadShrinkMargin * plan.size.height};
  if (fit.width > width || fit.height > height) return {0, 0};
  if (sideways) std::swap(fit.width, fit.height);
  return fit;
}

}  // namespace engine

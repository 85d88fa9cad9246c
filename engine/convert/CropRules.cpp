#include "engine/convert/CropRules.h"

#include <algorithm>
#include <utility>

namespace engine {

namespace {

bool Sideways(int rotation) { return rotation == 1 || rotation == 3; }

// A box of the picture as seen after the rotation, as a box of the picture
// before it: (u, v) seen is (h - 1 - y, x) for a quarter turn clockwise of
// a w x h picture, (w - 1 - x, h - 1 - y) for a half turn and (y, w - 1 - x)
// for three quarters.
img::Frame TurnedBack(const img::Frame& seen, int seenWidth, int seenHeight, int rotation) {
  switch (rotation) {
    case 1: return {seen.top, seenWidth - seen.left - seen.width, seen.height, seen.width};
    case 2: return {seenWidth - seen.left - seen.width, seenHeight - seen.top - seen.height, seen.width, seen.height};
    case 3: return {seenHeight - seen.top - seen.height, seen.left, seen.height, seen.width};
    default: return seen;
  }
}

// The largest box of the shape's proportions inside the picture, centred.
img::Frame ShapeBox(int width, int height, const CropShape& shape) {
  const long long w = width, h = height, sw = shape.width, sh = shape.height;
  img::Frame box{0, 0, width, height};
  if (w * sh >= h * sw)
    box.width = static_cast<int>(std::clamp((2 * h * sw + sh) / (2 * sh), 1LL, w));
  else
    box.height = static_cast<int>(std::clamp((2 * w * sh + sw) / (2 * sw), 1LL, h));
  box.left = (width - box.width) / 2;
  box.top = (height - box.height) / 2;
  return box;
}

}  // namespace

CropPlan PlanCrop(int width, int height, const Crop& crop, int rotation) {
  CropPlan plan;
  if (!crop.Asked() || width < 1 || height < 1) return plan;
  int seenWidth = width, seenHeight = height;
  if (Sideways(rotation)) std::swap(seenWidth, seenHeight);
  img::Frame seen;
  if (const auto* box = std::get_if<CropBox>(&crop.to)) {
    seen = {box->left, box->top, box->width, box->height};
    plan.outside = box->width < 1 || box->height < 1 || box->left < 0 || box->top < 0 ||
                   seen.left + box->width > seenWidth || seen.top + box->height > seenHeight;
  } else {
    const auto& shape = std::get<CropShape>(crop.to);
    if (shape.width < 1 || shape.height < 1) return plan;
    seen = ShapeBox(seenWidth, seenHeight, shape);
  }
  plan.crops = true;
  plan.frame = TurnedBack(seen, seenWidth, seenHeight, rotation);
  return plan;
}

void ApplyCrop(img::Bitmap& working, const Crop& crop, int rotation) {
  const CropPlan plan = PlanCrop(working.width(), working.height(), crop, rotation);
  if (!plan.crops) return;
  if (plan.outside) {
    const auto& box = std::get<CropBox>(crop.to);
    const bool sideways = Sideways(rotation);
    throw CropOutside(std::to_string(box.width) + "x" + std::to_string(box.height) + "+" +
                      std::to_string(box.left) + "+" + std::to_string(box.top) + " reaches outside the picture of " +
                      std::to_string(sideways ? working.height() : working.width()) + " x " +
                      std::to_string(sideways ? working.width() : working.height()));
  }
  // The frame lies inside the picture: the fill is never used.
  img::Reframe(working, plan.frame, {});
}

}  // namespace engine

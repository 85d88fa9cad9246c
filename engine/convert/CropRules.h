#pragma once
// The crop step of a conversion: which part of the upright picture it
// keeps. The box is given in the picture as the rotation leaves it; the
// rotation itself comes after the resize, so the box is turned back onto
// the picture as it is when the step runs.

#include <stdexcept>
#include <string>

#include "engine/convert/Crop.h"
#include "imaging/Bitmap.h"
#include "imaging/Reframe.h"

namespace engine {

struct CropPlan {
  bool crops = false;    // false: the picture is left as it is
  bool outside = false;  // the box reaches past the picture: the step fails
  img::Frame frame;      // the part kept, of the picture before the rotation
};

// What the crop step makes of a width x height picture that rotation (0
// to 3 quarters clockwise; anything else none) turns afterwards. A shape
// takes the whole of the picture's limiting side and the other side to the
// nearest pixel, at least 1, the odd line cut from the right or the bottom
// (as the picture is seen).
CropPlan PlanCrop(int width, int height, const Crop& crop, int rotation);

// A box that reaches past the picture: the picture is not converted, since
// a smaller part than asked would pass for the part asked.
struct CropOutside : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Crops working as PlanCrop plans it; throws CropOutside, its text the box
// and the picture's size as seen, when the box reaches past the picture.
void ApplyCrop(img::Bitmap& working, const Crop& crop, int rotation);

}  // namespace engine

#pragma once
// What a conversion's crop step is asked for (imgbatch's --crop): nothing,
// a box at a place, or the largest centred box of a shape. The box is of
// the picture as it is seen once turned upright and by the rotation; the
// rules are CropRules.h.

#include <variant>

namespace engine {

struct NoCrop {
  bool operator==(const NoCrop&) const = default;
};

// width x height at (left, top) from the top left corner (WxH+X+Y).
struct CropBox {
  int width = 0;
  int height = 0;
  int left = 0;
  int top = 0;
  bool operator==(const CropBox&) const = default;
};

// The largest box of width:height proportions, in the middle (W:H).
struct CropShape {
  int width = 1;
  int height = 1;
  bool operator==(const CropShape&) const = default;
};

struct Crop {
  std::variant<NoCrop, CropBox, CropShape> to;
  bool Asked() const { return !std::holds_alternative<NoCrop>(to); }
  bool operator==(const Crop&) const = default;
};

}  // namespace engine

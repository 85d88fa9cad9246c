#include "engine/colour/KeptSrgbTransform.h"

#include <algorithm>

namespace engine {

const SrgbTransform& KeptSrgbTransform::For(std::span<const std::uint8_t> icc, ProfiledPixels layout) {
  if (made_ && layout == layout_ && std::ranges::equal(icc, icc_)) return transform_;
  transform_ = SrgbTransform(icc, layout);
  icc_.assign(icc.begin(), icc.end());
  layout_ = layout;
  made_ = true;
  return transform_;
}

void KeptSrgbTransform::Clear() {
  transform_ = SrgbTransform();
  std::vector<std::uint8_t>().swap(icc_);
  made_ = false;
}

}  // namespace engine

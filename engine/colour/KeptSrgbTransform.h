#pragma once
// The transform of the last profile asked for, kept for the next picture:
// a batch's pictures mostly share one profile, and making a transform
// through a CMYK profile's tables takes littleCMS about a tenth of a
// second, many times a small picture's decode.

#include <cstdint>
#include <span>
#include <vector>

#include "engine/colour/SrgbTransform.h"

namespace engine {

class KeptSrgbTransform {
 public:
  // The transform from pixels of layout described by icc (empty when it
  // cannot be made, as SrgbTransform's), made anew only when icc or layout
  // differs from the last call's. Valid until the next call or Clear.
  const SrgbTransform& For(std::span<const std::uint8_t> icc, ProfiledPixels layout);
  void Clear();

 private:
  std::vector<std::uint8_t> icc_;
  ProfiledPixels layout_ = ProfiledPixels::Bgr;
  bool made_ = false;
  SrgbTransform transform_;
};

}  // namespace engine

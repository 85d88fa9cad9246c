#pragma once
// The highest encoder quality whose file fits a size limit (--max-size),
// found by bisection with every encode held in memory, so that only the
// chosen file is written.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ImageError.h"

namespace engine {

// A target that does not fit its limit even at quality 1: what it missed
// by is in its message.
struct SizeLimitMissed : img::ImageError {
  // how: the smallest file's coding ("at quality 1", "lossless").
  SizeLimitMissed(std::uint64_t limit, const std::string& how, std::uint64_t smallest);
};

struct FittedFile {
  std::vector<std::uint8_t> bytes;
  int quality = 0;
};

using QualityEncode = std::function<std::vector<std::uint8_t>(int quality)>;

// The file encode gives at the highest quality from 1 to highest whose file
// holds at most limit bytes; at most 8 encodes for highest up to 100 (one at
// highest, then a bisection below it), so the quality one above the chosen
// one was encoded and did not fit. Sizes are taken to grow with quality.
// Throws SizeLimitMissed when none fits.
FittedFile FitQuality(int highest, std::uint64_t limit, const QualityEncode& encode);

// Throws SizeLimitMissed unless a file of bytes fits limit (0: none); for
// a file with no quality to lower (lossless WebP).
void CheckFits(std::size_t bytes, std::uint64_t limit);

}  // namespace engine

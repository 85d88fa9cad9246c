#include "engine/formats/QualitySearch.h"

#include <algorithm>
#include <string>
#include <utility>

namespace engine {

SizeLimitMissed::SizeLimitMissed(std::uint64_t limit, const std::string& how, std::uint64_t smallest)
    : img::ImageError(img::ErrorCode::InvalidArgument, std::to_string(limit) + " bytes: the smallest file, " + how +
                                                           ", has " + std::to_string(smallest) + " bytes") {}

FittedFile FitQuality(int highest, std::uint64_t limit, const QualityEncode& encode) {
  highest = std::clamp(highest, 1, 100);
  FittedFile best{encode(highest), highest};
  if (best.bytes.size() <= limit) return best;
  std::uint64_t smallest = best.bytes.size();
  int smallest_quality = highest;
  best = {};
  // fits: the highest quality known to fit (0: none yet); over: the lowest
  // known not to.
  int fits = 0, over = highest;
  while (over - fits > 1) {
    const int quality = fits + (over - fits) / 2;
    std::vector<std::uint8_t> file = encode(quality);
    if (file.size() < smallest) {
      smallest = file.size();
      smallest_quality = quality;
    }
    if (file.size() <= limit) {
      fits = quality;
      best = {std::move(file), quality};
    } else {
      over = quality;
    }
  }
  if (fits == 0) throw SizeLimitMissed(limit, "at quality " + std::to_string(smallest_quality), smallest);
  return best;
}

void CheckFits(std::size_t bytes, std::uint64_t limit) {
  if (limit > 0 && bytes > limit) throw SizeLimitMissed(limit, "lossless", bytes);
}

}  // namespace engine

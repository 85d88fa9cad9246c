#include "imaging/Premultiplied.h"

#include <algorithm>
#include <array>

namespace img {

namespace {

// (255 << 16) / a, rounded: unpremultiplying by a multiplication.
const std::array<std::uint32_t, 256>& Reciprocals() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t a = 1; a < 256; ++a) t[a] = (255u * 65536u + a / 2) / a;
    return t;
  }();
  return table;
}

}  // namespace

void UnpremultiplyRow(std::uint8_t* p, int width) {
  const auto& reciprocal = Reciprocals();
  for (int x = 0; x < width; ++x, p += 4)
    for (int c = 0; c < 3; ++c)
      p[c] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (p[c] * reciprocal[p[3]] + 32768) >> 16));
}

}  // namespace img

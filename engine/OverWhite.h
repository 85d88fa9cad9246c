#pragma once
// Transparency as the picture loaders settle it: every pixel work happens on
// 24 bits, so a pixel with alpha is composited over white, rounded to nearest.

#include <cstdint>

namespace engine {

// c over white with coverage a (8-bit values).
inline std::uint8_t OverWhite(unsigned c, unsigned a) {
  return static_cast<std::uint8_t>((a * c + (255 - a) * 255 + 127) / 255);
}

// One row of BGRA pixels into BGR pixels over white.
inline void CompositeRowOverWhite(const std::uint8_t* bgra, std::uint8_t* bgr, int width) {
  for (int x = 0; x < width; ++x, bgra += 4, bgr += 3) {
    const unsigned a = bgra[3];
    bgr[0] = OverWhite(bgra[0], a);
    bgr[1] = OverWhite(bgra[1], a);
    bgr[2] = OverWhite(bgra[2], a);
  }
}

}  // namespace engine

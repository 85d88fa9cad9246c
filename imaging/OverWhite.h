#pragma once
// A pixel with alpha laid over a colour, rounded to nearest: how a picture
// with transparency becomes one without (24-bit targets, previews), over
// white unless a background is chosen.

#include <cstdint>

namespace img {

// c over the channel value under with coverage a (8-bit values).
inline std::uint8_t Over(unsigned c, unsigned a, unsigned under) {
  return static_cast<std::uint8_t>((a * c + (255 - a) * under + 127) / 255);
}

// c over white with coverage a.
inline std::uint8_t OverWhite(unsigned c, unsigned a) { return Over(c, a, 255); }

}  // namespace img

#pragma once
// A pixel with alpha laid over white, rounded to nearest: how a picture with
// transparency becomes one without (24-bit targets, previews).

#include <cstdint>

namespace img {

// c over white with coverage a (8-bit values).
inline std::uint8_t OverWhite(unsigned c, unsigned a) {
  return static_cast<std::uint8_t>((a * c + (255 - a) * 255 + 127) / 255);
}

}  // namespace img

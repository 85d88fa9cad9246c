#pragma once
// What the seed makers share: writing a seed file, and a small picture
// whose pixels all differ.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "imaging/Bitmap.h"

namespace fuzz {

inline void WriteSeed(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// 24 bits, or with alpha from clear to opaque where asked.
inline img::Bitmap SeedPattern(int width, int height, bool alpha = false) {
  img::Bitmap picture(width, height, alpha ? img::PixelFormat::Bits32Alpha : img::PixelFormat::Bits24);
  const int bytes = alpha ? 4 : 3;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = picture.ScanLine(y) + bytes * x;
      p[0] = static_cast<std::uint8_t>(x * 37);
      p[1] = static_cast<std::uint8_t>(y * 53);
      p[2] = static_cast<std::uint8_t>((x ^ y) * 17);
      if (alpha) p[3] = static_cast<std::uint8_t>(x * 16 + y);
    }
  return picture;
}

}  // namespace fuzz

#pragma once
// Helpers shared by the tests: the public decoder suites beside the project,
// throw-away folders, and small pictures with exact pixels.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace testsupport {

// ../shared/testdata, or an empty path when it is not there.
inline std::filesystem::path TestDataDir() {
  std::filesystem::path dir = IMGCONVERT_TESTDATA;
  std::error_code ec;
  return std::filesystem::is_directory(dir, ec) ? dir : std::filesystem::path();
}

#define SKIP_WITHOUT_TESTDATA()                                               \
  do {                                                                         \
    if (::testsupport::TestDataDir().empty()) GTEST_SKIP() << "no shared/testdata"; \
  } while (0)

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("imgconvert-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    // Tests may drop write bits to provoke failures; give them back first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// A 24-bit picture whose pixel (x, y) has blue x, green y and red x ^ y (all
// mod 256), so every position is told apart in small pictures.
inline img::Bitmap GradientBitmap(int width, int height) {
  img::Bitmap bmp(width, height, img::PixelFormat::Bits24);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(x);
      row[3 * x + 1] = static_cast<std::uint8_t>(y);
      row[3 * x + 2] = static_cast<std::uint8_t>(x ^ y);
    }
  }
  return bmp;
}

// EXIF data as a JPEG's APP1 marker holds them after "Exif\0\0": a TIFF
// header of the given byte order and an IFD0 of two entries, Make ("Cam",
// stored outside the entry) and then Orientation = orientation.
inline std::vector<std::uint8_t> ExifWithOrientation(int orientation, bool big_endian = false) {
  std::vector<std::uint8_t> d;
  auto u16 = [&](unsigned v) {
    const auto hi = static_cast<std::uint8_t>(v >> 8), lo = static_cast<std::uint8_t>(v);
    d.push_back(big_endian ? hi : lo);
    d.push_back(big_endian ? lo : hi);
  };
  auto u32 = [&](std::uint32_t v) {
    if (big_endian) u16(v >> 16);
    u16(v & 0xFFFF);
    if (!big_endian) u16(v >> 16);
  };
  d = big_endian ? std::vector<std::uint8_t>{'M', 'M'} : std::vector<std::uint8_t>{'I', 'I'};
  u16(42);
  u32(8);  // IFD0 right after the header
  u16(2);
  u16(0x010F), u16(2), u32(4), u32(8 + 2 + 2 * 12 + 4);  // Make, ASCII, 4 bytes, at its offset
  u16(0x0112), u16(3), u32(1), u16(static_cast<unsigned>(orientation)), u16(0);
  u32(0);  // no IFD1
  d.insert(d.end(), {'C', 'a', 'm', 0});
  return d;
}

// An ICC profile of the RGB colour space, monitor class, XYZ connection
// space and no tags, as libpng checks a profile; size bytes (a multiple of
// four, at least 132), the bytes after the header a pattern.
inline std::vector<std::uint8_t> RgbIccProfile(std::size_t size) {
  std::vector<std::uint8_t> p(size);
  for (std::size_t i = 132; i < size; ++i) p[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) p[at + k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
  };
  auto put4cc = [&](std::size_t at, const char* text) {
    for (int k = 0; k < 4; ++k) p[at + k] = static_cast<std::uint8_t>(text[k]);
  };
  put32(0, static_cast<std::uint32_t>(size));
  put32(8, 0x02100000);  // version 2.1
  put4cc(12, "mntr");
  put4cc(16, "RGB ");
  put4cc(20, "XYZ ");
  put4cc(36, "acsp");
  put32(68, 0x0000F6D6), put32(72, 0x00010000), put32(76, 0x0000D32D);  // D50
  put32(128, 0);  // tag count
  return p;
}

}  // namespace testsupport

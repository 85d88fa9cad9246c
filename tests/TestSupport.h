#pragma once
// Helpers shared by the tests: the public decoder suites beside the project,
// throw-away folders, and small pictures with exact pixels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

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

// The largest difference of one colour channel between two pictures of the
// same size (any pixel formats); -1 when the sizes differ. 0 is equal pixels;
// lossy round trips compare against a tolerance.
inline int MaxChannelDifference(const img::Bitmap& a, const img::Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return -1;
  int max = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const img::PaletteEntry p = a.PixelColor(x, y), q = b.PixelColor(x, y);
      for (int d : {p.blue - q.blue, p.green - q.green, p.red - q.red}) max = std::max(max, d < 0 ? -d : d);
    }
  return max;
}

}  // namespace testsupport

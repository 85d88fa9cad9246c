#pragma once
// Helpers shared by the tests: the public decoder suites beside the project,
// throw-away folders, whole files written and read back, and small pictures
// with exact pixels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
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
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable (UTF-8; no value: removed) for one test and
// restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
#ifdef _WIN32
    if (const wchar_t* old = _wgetenv(Wide(name).c_str()))
      old_ = Utf8(old);
#else
    if (const char* old = std::getenv(name)) old_ = old;
#endif
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
#ifdef _WIN32
  static std::wstring Wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
  }
  static std::string Utf8(const wchar_t* wide) {
    const std::u8string s = std::filesystem::path(wide).u8string();
    return std::string(s.begin(), s.end());
  }
  // Windows has no empty variables: an empty value removes it too.
  void Set(const std::optional<std::string>& value) {
    _wputenv_s(Wide(name_).c_str(), value ? Wide(*value).c_str() : L"");
  }
#else
  void Set(const std::optional<std::string>& value) {
    if (value)
      setenv(name_, value->c_str(), 1);
    else
      unsetenv(name_);
  }
#endif
  const char* name_;
  std::optional<std::string> old_;
};

// Writes content as the whole file, making its folders first.
inline void WriteFile(const std::filesystem::path& path, const std::string& content = "x") {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::ofstream(path, std::ios::binary) << content;
}

// The whole file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

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

// Same size, format and pixel bytes (row padding aside).
inline bool SamePixels(const img::Bitmap& a, const img::Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height() || a.format() != b.format()) return false;
  const std::size_t bytes = static_cast<std::size_t>(a.width()) * img::BitsPerPixel(a.format()) / 8;
  for (int y = 0; y < a.height(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), bytes) != 0) return false;
  return true;
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

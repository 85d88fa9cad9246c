#pragma once
// Helpers shared by the tests: the public decoder suites beside the project,
// throw-away folders, whole files written and read back, and small pictures
// with exact pixels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <initializer_list>
#include <optional>
#include <random>
#include <vector>
#include <string>

#include "ParamNames.h"
#include "engine/convert/ConversionFailure.h"
#include "engine/convert/ConversionOptions.h"
#include "imaging/Bitmap.h"

namespace img {

// Pixel formats by their names in a test's output and a case's name.
inline void PrintTo(PixelFormat format, std::ostream* os) {
  static constexpr const char* kNames[] = {"Bits1", "Bits4", "Bits8", "Bits15", "Bits16", "Bits24", "Bits32", "Bits32Alpha"};
  const auto i = static_cast<std::size_t>(format);
  *os << (i < std::size(kNames) ? kNames[i] : "PixelFormat?");
}

}  // namespace img

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

inline constexpr bool kWindows =
#ifdef _WIN32
    true;
#else
    false;
#endif
// The desktop trash is the freedesktop one in the home's data folder; Windows
// has its recycle bin instead, which is no folder of the home (and Wine has none).
inline constexpr bool kFreedesktopTrash = !kWindows;
#define SKIP_WITHOUT_FREEDESKTOP_TRASH()                                      \
  if (!::testsupport::kFreedesktopTrash)                                      \
  GTEST_SKIP() << "the freedesktop trash; Windows has its recycle bin instead"

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

// The first size bytes of bytes, in an allocation of exactly that size: a
// read past the end is a read past the allocation, which the sanitizers see.
inline std::vector<std::uint8_t> Cut(const std::vector<std::uint8_t>& bytes, std::size_t size) {
  return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

// A colour as a picture's palette and PixelColor hold it, blue first.
inline img::PaletteEntry Bgr(int b, int g, int r) {
  return img::PaletteEntry{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0};
}

// A 24-bit picture of one colour.
inline img::Bitmap SolidBitmap(int width, int height, img::PaletteEntry colour) {
  img::Bitmap bmp(width, height, img::PixelFormat::Bits24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) std::memcpy(bmp.ScanLine(y) + 3 * x, &colour, 3);
  return bmp;
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

// text as it stands inside a JSON string of imgbatch's report: backslashes
// (Windows paths) and quotes escaped; plain ASCII otherwise.
inline std::string InJson(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// 24-bit and smooth as a photograph's sky: each channel a slow wave, no
// edge anywhere (a shrink's ways may differ only in rounding on it).
inline img::Bitmap SmoothBitmap(int width, int height) {
  img::Bitmap bmp(width, height, img::PixelFormat::Bits24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(std::lround(128 + 100 * std::sin(x / 90.0)));
      p[1] = static_cast<std::uint8_t>(std::lround(128 + 100 * std::cos(y / 70.0)));
      p[2] = static_cast<std::uint8_t>(std::lround(128 + 100 * std::sin((x + y) / 130.0)));
    }
  return bmp;
}

// GradientBitmap's colours with alpha (x * 37 + y * 11) mod 256: clear,
// partial and opaque pixels side by side.
inline img::Bitmap AlphaGradientBitmap(int width, int height) {
  const img::Bitmap colours = GradientBitmap(width, height);
  img::Bitmap bmp = img::Bitmap::Unfilled(width, height, img::PixelFormat::Bits32Alpha);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::memcpy(bmp.ScanLine(y) + 4 * x, colours.ScanLine(y) + 3 * x, 3);
      bmp.ScanLine(y)[4 * x + 3] = static_cast<std::uint8_t>(x * 37 + y * 11);
    }
  return bmp;
}

// A grey picture (the grey ramp as palette) of level (3x + 5y) mod 256.
inline img::Bitmap GreyGradientBitmap(int width, int height) {
  img::Bitmap bmp = img::Bitmap::Unfilled(width, height, img::PixelFormat::Bits8);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    bmp.palette().push_back({v, v, v, 0});
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bmp.ScanLine(y)[x] = static_cast<std::uint8_t>(3 * x + 5 * y);
  return bmp;
}

// 24-bit, each channel half the one before it along the rows (or, one pixel
// wide, down the column): PNG's Average filter predicts it exactly.
inline img::Bitmap HalvingBitmap(int width, int height) {
  img::Bitmap bmp(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) std::memset(bmp.ScanLine(y) + 3 * x, 255 >> ((width > 1 ? x : y) % 8), 3);
  return bmp;
}

// 40x40, 24-bit: eight rows each that PNG's five filters predict best, in
// turn: Paeth (a plane, 2x + 3y), Up (one random row again and again), Sub
// (a ramp along the row on a random level), Average (each byte the mean of
// left and above) and None (bytes of 0 and 8 that every predictor misses).
inline img::Bitmap FiveKindsOfRowsBitmap() {
  const int width = 40, band = 8;
  img::Bitmap bmp(width, 5 * band);
  std::mt19937 rng(5);
  std::vector<std::uint8_t> repeated(3 * width);
  for (std::uint8_t& v : repeated) v = static_cast<std::uint8_t>(rng());
  for (int y = 0; y < bmp.height(); ++y) {
    std::uint8_t* row = bmp.ScanLine(y);
    const std::uint8_t* above = y > 0 ? bmp.ScanLine(y - 1) : nullptr;
    const int level = static_cast<int>(rng() % 50);
    for (int i = 0; i < 3 * width; ++i) {
      const int x = i / 3;
      int v = 0;
      switch (y / band) {
        case 0: v = 2 * x + 3 * y; break;
        case 1: v = repeated[i]; break;
        case 2: v = 5 * x + level; break;
        case 3: v = x == 0 || y % band == 0 ? static_cast<int>(rng() & 255) : (row[i - 3] + above[i]) / 2; break;
        default: v = (i + y) % 2 * 8; break;
      }
      row[i] = static_cast<std::uint8_t>(v);
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

// Pixels compared through their colours, alpha included, so pictures of
// any two formats can be compared; what names the case in a failure.
inline void ExpectSameColours(const img::Bitmap& a, const img::Bitmap& b, const std::string& what) {
  ASSERT_EQ(a.width(), b.width()) << what;
  ASSERT_EQ(a.height(), b.height()) << what;
  int differ = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) differ += !(a.PixelColor(x, y) == b.PixelColor(x, y));
  EXPECT_EQ(differ, 0) << what;
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

// EXIF as a camera with a GPS receiver writes it: IFD0 holds Make ("Cam" at
// 62), Orientation, the GPS IFD pointer and one tag after it (0xC4A5, four
// bytes in the entry); the GPS IFD at kExifGpsStart holds a version, "N" and
// a latitude of three RATIONALs, its values up to kExifGpsEnd; IFD1 (one
// Compression entry) follows at kExifGpsEnd.
inline constexpr std::size_t kExifGpsStart = 66, kExifGpsEnd = 132;
inline std::vector<std::uint8_t> ExifWithGps(int orientation, bool big_endian = false) {
  std::vector<std::uint8_t> d = big_endian ? std::vector<std::uint8_t>{'M', 'M'} : std::vector<std::uint8_t>{'I', 'I'};
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
  auto bytes = [&](std::initializer_list<std::uint8_t> b) { d.insert(d.end(), b); };
  u16(42), u32(8);
  u16(4);
  u16(0x010F), u16(2), u32(4), u32(62);
  u16(0x0112), u16(3), u32(1), u16(static_cast<unsigned>(orientation)), u16(0);
  u16(0x8825), u16(4), u32(1), u32(kExifGpsStart);
  u16(0xC4A5), u16(7), u32(4), bytes({'P', 'I', 'M', 0});
  u32(kExifGpsEnd);  // IFD1
  bytes({'C', 'a', 'm', 0});
  u16(3);
  u16(0x0000), u16(1), u32(4), bytes({2, 2, 0, 0});
  u16(0x0001), u16(2), u32(2), bytes({'N', 0, 0, 0});
  u16(0x0002), u16(5), u32(3), u32(108);
  u32(0);
  for (std::uint32_t v : {51u, 1u, 30u, 1u, 1234u, 100u}) u32(v);
  u16(1);
  u16(0x0103), u16(3), u32(1), u16(6), u16(0);
  u32(0);
  return d;
}

// The tags of the IFD at `at` in EXIF data, in order, and its next-IFD
// offset; nothing where the IFD runs past the data.
struct ExifIfd {
  std::vector<std::uint16_t> tags;
  std::uint32_t next = 0;
};
inline std::optional<ExifIfd> ReadExifIfd(const std::vector<std::uint8_t>& d, std::size_t at) {
  if (d.size() < 8) return std::nullopt;
  const bool big = d[0] == 'M';
  auto u16 = [&](std::size_t i) { return static_cast<std::uint16_t>(big ? d[i] << 8 | d[i + 1] : d[i + 1] << 8 | d[i]); };
  auto u32 = [&](std::size_t i) {
    return big ? std::uint32_t{u16(i)} << 16 | u16(i + 2) : std::uint32_t{u16(i + 2)} << 16 | u16(i);
  };
  if (at + 2 > d.size()) return std::nullopt;
  const std::size_t count = u16(at);
  if (at + 2 + count * 12 + 4 > d.size()) return std::nullopt;
  ExifIfd ifd;
  for (std::size_t i = 0; i < count; ++i) ifd.tags.push_back(u16(at + 2 + i * 12));
  ifd.next = u32(at + 2 + count * 12);
  return ifd;
}

// An ICC profile of the colour space space ("RGB " or "GRAY"), monitor
// class, XYZ connection space and no tags, as libpng checks a profile; size
// bytes (a multiple of four, at least 132), the bytes after the header a
// pattern.
inline std::vector<std::uint8_t> IccProfile(std::size_t size, const char* space = "RGB ") {
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
  put4cc(16, space);
  put4cc(20, "XYZ ");
  put4cc(36, "acsp");
  put32(68, 0x0000F6D6), put32(72, 0x00010000), put32(76, 0x0000D32D);  // D50
  put32(128, 0);  // tag count
  return p;
}

// The chunk names of a RIFF file (a WebP) in order, read by hand: "VP8X",
// "ICCP", "VP8 ", "EXIF" ...; what a cut file still holds whole.
inline std::vector<std::string> RiffChunkNames(const std::vector<std::uint8_t>& file) {
  std::vector<std::string> names;
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::size_t size = file[at + 4] | file[at + 5] << 8 | file[at + 6] << 16 | std::size_t{file[at + 7]} << 24;
    if (size > file.size() - at - 8) break;
    names.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(at), file.begin() + static_cast<std::ptrdiff_t>(at) + 4);
    at += 8 + size + (size & 1);
  }
  return names;
}

// Options with the four window formats ticked as given, all else default.
// Failures as imgbatch prints them.
inline std::vector<std::string> FailureLines(const std::vector<engine::ConversionFailure>& failures) {
  std::vector<std::string> lines;
  for (const engine::ConversionFailure& f : failures) lines.push_back(f.Line());
  return lines;
}

inline engine::ConversionOptions TickedFormats(bool bmp, bool jpg, bool jpeg, bool png) {
  engine::ConversionOptions o;
  o.targets.Set("bmp", bmp);
  o.targets.Set("jpg", jpg);
  o.targets.Set("jpeg", jpeg);
  o.targets.Set("png", png);
  return o;
}

// What decides the pictures and which formats are written: the parts of two
// options a window's controls set.
inline bool SamePicturesAndFormats(const engine::ConversionOptions& a, const engine::ConversionOptions& b) {
  using Processing = const engine::ProcessingOptions&;
  return static_cast<Processing>(a) == static_cast<Processing>(b) && a.targets == b.targets;
}

}  // namespace testsupport

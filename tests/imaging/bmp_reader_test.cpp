// BMP files made byte by byte in the test: header variants, bit fields, RLE
// streams and malformed files.

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "imaging/Bitmap.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

using img::Bitmap;
using img::ErrorCode;
using img::PaletteEntry;
using img::PixelFormat;

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::Bgr;
using testsupport::Cut;

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v);
  Put16(b, at + 2, v >> 16);
}

// A file with a 40-byte info header; `extra` (masks) follows the header,
// then the palette, then `pixels` exactly as given.
Bytes MakeBmp(int width, int height, int bpp, std::uint32_t compression,
              const std::vector<PaletteEntry>& palette, const Bytes& pixels,
              const std::vector<std::uint32_t>& masks = {}) {
  const std::size_t off = 14 + 40 + 4 * masks.size() + 4 * palette.size();
  Bytes b(off, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(off + pixels.size()));
  Put32(b, 10, static_cast<std::uint32_t>(off));
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, static_cast<std::uint32_t>(bpp));
  Put32(b, 30, compression);
  Put32(b, 34, static_cast<std::uint32_t>(pixels.size()));
  Put32(b, 46, static_cast<std::uint32_t>(palette.size()));
  std::size_t at = 54;
  for (std::uint32_t m : masks) Put32(b, at, m), at += 4;
  for (const PaletteEntry& e : palette) {
    b[at] = e.blue;
    b[at + 1] = e.green;
    b[at + 2] = e.red;
    b[at + 3] = e.reserved;
    at += 4;
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

Bitmap Load(const Bytes& file) {
  Bitmap bmp;
  bmp.LoadFromMemory(file);
  return bmp;
}

// 3 x 2, 24 bits, bottom-up: the file's first row is the picture's bottom row.
const Bytes kRows24 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,             // bottom
                       10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};   // top

TEST(BmpReader, BottomUpAndTopDownRows) {
  Bitmap up = Load(MakeBmp(3, 2, 24, 0, {}, kRows24));
  ASSERT_EQ(up.format(), PixelFormat::Bits24);
  EXPECT_EQ(up.PixelColor(0, 0), Bgr(10, 11, 12));
  EXPECT_EQ(up.PixelColor(2, 1), Bgr(7, 8, 9));

  Bitmap down = Load(MakeBmp(3, -2, 24, 0, {}, kRows24));
  EXPECT_EQ(down.height(), 2);
  EXPECT_EQ(down.PixelColor(0, 0), Bgr(1, 2, 3));
  EXPECT_EQ(down.PixelColor(2, 1), Bgr(16, 17, 18));
}

TEST(BmpReader, LastRowWithoutItsPaddingLoads) {
  Bytes pixels = kRows24;
  pixels.resize(pixels.size() - 3);
  Bitmap bmp = Load(MakeBmp(3, 2, 24, 0, {}, pixels));
  EXPECT_EQ(bmp.PixelColor(2, 0), Bgr(16, 17, 18));
}

// LoadFromFile takes the file's own buffer over as the pixels where it can;
// it must give exactly what LoadFromMemory gives.
TEST(BmpReader, FileAndMemoryLoadAlike) {
  testsupport::TempDir dir;
  Bytes short_padding = kRows24;
  short_padding.resize(short_padding.size() - 2);
  Bytes junk_after = MakeBmp(3, 2, 24, 0, {}, kRows24);
  junk_after.resize(junk_after.size() + (1 << 20), 0xAB);
  const Bytes files[] = {
      MakeBmp(3, 2, 24, 0, {}, kRows24),
      MakeBmp(3, -2, 24, 0, {}, kRows24),
      MakeBmp(3, 2, 24, 0, {}, short_padding),
      junk_after,
      MakeBmp(5, 3, 8, 0, {Bgr(1, 2, 3), Bgr(4, 5, 6)}, Bytes(24, 1)),
      MakeBmp(5, 1, 2, 0, {Bgr(1, 2, 3)}, {0x1B, 0xC0, 0, 0}),
  };
  int n = 0;
  for (const Bytes& file : files) {
    std::filesystem::path path = dir.path() / std::to_string(n++);
    path += ".bmp";
    img::WriteFileAtomically(path, file);
    Bitmap from_file, from_memory;
    from_file.LoadFromFile(path);
    from_memory.LoadFromMemory(file);
    ASSERT_EQ(from_file.format(), from_memory.format()) << n;
    ASSERT_EQ(from_file.width(), from_memory.width()) << n;
    ASSERT_EQ(from_file.height(), from_memory.height()) << n;
    ASSERT_EQ(from_file.stride(), from_memory.stride()) << n;
    EXPECT_EQ(from_file.palette(), from_memory.palette()) << n;
    const std::size_t row_bytes = (static_cast<std::size_t>(from_file.width()) *
                                   img::BitsPerPixel(from_file.format()) + 7) / 8;
    for (int y = 0; y < from_file.height(); ++y)
      EXPECT_EQ(0, std::memcmp(from_file.ScanLine(y), from_memory.ScanLine(y), row_bytes)) << n << " row " << y;
  }
}

TEST(BmpReader, TwoBitPixelsBecomeFourBit) {
  const std::vector<PaletteEntry> palette = {Bgr(0, 0, 0), Bgr(1, 1, 1), Bgr(2, 2, 2), Bgr(3, 3, 3)};
  // Five pixels 3, 2, 1, 0, 3 in one row.
  Bitmap bmp = Load(MakeBmp(5, 1, 2, 0, palette, {0b11100100, 0b11000000, 0, 0}));
  ASSERT_EQ(bmp.format(), PixelFormat::Bits4);
  EXPECT_EQ(bmp.palette(), palette);
  const std::uint8_t expected[] = {0x32, 0x10, 0x30};
  EXPECT_EQ(0, std::memcmp(bmp.ScanLine(0), expected, 3));
}

TEST(BmpReader, IndicesPastAShortPaletteReadBlack) {
  Bitmap bmp = Load(MakeBmp(2, 1, 8, 0, {Bgr(9, 9, 9)}, {0, 7, 0, 0}));
  EXPECT_EQ(bmp.palette().size(), 1u);
  EXPECT_EQ(bmp.PixelColor(0, 0), Bgr(9, 9, 9));
  EXPECT_EQ(bmp.PixelColor(1, 0), Bgr(0, 0, 0));
}

TEST(BmpReader, PaletteLongerThanTheDepthAllowsIsCut) {
  std::vector<PaletteEntry> palette(5, Bgr(1, 2, 3));
  Bitmap bmp = Load(MakeBmp(8, 1, 1, 0, palette, {0x80, 0, 0, 0}));
  EXPECT_EQ(bmp.palette().size(), 2u);
}

TEST(BmpReader, ThirtyTwoBitsKeepTheFourthByte) {
  Bitmap bmp = Load(MakeBmp(1, 1, 32, 0, {}, {1, 2, 3, 200}));
  ASSERT_EQ(bmp.format(), PixelFormat::Bits32);
  EXPECT_EQ(bmp.ScanLine(0)[3], 200);
}

struct MaskCase {
  const char* name;
  int bpp;
  std::vector<std::uint32_t> masks;  // red, green, blue (, alpha)
  std::uint32_t compression;
  Bytes pixel;                     // one pixel, padded to 4 bytes
  PixelFormat format;
  std::vector<std::uint8_t> bytes;  // the Bitmap's bytes of that pixel
};

void PrintTo(const MaskCase& c, std::ostream* os) { *os << c.name; }

class BmpMasks : public testing::TestWithParam<MaskCase> {};

TEST_P(BmpMasks, ConvertExactly) {
  const MaskCase& c = GetParam();
  Bytes file = MakeBmp(1, 1, c.bpp, c.compression, {}, c.pixel, c.masks);
  // With four masks and plain bit fields, a 56-byte header holds them in
  // the very bytes where they already are.
  if (c.masks.size() == 4 && c.compression == 3) Put32(file, 14, 56);
  Bitmap bmp = Load(file);
  ASSERT_EQ(bmp.format(), c.format);
  EXPECT_EQ(Bytes(bmp.ScanLine(0), bmp.ScanLine(0) + c.bytes.size()), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    BmpReader, BmpMasks,
    testing::Values(
        MaskCase{"Rgb555", 16, {0x7C00, 0x3E0, 0x1F}, 3, {0x34, 0x12, 0, 0}, PixelFormat::Bits15, {0x34, 0x12}},
        MaskCase{"Rgb565", 16, {0xF800, 0x7E0, 0x1F}, 3, {0x34, 0x12, 0, 0}, PixelFormat::Bits16, {0x34, 0x12}},
        // 4-4-4-4 with alpha: every nibble n becomes n * 17.
        MaskCase{"Argb4444", 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, 3, {0x21, 0x43, 0, 0},
                 PixelFormat::Bits32Alpha, {0x11, 0x22, 0x33, 0x44}},
        // 2-3-1 without alpha: scaled to 0..255 with rounding.
        MaskCase{"Rgb231", 16, {0x30, 0x0E, 0x01}, 3, {0x2B, 0, 0, 0}, PixelFormat::Bits24,
                 {255, 182, 170}},
        // Channels in an unusual order with an alpha mask (ALPHABITFIELDS).
        MaskCase{"AlphaBitfields", 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 6, {1, 2, 3, 4},
                 PixelFormat::Bits32Alpha, {3, 2, 1, 4}},
        MaskCase{"Standard32WithAlpha", 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 3, {1, 2, 3, 4},
                 PixelFormat::Bits32Alpha, {1, 2, 3, 4}},
        // 10-10-10: the top eight bits, rounded.
        MaskCase{"Rgb101010", 32, {0x3FF00000, 0xFFC00, 0x3FF}, 3, {0xFF, 0x03, 0x00, 0x20},
                 PixelFormat::Bits32, {255, 0, 128, 0}}),
    [](const testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });

TEST(BmpReader, MasksWithGapsAreRefused) {
  Bitmap bmp;
  try {
    bmp.LoadFromMemory(MakeBmp(1, 1, 16, 3, {}, {0, 0, 0, 0}, {0x7C00, 0x3E0, 0x15}));
    FAIL() << "loaded";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Unsupported);
  }
}

const std::vector<PaletteEntry> kRlePalette = {Bgr(0, 0, 0), Bgr(1, 1, 1), Bgr(2, 2, 2),
                                               Bgr(3, 3, 3), Bgr(4, 4, 4), Bgr(5, 5, 5)};

std::vector<int> Indices(const Bitmap& bmp, int y) {
  std::vector<int> out;
  for (int x = 0; x < bmp.width(); ++x) out.push_back(bmp.PixelColor(x, y).blue);
  return out;
}

TEST(BmpReader, Rle8WithRunsAbsoluteDeltaAndEndCodes) {
  const Bytes stream = {
      3, 1,                // bottom row: 1 1 1
      0, 3, 2, 3, 4, 0,    // absolute 2 3 4, padded to even
      0, 0,                // end of line
      0, 2, 2, 1,          // delta: two right, one up (row 1 left alone)
      2, 5,                // row 2 from x = 2: 5 5
      0, 1,                // end of picture: row 3 untouched
  };
  Bitmap bmp = Load(MakeBmp(6, 4, 8, 1, kRlePalette, stream));
  ASSERT_EQ(bmp.format(), PixelFormat::Bits8);
  EXPECT_EQ(Indices(bmp, 3), (std::vector<int>{1, 1, 1, 2, 3, 4}));
  EXPECT_EQ(Indices(bmp, 2), (std::vector<int>{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Indices(bmp, 1), (std::vector<int>{0, 0, 5, 5, 0, 0}));
  EXPECT_EQ(Indices(bmp, 0), (std::vector<int>{0, 0, 0, 0, 0, 0}));
}

TEST(BmpReader, Rle4AlternatesNibbles) {
  const Bytes stream = {
      5, 0x12,              // 1 2 1 2 1
      0, 3, 0x34, 0x50,     // absolute 3 4 5, two bytes: already even
      0, 1,
  };
  Bitmap bmp = Load(MakeBmp(9, 1, 4, 2, kRlePalette, stream));
  ASSERT_EQ(bmp.format(), PixelFormat::Bits4);
  EXPECT_EQ(Indices(bmp, 0), (std::vector<int>{1, 2, 1, 2, 1, 3, 4, 5, 0}));
}

TEST(BmpReader, Os2Rle24WithSkippedPixelsBlack) {
  const Bytes stream = {
      2, 1, 2, 3,                                   // run of two pixels b 1, g 2, r 3
      0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0,        // three pixels as they are, padded to even
      0, 0,                                         // end of line: row 1 never written
      0, 1,
  };
  Bytes file = MakeBmp(6, 2, 24, 4, {}, stream);
  // The same fields in a 64-byte OS/2 2.x header, where 4 means RLE24.
  file.insert(file.begin() + 54, 24, 0);
  Put32(file, 10, 54 + 24);
  Put32(file, 14, 64);
  Bitmap bmp = Load(file);
  ASSERT_EQ(bmp.format(), PixelFormat::Bits24);
  EXPECT_EQ(bmp.PixelColor(0, 1), Bgr(1, 2, 3));
  EXPECT_EQ(bmp.PixelColor(1, 1), Bgr(1, 2, 3));
  EXPECT_EQ(bmp.PixelColor(2, 1), Bgr(4, 5, 6));
  EXPECT_EQ(bmp.PixelColor(4, 1), Bgr(10, 11, 12));
  EXPECT_EQ(bmp.PixelColor(5, 1), Bgr(0, 0, 0));
  EXPECT_EQ(bmp.PixelColor(0, 0), Bgr(0, 0, 0));
}

TEST(BmpReader, RleRunsPastTheEdgeAreCut) {
  // A run of 255, then an absolute run of 200, then a delta far above the top.
  Bytes stream(6 + 200 + 4, 3);
  const std::uint8_t head[] = {255, 1, 0, 0, 0, 200}, tail[] = {0, 2, 255, 255};
  std::memcpy(stream.data(), head, 6);
  std::memcpy(stream.data() + 206, tail, 4);
  Bitmap bmp = Load(MakeBmp(4, 2, 8, 1, kRlePalette, stream));
  EXPECT_EQ(Indices(bmp, 1), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(Indices(bmp, 0), (std::vector<int>{3, 3, 3, 3}));
}

TEST(BmpReader, RleWithoutEndCodeAfterTheLastRowLoads) {
  Bitmap bmp = Load(MakeBmp(2, 2, 8, 1, kRlePalette, {2, 1, 0, 0, 2, 4}));
  EXPECT_EQ(Indices(bmp, 0), (std::vector<int>{4, 4}));
}

// Malformed files: each is refused with its code and leaves the Bitmap as it was.
struct BadCase {
  const char* name;
  std::function<Bytes()> make;
  ErrorCode code;
};

Bytes Good24() { return MakeBmp(3, 2, 24, 0, {}, kRows24); }
Bytes With(Bytes b, std::size_t at, std::uint32_t v, int size = 4) {
  if (size == 2) Put16(b, at, v);
  else Put32(b, at, v);
  return b;
}

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class BmpMalformed : public testing::TestWithParam<BadCase> {};

TEST_P(BmpMalformed, IsRefusedAndChangesNothing) {
  Bitmap bmp = testsupport::GradientBitmap(2, 3);
  const Bitmap before = bmp;
  try {
    bmp.LoadFromMemory(GetParam().make());
    FAIL() << "loaded";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), GetParam().code) << e.what();
  }
  ASSERT_EQ(bmp.width(), 2);
  ASSERT_EQ(bmp.height(), 3);
  for (int y = 0; y < 3; ++y)
    EXPECT_EQ(0, std::memcmp(bmp.ScanLine(y), before.ScanLine(y), 6));
}

INSTANTIATE_TEST_SUITE_P(
    BmpReader, BmpMalformed,
    testing::Values(
        BadCase{"Empty", [] { return Bytes{}; }, ErrorCode::Format},
        BadCase{"NotBm", [] { return With(Good24(), 0, 'P' | 'K' << 8, 2); }, ErrorCode::Format},
        BadCase{"HeaderCut", [] { return Cut(Good24(), 30); }, ErrorCode::Truncated},
        BadCase{"PixelsCut", [] { return Cut(Good24(), Good24().size() - 4); }, ErrorCode::Truncated},
        BadCase{"OffsetPastEnd", [] { return With(Good24(), 10, 5000); }, ErrorCode::Truncated},
        BadCase{"OffsetInsideHeader", [] { return With(Good24(), 10, 20); }, ErrorCode::Format},
        BadCase{"HugeWidth", [] { return With(Good24(), 18, 0x7FFFFFFF); }, ErrorCode::TooLarge},
        BadCase{"TooManyPixels", [] { return With(With(Good24(), 18, 60000), 22, 60000); }, ErrorCode::TooLarge},
        BadCase{"MostNegativeHeight", [] { return With(Good24(), 22, 0x80000000u); }, ErrorCode::TooLarge},
        BadCase{"NegativeWidth", [] { return With(Good24(), 18, static_cast<std::uint32_t>(-3)); }, ErrorCode::Format},
        BadCase{"ZeroHeight", [] { return With(Good24(), 22, 0); }, ErrorCode::Format},
        BadCase{"UnknownHeaderSize", [] { return With(Good24(), 14, 66); }, ErrorCode::Format},
        BadCase{"TwoPlanes", [] { return With(Good24(), 26, 2, 2); }, ErrorCode::Format},
        BadCase{"ThreeBitsPerPixel", [] { return With(Good24(), 28, 3, 2); }, ErrorCode::Format},
        BadCase{"JpegInside", [] { return With(Good24(), 30, 4); }, ErrorCode::Unsupported},
        BadCase{"MasksOn24Bits", [] { return With(Good24(), 30, 3); }, ErrorCode::Format},
        BadCase{"PaletteCut", [] { return Cut(MakeBmp(1, 1, 8, 0, std::vector<PaletteEntry>(256), {0, 0, 0, 0}), 300); },
                ErrorCode::Truncated},
        BadCase{"RleTopDown", [] { return MakeBmp(2, -2, 8, 1, kRlePalette, {0, 1}); }, ErrorCode::Format},
        BadCase{"RleOnWrongDepth", [] { return MakeBmp(2, 2, 8, 2, kRlePalette, {0, 1}); }, ErrorCode::Format},
        BadCase{"RleEndsEarly", [] { return MakeBmp(2, 2, 8, 1, kRlePalette, {2, 1, 0, 0}); }, ErrorCode::Truncated},
        BadCase{"RleAbsoluteCut", [] { return MakeBmp(8, 2, 8, 1, kRlePalette, {0, 8, 1, 2}); }, ErrorCode::Truncated},
        // A tiny RLE file cannot ask for more than the pixel limit.
        BadCase{"RleHugePicture", [] { return MakeBmp(65535, 65535, 8, 1, kRlePalette, {0, 1}); }, ErrorCode::TooLarge}),
    [](const testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

}  // namespace

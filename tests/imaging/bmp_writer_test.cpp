// BMP writing: exact header bytes, every pixel format through a write and a
// read, and the file and memory paths giving the same bytes.

#include <cstdio>
#include <cstring>
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

std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::size_t RowBytes(const Bitmap& bmp) {
  return (static_cast<std::size_t>(bmp.width()) * img::BitsPerPixel(bmp.format()) + 7) / 8;
}

TEST(BmpWriter, TwentyFourBitFileByteByByte) {
  Bitmap bmp(2, 2);
  const std::uint8_t top[] = {1, 2, 3, 4, 5, 6}, bottom[] = {7, 8, 9, 10, 11, 12};
  std::memcpy(bmp.ScanLine(0), top, 6);
  std::memcpy(bmp.ScanLine(1), bottom, 6);
  const Bytes expected = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header: size 70, pixels at 54
      40, 0, 0, 0,                                     // info header size
      2, 0, 0, 0, 2, 0, 0, 0,                          // 2 x 2, positive height: bottom-up
      1, 0, 24, 0,                                     // one plane, 24 bits
      0, 0, 0, 0,                                      // BI_RGB
      16, 0, 0, 0,                                     // image size: two rows of 8 bytes
      0, 0, 0, 0, 0, 0, 0, 0,                          // no resolution
      0, 0, 0, 0, 0, 0, 0, 0,                          // no palette, all colours important
      7, 8, 9, 10, 11, 12, 0, 0,                       // bottom row first, zero padding
      1, 2, 3, 4, 5, 6, 0, 0,
  };
  EXPECT_EQ(bmp.EncodeBmp(), expected);
}

TEST(BmpWriter, FiveSixFiveCarriesItsMasks) {
  Bitmap bmp(1, 1, PixelFormat::Bits16);
  const Bytes file = bmp.EncodeBmp();
  ASSERT_EQ(file.size(), 14u + 40 + 12 + 4);
  EXPECT_EQ(Get32(file, 10), 66u);
  EXPECT_EQ(Get32(file, 30), 3u);  // BI_BITFIELDS
  EXPECT_EQ(Get32(file, 54), 0xF800u);
  EXPECT_EQ(Get32(file, 58), 0x07E0u);
  EXPECT_EQ(Get32(file, 62), 0x001Fu);
}

TEST(BmpWriter, PaletteIsWrittenWithItsOwnLength) {
  Bitmap bmp(3, 1, PixelFormat::Bits8);
  bmp.palette() = std::vector<PaletteEntry>(5, PaletteEntry{1, 2, 3, 0});
  const Bytes file = bmp.EncodeBmp();
  EXPECT_EQ(Get32(file, 46), 5u);  // biClrUsed
  EXPECT_EQ(Get32(file, 10), 54u + 20);
  EXPECT_EQ(Get32(file, 2), file.size());
  EXPECT_EQ(Get32(file, 34), 4u);  // biSizeImage
}

TEST(BmpWriter, PaletteFormatWithoutPaletteStaysBlack) {
  // A count of 0 would mean a full palette in the file; the picture shows
  // black everywhere, and so must its file.
  Bitmap bmp(4, 1, PixelFormat::Bits4);
  bmp.ScanLine(0)[0] = 0x37;
  Bitmap back;
  back.LoadFromMemory(bmp.EncodeBmp());
  EXPECT_EQ(back.palette(), (std::vector<PaletteEntry>{PaletteEntry{}}));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(back.PixelColor(x, 0), PaletteEntry{});
}

TEST(BmpWriter, EmptyPictureIsRefusedAndLeavesNoFile) {
  testsupport::TempDir dir;
  try {
    Bitmap().SaveToFile(dir / "empty.bmp");
    FAIL() << "saved";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(BmpWriter, FileAndMemoryGiveTheSameBytes) {
  testsupport::TempDir dir;
  const Bitmap bmp = testsupport::GradientBitmap(37, 11);
  const auto path = dir.path() / img::PathFromUtf8("图片 1.bmp");
  bmp.SaveToFile(path);
  EXPECT_EQ(img::ReadWholeFile(path), bmp.EncodeBmp());

  Bitmap back;
  back.LoadFromFile(path);
  ASSERT_EQ(back.width(), 37);
  for (int y = 0; y < 11; ++y) EXPECT_EQ(0, std::memcmp(back.ScanLine(y), bmp.ScanLine(y), 37 * 3));
}

struct FormatCase {
  PixelFormat format;
  int palette_size;
  friend void PrintTo(const FormatCase& c, std::ostream* os) {
    img::PrintTo(c.format, os);
    if (c.palette_size) *os << " with " << c.palette_size << " colours";
  }
};

class BmpRoundTrip : public testing::TestWithParam<FormatCase> {};

TEST_P(BmpRoundTrip, KeepsFormatPaletteAndPixelBytes) {
  const auto [format, palette_size] = GetParam();
  Bitmap bmp(13, 5, format);
  for (int i = 0; i < palette_size; ++i)
    bmp.palette().push_back(PaletteEntry{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                         static_cast<std::uint8_t>(3 * i), static_cast<std::uint8_t>(i & 1)});
  std::mt19937 random(static_cast<unsigned>(format));
  const std::size_t row_bytes = RowBytes(bmp);
  for (int y = 0; y < bmp.height(); ++y)
    for (std::size_t i = 0; i < row_bytes; ++i) bmp.ScanLine(y)[i] = static_cast<std::uint8_t>(random());

  Bitmap back;
  back.LoadFromMemory(bmp.EncodeBmp());
  ASSERT_EQ(back.format(), format);
  ASSERT_EQ(back.width(), 13);
  ASSERT_EQ(back.height(), 5);
  EXPECT_EQ(back.palette(), bmp.palette());
  for (int y = 0; y < bmp.height(); ++y)
    EXPECT_EQ(0, std::memcmp(back.ScanLine(y), bmp.ScanLine(y), row_bytes)) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(BmpWriter, BmpRoundTrip,
                         testing::Values(FormatCase{PixelFormat::Bits1, 2}, FormatCase{PixelFormat::Bits4, 11},
                                         FormatCase{PixelFormat::Bits8, 256}, FormatCase{PixelFormat::Bits8, 3},
                                         FormatCase{PixelFormat::Bits15, 0}, FormatCase{PixelFormat::Bits16, 0},
                                         FormatCase{PixelFormat::Bits24, 0}, FormatCase{PixelFormat::Bits32, 0},
                                         FormatCase{PixelFormat::Bits32Alpha, 0}),
                         testsupport::ByValue());

}  // namespace

#include "imaging/Bitmap.h"

#include "TestSupport.h"
#include "platform/ImageError.h"

using img::Bitmap;
using img::PaletteEntry;
using img::PixelFormat;

namespace {

const PaletteEntry kWhite{255, 255, 255, 0};

TEST(Bitmap, NewPictureIsWhiteWithPaddedRows) {
  Bitmap bmp(5, 2);
  EXPECT_EQ(bmp.stride(), 16u);  // 15 bytes padded to 16
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(bmp.PixelColor(x, y), kWhite);
}

// Writers copy whole rows: the padding is zero even where the memory
// allocator hands back a block just freed with other bytes in it.
TEST(Bitmap, UnfilledRowsHaveZeroPaddingInReusedMemory) {
  for (auto [width, format] : {std::pair{5, PixelFormat::Bits24}, std::pair{9, PixelFormat::Bits1},
                               std::pair{3, PixelFormat::Bits8}}) {
    const std::size_t stride = Bitmap(width, 40, format).stride();
    std::uint8_t* block = new std::uint8_t[stride * 40];
    volatile std::uint8_t* dirty = block;  // volatile: the writes stay though nothing reads them
    for (std::size_t i = 0; i < stride * 40; ++i) dirty[i] = 0xA5;
    delete[] block;
    const Bitmap bmp = Bitmap::Unfilled(width, 40, format);
    const std::size_t used = (static_cast<std::size_t>(width) * img::BitsPerPixel(format) + 7) / 8;
    for (int y = 0; y < 40; ++y)
      for (std::size_t i = used; i < stride; ++i) ASSERT_EQ(bmp.ScanLine(y)[i], 0) << width << " row " << y;
  }
}

TEST(Bitmap, SetSizeKeepsPixelsAndFillsNewAreaWhite) {
  Bitmap bmp = testsupport::GradientBitmap(3, 3);
  bmp.SetSize(4, 2);
  EXPECT_EQ(bmp.width(), 4);
  EXPECT_EQ(bmp.height(), 2);
  EXPECT_EQ(bmp.PixelColor(2, 1), (PaletteEntry{2, 1, 3, 0}));
  EXPECT_EQ(bmp.PixelColor(3, 0), kWhite);
  EXPECT_EQ(bmp.PixelColor(3, 1), kWhite);
}

TEST(Bitmap, PaletteFormatsGrowWithTheirWhiteEntry) {
  Bitmap bmp(3, 1, PixelFormat::Bits4);
  bmp.palette() = {{0, 0, 0, 0}, {10, 10, 10, 0}, {250, 250, 250, 0}};
  bmp.SetSize(3, 1);
  bmp.ScanLine(0)[0] = 0x10;  // pixel 0 -> entry 1, pixel 1 -> entry 0
  bmp.SetSize(5, 2);
  EXPECT_EQ(bmp.PixelColor(0, 0), (PaletteEntry{10, 10, 10, 0}));
  EXPECT_EQ(bmp.PixelColor(1, 0), (PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(bmp.PixelColor(4, 0), (PaletteEntry{250, 250, 250, 0}));
  EXPECT_EQ(bmp.PixelColor(0, 1), (PaletteEntry{250, 250, 250, 0}));
}

TEST(Bitmap, EveryFormatConvertsExactlyTo24Bits) {
  // 1 bit with a two-colour palette.
  Bitmap one(9, 1, PixelFormat::Bits1);
  one.palette() = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  one.ScanLine(0)[0] = 0b10100000;
  one.ScanLine(0)[1] = 0b10000000;
  one.ConvertTo24();
  EXPECT_EQ(one.format(), PixelFormat::Bits24);
  EXPECT_EQ(one.PixelColor(0, 0), (PaletteEntry{4, 5, 6, 0}));
  EXPECT_EQ(one.PixelColor(1, 0), (PaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ(one.PixelColor(2, 0), (PaletteEntry{4, 5, 6, 0}));
  EXPECT_EQ(one.PixelColor(8, 0), (PaletteEntry{4, 5, 6, 0}));

  // 5-5-5 and 5-6-5: full channels stay full, zero stays zero.
  Bitmap b15(2, 1, PixelFormat::Bits15);
  b15.ScanLine(0)[0] = 0x1F;  // blue 31
  b15.ScanLine(0)[1] = 0x00;
  b15.ScanLine(0)[2] = 0x00;  // red 31
  b15.ScanLine(0)[3] = 0x7C;
  b15.ConvertTo24();
  EXPECT_EQ(b15.PixelColor(0, 0), (PaletteEntry{255, 0, 0, 0}));
  EXPECT_EQ(b15.PixelColor(1, 0), (PaletteEntry{0, 0, 255, 0}));

  Bitmap b16(1, 1, PixelFormat::Bits16);
  b16.ScanLine(0)[0] = 0xE0;  // green 63
  b16.ScanLine(0)[1] = 0x07;
  b16.ConvertTo24();
  EXPECT_EQ(b16.PixelColor(0, 0), (PaletteEntry{0, 255, 0, 0}));

  Bitmap b32(1, 1, PixelFormat::Bits32);
  b32.ScanLine(0)[0] = 7;
  b32.ScanLine(0)[1] = 8;
  b32.ScanLine(0)[2] = 9;
  b32.ScanLine(0)[3] = 200;
  b32.ConvertTo24();
  EXPECT_EQ(b32.PixelColor(0, 0), (PaletteEntry{7, 8, 9, 0}));
}

TEST(Bitmap, RefusesSizesBeyondTheLimitBeforeAllocating) {
  EXPECT_THROW(Bitmap(70000, 1), img::ImageError);
  EXPECT_THROW(Bitmap(60000, 60000), img::ImageError);
  EXPECT_THROW(Bitmap(-1, 4), img::ImageError);
  Bitmap empty(0, 10);
  EXPECT_TRUE(empty.empty());
}

TEST(Bitmap, ReducingToAPaletteIsRefused) {
  Bitmap bmp(2, 2);
  EXPECT_THROW(bmp.SetPixelFormat(PixelFormat::Bits8), img::ImageError);
  EXPECT_EQ(bmp.format(), PixelFormat::Bits24);
}

}  // namespace

#include "imaging/ShrinkBitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "TestSupport.h"

using img::Bitmap;
using img::PaletteEntry;
using img::PixelFormat;
using img::ShrinkBitmap;

namespace {

Bitmap Flat(int width, int height, std::uint8_t value) {
  Bitmap bmp(width, height);
  for (int y = 0; y < height; ++y) std::memset(bmp.ScanLine(y), value, static_cast<std::size_t>(width) * 3);
  return bmp;
}

// A picture with uneven values everywhere, so sums and sharpening show.
Bitmap Noise(int width, int height, unsigned seed) {
  Bitmap bmp(width, height);
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < width * 3; ++i) {
      seed = seed * 1103515245u + 12345u;
      bmp.ScanLine(y)[i] = static_cast<std::uint8_t>(seed >> 16);
    }
  return bmp;
}

using testsupport::SamePixels;

int Channel(const Bitmap& bmp, int x, int y, int c) { return bmp.ScanLine(y)[3 * x + c]; }

// The resampler written the slow way, pixel by pixel with a box sum and a
// division-free reciprocal of 65535 / n, then the sharpening over a
// separate original copy: C and the lower neighbours from the original, the
// upper neighbours from the result. Boxes stay below 65536 pixels here.
Bitmap Reference(const Bitmap& src, int tw, int th) {
  const std::vector<int> cols = img::ShrinkStepTable(tw, img::ShrinkScale(src.width(), tw));
  const std::vector<int> rows = img::ShrinkStepTable(th, img::ShrinkScale(src.height(), th));
  Bitmap out(tw, th);
  for (int y = 0, sy = 0; y < th; sy += rows[y], ++y)
    for (int x = 0, sx = 0; x < tw; sx += cols[x], ++x)
      for (int c = 0; c < 3; ++c) {
        unsigned sum = 0;
        for (int j = sy; j < sy + rows[y]; ++j)
          for (int i = sx; i < sx + cols[x]; ++i) sum += Channel(src, i, j, c);
        const unsigned n = static_cast<unsigned>(cols[x] * rows[y]);
        out.ScanLine(y)[3 * x + c] = static_cast<std::uint8_t>((static_cast<unsigned long long>(sum) * (65535 / n)) >> 16);
      }
  if (tw < 3 || th < 3) return out;
  const Bitmap averaged = out;
  for (int y = 1; y < th - 1; ++y)
    for (int x = 1; x < tw - 1; ++x)
      for (int c = 0; c < 3; ++c) {
        const int v = (12 * Channel(averaged, x, y, c) -
                       (Channel(out, x - 1, y - 1, c) + Channel(out, x + 1, y - 1, c) +
                        Channel(averaged, x - 1, y + 1, c) + Channel(averaged, x + 1, y + 1, c))) / 8;
        out.ScanLine(y)[3 * x + c] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
      }
  return out;
}

TEST(ShrinkBitmap, TargetNotSmallerGivesAnExactCopyAtTheSourceSize) {
  const Bitmap source = Noise(800, 600, 1);
  for (auto [w, h] : {std::pair{1024, 768}, std::pair{800, 600}}) {
    Bitmap src = source;
    Bitmap dest(5, 5, PixelFormat::Bits8);
    ShrinkBitmap(src, dest, static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
    EXPECT_TRUE(SamePixels(dest, source)) << w << "x" << h;  // noise would show any sharpening
    EXPECT_TRUE(SamePixels(src, source));
  }
}

TEST(ShrinkBitmap, ThousandToThreeHundredStepsAndUnusedLastLine) {
  const float s = img::ShrinkScale(1000, 300);
  EXPECT_EQ(s, 3.3333333f);
  const std::vector<int> steps = img::ShrinkStepTable(300, s);
  ASSERT_EQ(steps.size(), 300u);
  EXPECT_EQ(std::vector<int>(steps.begin(), steps.begin() + 10),
            (std::vector<int>{3, 3, 3, 4, 3, 3, 4, 3, 3, 4}));
  int total = 0;
  for (int step : steps) total += step;
  EXPECT_EQ(total, 999);

  // The last source column and row never reach the result.
  Bitmap a = Noise(1000, 1000, 7), b = a;
  for (int y = 0; y < 1000; ++y) std::memset(b.ScanLine(y) + 999 * 3, 255, 3);
  std::memset(b.ScanLine(999), 0, 3000);
  Bitmap ra, rb;
  ShrinkBitmap(a, ra, 300, 300);
  ShrinkBitmap(b, rb, 300, 300);
  EXPECT_TRUE(SamePixels(ra, rb));
  EXPECT_TRUE(SamePixels(ra, Reference(a, 300, 300)));
}

TEST(ShrinkBitmap, FourByFourToTwoByTwoAveragesWithoutSharpening) {
  Bitmap src = testsupport::GradientBitmap(4, 4);
  Bitmap dest;
  ShrinkBitmap(src, dest, 2, 2);
  ASSERT_EQ(dest.width(), 2);
  ASSERT_EQ(dest.height(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      for (int c = 0; c < 3; ++c) {
        unsigned sum = 0;
        for (int j = 0; j < 2; ++j)
          for (int i = 0; i < 2; ++i) sum += Channel(src, 2 * x + i, 2 * y + j, c);
        EXPECT_EQ(Channel(dest, x, y, c), static_cast<int>((sum * 16383) >> 16)) << x << "," << y << "," << c;
      }
  // Blue of the box at (1, 0) is 2+3+2+3 = 10: (10 * 16383) >> 16 = 2.
  EXPECT_EQ(Channel(dest, 1, 0, 0), 2);
}

TEST(ShrinkBitmap, FlatAreasComeOutOneLowAndStaySo) {
  Bitmap grey = Flat(40, 30, 100);
  Bitmap dest;
  ShrinkBitmap(grey, dest, 20, 15);
  for (int y = 0; y < 15; ++y)
    for (int i = 0; i < 60; ++i) ASSERT_EQ(dest.ScanLine(y)[i], 99) << i / 3 << "," << y;

  Bitmap white = Flat(2, 2, 255), one;
  ShrinkBitmap(white, one, 1, 1);
  EXPECT_EQ(one.PixelColor(0, 0), (PaletteEntry{254, 254, 254, 0}));

  // Boxes just within and just past 257 rows of 255 (the column sums widen there).
  for (int rows : {257, 258, 259}) {
    Bitmap tall = Flat(1, rows, 255), out;
    ShrinkBitmap(tall, out, 1, 1);
    EXPECT_EQ(out.PixelColor(0, 0), (PaletteEntry{254, 254, 254, 0})) << rows;
  }
}

TEST(ShrinkBitmap, TenByTenBlockSharpensAgainstSharpenedUpperNeighbours) {
  Bitmap src = Flat(10, 10, 101);
  for (int y = 4; y <= 5; ++y) std::memset(src.ScanLine(y) + 4 * 3, 201, 6);
  Bitmap dest;
  ShrinkBitmap(src, dest, 5, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      int expected = 100;
      if (x == 2 && y == 2) expected = 253;
      else if ((x == 1 || x == 3) && y == 1) expected = 87;
      else if ((x == 1 || x == 3) && y == 3) expected = 80;
      for (int c = 0; c < 3; ++c) EXPECT_EQ(Channel(dest, x, y, c), expected) << x << "," << y;
    }
}

TEST(ShrinkBitmap, SharpeningClampsAtBothEnds) {
  Bitmap dot = Flat(6, 6, 0);
  for (int y = 2; y <= 3; ++y) std::memset(dot.ScanLine(y) + 2 * 3, 255, 6);
  Bitmap out;
  ShrinkBitmap(dot, out, 3, 3);
  EXPECT_EQ(Channel(out, 1, 1, 0), 255);  // 12 * 254 / 8 clamped
  Bitmap hole = Flat(6, 6, 255);
  for (int y = 2; y <= 3; ++y) std::memset(hole.ScanLine(y) + 2 * 3, 0, 6);
  ShrinkBitmap(hole, out, 3, 3);
  EXPECT_EQ(Channel(out, 1, 1, 0), 0);  // (0 - 4 * 254) / 8 clamped
  EXPECT_EQ(Channel(out, 1, 0, 0), 254);
}

struct ShrinkCase {
  int sw, sh, tw, th;
  friend void PrintTo(const ShrinkCase& c, std::ostream* os) { *os << c.sw << "x" << c.sh << " to " << c.tw << "x" << c.th; }
};

class ShrinkAgainstReference : public ::testing::TestWithParam<ShrinkCase> {};

TEST_P(ShrinkAgainstReference, MatchesThePixelByPixelForm) {
  const ShrinkCase p = GetParam();
  Bitmap src = Noise(p.sw, p.sh, static_cast<unsigned>(p.sw * 31 + p.th));
  const Bitmap original = src;
  Bitmap dest;
  ShrinkBitmap(src, dest, static_cast<std::uint16_t>(p.tw), static_cast<std::uint16_t>(p.th));
  EXPECT_TRUE(SamePixels(src, original));
  EXPECT_TRUE(SamePixels(dest, Reference(original, p.tw, p.th)));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ShrinkAgainstReference,
                         ::testing::Values(ShrinkCase{1000, 800, 1000, 400},  // columns 1 wide, rows 2 high
                                           ShrinkCase{37, 23, 5, 7}, ShrinkCase{7, 5, 3, 2},
                                           ShrinkCase{1, 9, 1, 4}, ShrinkCase{640, 480, 639, 1},
                                           ShrinkCase{257, 3, 2, 3}, ShrinkCase{300, 299, 299, 298},
                                           ShrinkCase{7, 1101, 3, 4}),
                         testsupport::ByValue());

// ---- Alpha and grey pictures ----------------------------------------------------

// The same picture as 24 bits and in a work format of its own.
struct WorkFormat {
  const char* name;
  Bitmap (*from24)(const Bitmap& grey24);  // takes a picture whose channels are equal
  friend void PrintTo(const WorkFormat& c, std::ostream* os) { *os << c.name; }
};

Bitmap OpaqueAlpha(const Bitmap& rgb) {
  Bitmap bmp = rgb;
  bmp.SetPixelFormat(PixelFormat::Bits32Alpha);
  return bmp;
}

// Grey levels through a palette: the ramp, or the ramp reversed (read
// through its levels, as a grey BMP's palette may be ordered).
Bitmap Grey(const Bitmap& grey24, bool reversed) {
  Bitmap bmp = testsupport::GreyGradientBitmap(grey24.width(), grey24.height());
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(reversed ? 255 - i : i);
    bmp.palette()[i] = {v, v, v, 0};
  }
  for (int y = 0; y < bmp.height(); ++y)
    for (int x = 0; x < bmp.width(); ++x) {
      const std::uint8_t level = grey24.ScanLine(y)[3 * x];
      bmp.ScanLine(y)[x] = reversed ? static_cast<std::uint8_t>(255 - level) : level;
    }
  return bmp;
}

class ShrinkWorkFormat : public ::testing::TestWithParam<WorkFormat> {};

// An opaque picture with alpha and a grey one shrink to the very colours of
// their 24-bit copy, and stay in their format.
TEST_P(ShrinkWorkFormat, GivesTheTwentyFourBitColoursInItsOwnFormat) {
  for (ShrinkCase c : {ShrinkCase{37, 23, 5, 7}, ShrinkCase{257, 3, 2, 3}, ShrinkCase{7, 1101, 3, 4}}) {
    Bitmap grey24 = Noise(c.sw, c.sh, 11);
    for (int y = 0; y < c.sh; ++y)
      for (int x = 0; x < c.sw; ++x) std::memset(grey24.ScanLine(y) + 3 * x, grey24.ScanLine(y)[3 * x], 3);
    Bitmap source = GetParam().from24(grey24);
    const PixelFormat format = source.format();
    Bitmap want, got;
    ShrinkBitmap(grey24, want, static_cast<std::uint16_t>(c.tw), static_cast<std::uint16_t>(c.th));
    ShrinkBitmap(source, got, static_cast<std::uint16_t>(c.tw), static_cast<std::uint16_t>(c.th));
    ASSERT_EQ(got.format(), format);
    ASSERT_EQ(got.IsGrey(), format == PixelFormat::Bits8);
    ASSERT_EQ(got.width(), c.tw);
    for (int y = 0; y < c.th; ++y)
      for (int x = 0; x < c.tw; ++x) {
        PaletteEntry w = want.PixelColor(x, y);
        if (format == PixelFormat::Bits32Alpha) w.reserved = 255;
        ASSERT_EQ(got.PixelColor(x, y), w) << c.sw << "x" << c.sh << " at " << x << "," << y;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ShrinkWorkFormat,
    ::testing::Values(WorkFormat{"OpaqueAlpha", OpaqueAlpha},
                      WorkFormat{"GreyRamp", [](const Bitmap& b) { return Grey(b, false); }},
                      WorkFormat{"GreyPaletteReversed", [](const Bitmap& b) { return Grey(b, true); }}),
    [](const ::testing::TestParamInfo<WorkFormat>& info) { return std::string(info.param.name); });

TEST(ShrinkBitmap, ClearPixelsLendTheirBoxNoColourAndNoSharpening) {
  // Opaque white with a clear black last column: 4 x 2 into 2 x 1.
  Bitmap edge(4, 2, PixelFormat::Bits32Alpha);
  for (int y = 0; y < 2; ++y) std::memset(edge.ScanLine(y) + 12, 0, 4);
  Bitmap out;
  ShrinkBitmap(edge, out, 2, 1);
  EXPECT_EQ(out.PixelColor(0, 0), (PaletteEntry{254, 254, 254, 255}));  // as 24 bits: 1020 * 16383 >> 16
  // Half covered: white (unweighted, 510 * 16383 >> 16 = 127 grey); alpha 510 * 16383 >> 16.
  EXPECT_EQ(out.PixelColor(1, 0), (PaletteEntry{254, 254, 254, 127}));

  // Grey 100 with its last three columns clear, 9 x 9 into 3 x 3: the centre
  // has clear diagonal neighbours, so it keeps its average 99 where a 24-bit
  // sharpening would brighten it to (12 * 99 - 2 * 99) / 8 = 123.
  Bitmap shape(9, 9, PixelFormat::Bits32Alpha);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) {
      std::uint8_t* p = shape.ScanLine(y) + 4 * x;
      std::memset(p, x < 6 ? 100 : 0, 3);
      p[3] = x < 6 ? 255 : 0;
    }
  ShrinkBitmap(shape, out, 3, 3);
  EXPECT_EQ(out.PixelColor(1, 1), (PaletteEntry{99, 99, 99, 255}));
  EXPECT_EQ(out.PixelColor(2, 1), (PaletteEntry{0, 0, 0, 0}));
}

TEST(ShrinkBitmap, AnEnlargedSideKeepsTheSourceSize) {
  Bitmap src = Noise(10, 12, 3), wide, same;
  Bitmap copy = src;
  ShrinkBitmap(src, wide, 40, 6);
  ShrinkBitmap(copy, same, 10, 6);
  EXPECT_EQ(wide.width(), 10);
  EXPECT_EQ(wide.height(), 6);
  EXPECT_TRUE(SamePixels(wide, same));
}

TEST(ShrinkBitmap, ASideOfZeroOrAnEmptySourceIsCopied) {
  const Bitmap source = Noise(9, 7, 5);
  for (auto [w, h] : {std::pair{0, 3}, std::pair{3, 0}, std::pair{0, 0}}) {
    Bitmap src = source, dest(2, 2);
    ShrinkBitmap(src, dest, static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
    EXPECT_TRUE(SamePixels(dest, source));
  }
  Bitmap empty, dest(3, 3);
  ShrinkBitmap(empty, dest, 2, 2);
  EXPECT_EQ(dest.width(), 0);
  EXPECT_EQ(dest.height(), 0);
}

TEST(ShrinkBitmap, PaletteSourceIsConvertedInPlace) {
  Bitmap src(4, 2, PixelFormat::Bits8);
  src.palette() = {{10, 20, 30, 0}, {50, 60, 70, 0}};
  for (int x = 0; x < 4; ++x) {
    src.ScanLine(0)[x] = static_cast<std::uint8_t>(x & 1);
    src.ScanLine(1)[x] = 1;
  }
  Bitmap dest(1, 1, PixelFormat::Bits4);
  ShrinkBitmap(src, dest, 2, 1);
  EXPECT_EQ(src.format(), PixelFormat::Bits24);
  EXPECT_EQ(src.PixelColor(0, 0), (PaletteEntry{10, 20, 30, 0}));
  EXPECT_EQ(src.PixelColor(1, 1), (PaletteEntry{50, 60, 70, 0}));
  EXPECT_EQ(dest.format(), PixelFormat::Bits24);
  // Box of entries 0, 1, 1, 1: blue (10 + 150) * 16383 >> 16 = 39.
  EXPECT_EQ(dest.PixelColor(0, 0), (PaletteEntry{39, 49, 59, 0}));
  EXPECT_EQ(dest.PixelColor(1, 0), dest.PixelColor(0, 0));

  // A same-size target still converts: the copy is 24-bit.
  Bitmap pal(2, 2, PixelFormat::Bits1);
  pal.palette() = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  Bitmap out;
  ShrinkBitmap(pal, out, 2, 2);
  EXPECT_EQ(pal.format(), PixelFormat::Bits24);
  EXPECT_TRUE(SamePixels(out, pal));
}

TEST(ShrinkBitmap, BoxesOfMoreThan65535PixelsKeepTheirAverage) {
  // 600 x 400 in one box: 65535 div n would be 0 and the picture black.
  Bitmap src = Flat(600, 800, 200), dest;
  ShrinkBitmap(src, dest, 1, 2);
  EXPECT_EQ(dest.PixelColor(0, 0), (PaletteEntry{199, 199, 199, 0}));
  EXPECT_EQ(dest.PixelColor(0, 1), (PaletteEntry{199, 199, 199, 0}));
}

TEST(ShrinkBitmap, SourceAndDestinationMayBeOnePicture) {
  Bitmap bmp = Noise(12, 12, 9);
  const Bitmap expected = Reference(bmp, 5, 4);
  ShrinkBitmap(bmp, bmp, 5, 4);
  EXPECT_TRUE(SamePixels(bmp, expected));
}

}  // namespace

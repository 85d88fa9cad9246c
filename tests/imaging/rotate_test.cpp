#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/ImageError.h"
#include "imaging/Mirror.h"
#include "imaging/RightAngleTurn.h"
#include "imaging/ScreenRotateScanLine.h"

using img::Bitmap;
using img::PaletteEntry;
using img::PixelFormat;

namespace {

const PaletteEntry kBlue = img::kRotationBackground;

std::unique_ptr<Bitmap> Rotate(const Bitmap& source, int degrees, int hundredths = 0,
                               img::ProgressSink& progress = img::NullProgress()) {
  std::unique_ptr<Bitmap> result;
  img::RotateBitmapScanLine(std::make_unique<Bitmap>(source), degrees, hundredths, progress,
                            result);
  return result;
}

// The general mapping alone, sized as the full operation sizes it.
Bitmap Mapped(const Bitmap& source, int degrees, int hundredths = 0) {
  const img::RotationAngle angle = img::AngleOf(degrees, hundredths);
  const img::RotatedSize size = img::RotatedSizeOf(source.width(), source.height(), angle);
  Bitmap result(size.width, size.height);
  img::RotateByMapping(source, angle, result);
  return result;
}

std::string Where(int w, int h, int i, int j) {
  return std::to_string(w) + "x" + std::to_string(h) + " at (" + std::to_string(i) + "," +
         std::to_string(j) + ")";
}

// Every pixel of `got` equals `want` (same size); stops at the first mismatch.
void ExpectSamePixels(const Bitmap& got, const Bitmap& want, const std::string& what) {
  ASSERT_EQ(got.width(), want.width()) << what;
  ASSERT_EQ(got.height(), want.height()) << what;
  for (int j = 0; j < got.height(); ++j)
    for (int i = 0; i < got.width(); ++i)
      ASSERT_EQ(got.PixelColor(i, j), want.PixelColor(i, j)) << what << " pixel " << i << "," << j;
}

// ---- The exact turn at whole multiples of 90 degrees ------------------------

struct RightAngle {
  int degrees, hundredths, turns;
  friend void PrintTo(const RightAngle& c, std::ostream* os) {
    *os << c.degrees << " degrees and " << c.hundredths << " hundredths";
  }
};

class ExactTurn : public ::testing::TestWithParam<RightAngle> {};

// The source pixel that result pixel (i, j) must show, from the clockwise
// turn: 90 moves source (x, y) to (H-1-y, x), 180 to (W-1-x, H-1-y), 270 to
// (y, W-1-x).
std::pair<int, int> SourceOf(int turns, int w, int h, int i, int j) {
  switch (turns) {
    case 1:
      return {j, h - 1 - i};
    case 2:
      return {w - 1 - i, h - 1 - j};
    case 3:
      return {w - 1 - j, i};
    default:
      return {i, j};
  }
}

void CheckExactTurn(const RightAngle& angle, const Bitmap& source) {
  const int w = source.width(), h = source.height();
  const auto result = Rotate(source, angle.degrees, angle.hundredths);
  const bool sideways = angle.turns % 2;
  ASSERT_EQ(result->format(), source.format());
  ASSERT_EQ(result->width(), sideways ? h : w) << w << "x" << h;
  ASSERT_EQ(result->height(), sideways ? w : h) << w << "x" << h;
  for (int j = 0; j < result->height(); ++j)
    for (int i = 0; i < result->width(); ++i) {
      const auto [x, y] = SourceOf(angle.turns, w, h, i, j);
      ASSERT_EQ(result->PixelColor(i, j), source.PixelColor(x, y)) << Where(w, h, i, j);
    }
}

TEST_P(ExactTurn, EverySizeUpTo17) {
  for (int h = 1; h <= 17; ++h)
    for (int w = 1; w <= 17; ++w) CheckExactTurn(GetParam(), testsupport::GradientBitmap(w, h));
}

// Sizes that cross the tiles of the quarter turns (with and without row
// padding after the last pixel), and single lines.
TEST_P(ExactTurn, SizesAcrossTiles) {
  for (auto [w, h] :
       {std::pair{130, 67}, {67, 130}, {64, 65}, {132, 70}, {1, 200}, {200, 1}, {129, 128}})
    CheckExactTurn(GetParam(), testsupport::GradientBitmap(w, h));
}

INSTANTIATE_TEST_SUITE_P(Angles, ExactTurn,
                         ::testing::Values(RightAngle{90, 0, 1}, RightAngle{180, 0, 2},
                                           RightAngle{270, 0, 3}, RightAngle{0, 0, 0},
                                           RightAngle{360, 0, 0}, RightAngle{-90, 0, 3},
                                           RightAngle{450, 0, 1}, RightAngle{89, 100, 1},
                                           RightAngle{-540, 0, 2}),
                         [](const ::testing::TestParamInfo<RightAngle>& info) {
                           const int d = info.param.degrees;
                           return (d < 0 ? "minus" + std::to_string(-d) : std::to_string(d)) +
                                  "deg" + std::to_string(info.param.hundredths);
                         });

// Pictures with alpha and grey pictures turn and mirror as whole pixels,
// alpha with them, and keep their format.
class WorkFormatTurn : public ::testing::TestWithParam<PixelFormat> {};

Bitmap SourceIn(PixelFormat format, int w, int h) {
  return format == PixelFormat::Bits8 ? testsupport::GreyGradientBitmap(w, h)
                                      : testsupport::AlphaGradientBitmap(w, h);
}

TEST_P(WorkFormatTurn, MovesWholePixelsAndKeepsTheFormat) {
  for (auto [w, h] : {std::pair{130, 67}, {67, 130}, {1, 5}, {5, 1}, {3, 3}})
    for (RightAngle angle : {RightAngle{90, 0, 1}, RightAngle{180, 0, 2}, RightAngle{270, 0, 3}})
      CheckExactTurn(angle, SourceIn(GetParam(), w, h));

  const Bitmap original = SourceIn(GetParam(), 67, 3);
  Bitmap mirrored = original;
  img::SerialParts parts;
  img::MirrorLeftRight(mirrored, parts);
  img::MirrorTopBottom(mirrored);
  ASSERT_EQ(mirrored.format(), original.format());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 67; ++x)
      ASSERT_EQ(mirrored.PixelColor(x, y), original.PixelColor(66 - x, 2 - y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Formats, WorkFormatTurn, ::testing::Values(PixelFormat::Bits8, PixelFormat::Bits32Alpha),
                         [](const ::testing::TestParamInfo<PixelFormat>& info) {
                           return std::string(info.param == PixelFormat::Bits8 ? "Grey" : "Alpha");
                         });

TEST(ExactTurn, TopLeftEndsTopRightAt90) {
  Bitmap source(3, 2);        // white
  source.ScanLine(0)[0] = 1;  // top-left
  source.ScanLine(1)[0] = 2;  // bottom-left
  const auto result = Rotate(source, 90);
  ASSERT_EQ(result->width(), 2);
  ASSERT_EQ(result->height(), 3);
  EXPECT_EQ(result->ScanLine(0)[3], 1);  // top-right
  EXPECT_EQ(result->ScanLine(0)[0], 2);  // top-left
}

// A host may run the parts of a turn at once and in any order: here two
// threads take them from the back, and every part must run exactly once.
class TwoThreadsBackwards : public img::ProgressSink, public img::ParallelParts {
 public:
  int Threads() const override { return 2; }
  void Run(std::size_t count, const Part& part) override {
    std::vector<std::atomic<int>> runs(count);
    std::atomic<std::size_t> left{count};
    auto work = [&] {
      for (std::size_t n; (n = left.fetch_sub(1)) > 0 && n <= count;) {
        ++runs[n - 1];
        part(n - 1);
      }
    };
    std::thread helper(work);
    work();
    helper.join();
    all_once = all_once && std::all_of(runs.begin(), runs.end(), [](auto& r) { return r == 1; });
    parts += count;
  }
  bool all_once = true;
  std::size_t parts = 0;
};

TEST(ExactTurn, PartsMayRunAtOnceInAnyOrder) {
  for (int degrees : {0, 90, 180, 270})
    for (auto [w, h] : {std::pair{130, 67}, {67, 130}, {200, 1}, {1, 200}, {300, 257}}) {
      const Bitmap source = testsupport::GradientBitmap(w, h);
      TwoThreadsBackwards threads;
      std::unique_ptr<Bitmap> result;
      img::RotateBitmapScanLine(std::make_unique<Bitmap>(source), degrees, 0, threads, threads, result);
      ExpectSamePixels(*result, *Rotate(source, degrees), Where(w, h, degrees, 0));
      EXPECT_TRUE(threads.all_once);
      EXPECT_GE(threads.parts, 1u);
    }
}

// Where both sides are even the half-pixel mapping is already exact: the fast
// path must give the very same pixels.
TEST(ExactTurn, MatchesTheMappingOnEvenSizes) {
  for (int degrees : {90, 180, 270})
    for (int h = 2; h <= 16; h += 2)
      for (int w = 2; w <= 16; w += 2) {
        const Bitmap source = testsupport::GradientBitmap(w, h);
        ExpectSamePixels(*Rotate(source, degrees), Mapped(source, degrees),
                         std::to_string(degrees) + " " + Where(w, h, 0, 0));
      }
  const Bitmap large = testsupport::GradientBitmap(130, 66);
  for (int degrees : {90, 180, 270})
    ExpectSamePixels(*Rotate(large, degrees), Mapped(large, degrees), "130x66");
}

// ---- The general mapping ----------------------------------------------------

// What the mapping leaves at the right angles when a side is odd: the line of
// background that the exact turn avoids.
struct MappingEdge {
  int w, h, degrees;
  enum { None, RightColumn, BottomRow, All } blue;
  friend void PrintTo(const MappingEdge& c, std::ostream* os) { *os << c.w << "x" << c.h << " at " << c.degrees; }
};

class MappingAtRightAngles : public ::testing::TestWithParam<MappingEdge> {};

TEST_P(MappingAtRightAngles, LeavesTheKnownBackgroundLine) {
  const MappingEdge c = GetParam();
  const Bitmap result = Mapped(testsupport::GradientBitmap(c.w, c.h), c.degrees);
  const bool sideways = c.degrees != 180;
  ASSERT_EQ(result.width(), sideways ? c.h : c.w);
  ASSERT_EQ(result.height(), sideways ? c.w : c.h);
  for (int j = 0; j < result.height(); ++j)
    for (int i = 0; i < result.width(); ++i) {
      const bool blue = c.blue == MappingEdge::All ||
                        (c.blue == MappingEdge::RightColumn && i == result.width() - 1) ||
                        (c.blue == MappingEdge::BottomRow && j == result.height() - 1);
      EXPECT_EQ(result.PixelColor(i, j) == kBlue, blue) << Where(c.w, c.h, i, j);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, MappingAtRightAngles,
                         ::testing::Values(MappingEdge{4, 4, 90, MappingEdge::None},
                                           MappingEdge{5, 4, 90, MappingEdge::None},
                                           MappingEdge{4, 5, 90, MappingEdge::RightColumn},
                                           MappingEdge{3, 3, 90, MappingEdge::RightColumn},
                                           MappingEdge{5, 4, 180, MappingEdge::RightColumn},
                                           MappingEdge{4, 5, 180, MappingEdge::BottomRow},
                                           MappingEdge{5, 4, 270, MappingEdge::BottomRow},
                                           MappingEdge{4, 5, 270, MappingEdge::None},
                                           MappingEdge{1, 1, 90, MappingEdge::All},
                                           MappingEdge{1, 1, 180, MappingEdge::All}),
                         testsupport::ByValue());

// 3 by 3 turned by 45 degrees, worked by hand from the mapping: theta = -pi/4,
// size 2 + 2 = 4 by 4, centre (1, 1), offsets 0, ip = 2i - 1, jp = 2j - 1.
TEST(Mapping, ThreeByThreeAt45Degrees) {
  const Bitmap source = testsupport::GradientBitmap(3, 3);
  const auto result = Rotate(source, 45);
  ASSERT_EQ(result->width(), 4);
  ASSERT_EQ(result->height(), 4);
  // Source pixel {x, y} for each result pixel, row by row; {-1, -1} is background.
  const std::pair<int, int> want[4][4] = {
      {{0, 1}, {1, 0}, {-1, -1}, {-1, -1}},
      {{1, 1}, {1, 1}, {2, 0}, {-1, -1}},
      {{1, 2}, {2, 1}, {2, 1}, {-1, -1}},
      {{2, 2}, {2, 2}, {-1, -1}, {-1, -1}},
  };
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      const auto [x, y] = want[j][i];
      EXPECT_EQ(result->PixelColor(i, j), x < 0 ? kBlue : source.PixelColor(x, y)) << i << "," << j;
    }
}

// Angles that are not whole multiples of 90 take the mapping as it stands.
TEST(Mapping, FreeAnglesUseTheMapping) {
  const Bitmap source = testsupport::GradientBitmap(9, 6);
  for (auto [degrees, hundredths] : {std::pair{30, 25}, {89, 99}, {-15, 0}, {200, 50}, {0, 1}}) {
    const std::string what = std::to_string(degrees) + "." + std::to_string(hundredths);
    ExpectSamePixels(*Rotate(source, degrees, hundredths), Mapped(source, degrees, hundredths),
                     what);
  }
}

// A long thin line turned by 45 degrees would need 46342 x 46342 pixels.
TEST(Mapping, TurnPastThePixelLimitIsRefused) {
  std::unique_ptr<Bitmap> result;
  try {
    img::RotateBitmapScanLine(std::make_unique<Bitmap>(img::kMaxSide, 1), 45, 0,
                              img::NullProgress(), result);
    FAIL() << "no error";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::TooLarge);
  }
  ASSERT_NE(result, nullptr);
  EXPECT_TRUE(result->empty());
}

// ---- Sources of other kinds --------------------------------------------------

class EmptySource : public ::testing::TestWithParam<int> {};

TEST_P(EmptySource, RightAnglesGiveNoPixels) {
  for (auto [w, h] : {std::pair{0, 0}, {0, 5}, {7, 0}}) {
    const auto result = Rotate(Bitmap(w, h), GetParam());
    EXPECT_TRUE(result->empty());
    EXPECT_EQ(result->width(), GetParam() == 180 ? w : h);
    EXPECT_EQ(result->height(), GetParam() == 180 ? h : w);
  }
}

INSTANTIATE_TEST_SUITE_P(Angles, EmptySource, ::testing::Values(90, 180, 270), testsupport::ByValue());

TEST(EmptySourceFreeAngle, GivesTheComputedSizeAllBackground) {
  // 5 by 0 at 45: |nearest(0)| + |nearest(5 cos)| = 4 wide, |nearest(5 sin)| + 0 = 4 high.
  const auto result = Rotate(Bitmap(5, 0), 45);
  ASSERT_EQ(result->width(), 4);
  ASSERT_EQ(result->height(), 4);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) EXPECT_EQ(result->PixelColor(i, j), kBlue);
}

TEST(OtherFormats, PaletteSourceRotatesWithItsColours) {
  Bitmap source(3, 2, PixelFormat::Bits8);
  source.palette() = {{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) source.ScanLine(y)[x] = static_cast<std::uint8_t>((x + y) % 3);
  const auto result = Rotate(source, 90);
  ASSERT_EQ(result->format(), PixelFormat::Bits24);
  ASSERT_EQ(result->width(), 2);
  ASSERT_EQ(result->height(), 3);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(result->PixelColor(1 - y, x), source.palette()[(x + y) % 3]) << x << "," << y;
}

TEST(OtherFormats, ThirtyTwoBitSourceRotatesWithItsColours) {
  Bitmap source(2, 3, PixelFormat::Bits32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) {
      std::uint8_t* px = source.ScanLine(y) + 4 * x;
      px[0] = static_cast<std::uint8_t>(10 * x + y);
      px[1] = static_cast<std::uint8_t>(100 + y);
      px[2] = static_cast<std::uint8_t>(200 + x);
      px[3] = 0xEE;
    }
  const auto result = Rotate(source, 270);
  ASSERT_EQ(result->format(), PixelFormat::Bits24);
  ASSERT_EQ(result->width(), 3);
  ASSERT_EQ(result->height(), 2);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x)
      EXPECT_EQ(
          result->PixelColor(y, 1 - x),
          (PaletteEntry{static_cast<std::uint8_t>(10 * x + y), static_cast<std::uint8_t>(100 + y),
                        static_cast<std::uint8_t>(200 + x), 0}));
}

// ---- Ownership and progress ---------------------------------------------------

TEST(Ownership, SourceIsTakenAndResultIsANewPicture) {
  auto source = std::make_unique<Bitmap>(testsupport::GradientBitmap(4, 3));
  const Bitmap* source_object = source.get();
  auto result = std::make_unique<Bitmap>(1, 1);
  img::RotateBitmapScanLine(std::move(source), 90, 0, img::NullProgress(), result);
  EXPECT_EQ(source, nullptr);
  ASSERT_NE(result, nullptr);
  EXPECT_NE(result.get(), source_object);
  EXPECT_EQ(result->width(), 3);
  EXPECT_EQ(result->height(), 4);
}

// As the converter calls it: the slot it turns is also where the source came from.
TEST(Ownership, SlotMayBeWhereTheSourceCameFrom) {
  auto picture = std::make_unique<Bitmap>(testsupport::GradientBitmap(5, 2));
  img::RotateBitmapScanLine(std::move(picture), 180, 0, img::NullProgress(), picture);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->PixelColor(0, 0), testsupport::GradientBitmap(5, 2).PixelColor(4, 1));
}

}  // namespace

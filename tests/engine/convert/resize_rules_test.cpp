#include "engine/convert/ResizeRules.h"

#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "TestSupport.h"
#include "imaging/LinearLightResize.h"
#include "imaging/ShrinkBitmap.h"

using engine::ApplyResize;
using engine::ComputeTargetSize;
using engine::Resize;
using engine::TargetSize;
using img::Bitmap;
using img::PixelFormat;

namespace {

// Records every progress step; a step may fail, as a window gone would.
class RecordingProgress : public img::ProgressSink {
 public:
  void StepProgress() override {
    log += 'S';
    if (failing) throw std::runtime_error("window gone");
  }
  std::string log;
  bool failing = false;
};

// A box of the window's or of --width/--height: a number, or empty.
constexpr std::optional<long long> kEmpty;

Resize Boxes(std::optional<long long> width, std::optional<long long> height, bool keepRatio = false) {
  Resize resize;
  resize.to = engine::SizeBoxes{width, height, keepRatio};
  return resize;
}

Resize Fit(int width, int height) {
  Resize resize;
  resize.to = engine::FitInBox{width, height};
  return resize;
}

using testsupport::SamePixels;

// A 16-bit picture: not 24-bit, so a conversion shows.
Bitmap Picture16(int width, int height) {
  Bitmap bmp = testsupport::GradientBitmap(width, height);
  bmp.SetPixelFormat(PixelFormat::Bits16);
  return bmp;
}

struct SizeCase {
  const char* name;
  int sw, sh;
  Resize resize;
  int tw, th;  // 0 x 0: refused
  friend void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }
};

class TargetSizeRules : public ::testing::TestWithParam<SizeCase> {};

TEST_P(TargetSizeRules, FollowsTheBoxes) {
  const SizeCase p = GetParam();
  const TargetSize t = ComputeTargetSize(p.sw, p.sh, p.resize);
  EXPECT_EQ(t.width, p.tw);
  EXPECT_EQ(t.height, p.th);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetSizeRules,
    ::testing::Values(
        SizeCase{"Shrinks", 4000, 3000, Boxes(1024, 768), 1024, 768},
        SizeCase{"EnlargesForTheResamplerToRefuse", 800, 600, Boxes(1024, 768), 1024, 768},
        SizeCase{"ProportionsNotKept", 4000, 1000, Boxes(1024, 768), 1024, 768},
        SizeCase{"OneBoxKeepsTheSize", 4000, 3000, Boxes(640, kEmpty), 4000, 3000},
        SizeCase{"EmptyWidthKeepsTheSize", 4000, 3000, Boxes(kEmpty, 768), 4000, 3000},
        SizeCase{"BothBoxes", 4000, 3000, Boxes(640, 480), 640, 480},
        SizeCase{"KeepRatioFromWidth", 4000, 3000, Boxes(1000, kEmpty, true), 1000, 750},
        SizeCase{"KeepRatioFromHeight", 4000, 3000, Boxes(kEmpty, 300, true), 400, 300},
        SizeCase{"KeepRatioTheWidthWins", 4000, 3000, Boxes(1000, 10, true), 1000, 750},
        SizeCase{"KeepRatioNoBoxKeepsTheSize", 4000, 3000, Boxes(kEmpty, kEmpty, true), 4000, 3000},
        SizeCase{"KeepRatioTruncatesHeight", 1000, 333, Boxes(500, kEmpty, true), 500, 166},
        SizeCase{"KeepRatioTruncatesWidth", 333, 1000, Boxes(kEmpty, 500, true), 166, 500},
        // Enlargements are the resampler's to refuse.
        SizeCase{"KeepRatioEnlargesForTheResampler", 10, 60000, Boxes(20, kEmpty, true), 20, 120000},
        SizeCase{"KeepRatioDerivedSideKeepsALine", 1000, 1, Boxes(500, kEmpty, true), 500, 1},
        SizeCase{"KeepRatioOnePixel", 300, 200, Boxes(1, kEmpty, true), 1, 1},
        // Refused: numbers that are no side, no rows, a product beyond 32 bits.
        SizeCase{"ZeroWidthRefused", 4000, 3000, Boxes(0, 768), 0, 0},
        SizeCase{"NegativeHeightRefused", 4000, 3000, Boxes(1024, -5), 0, 0},
        SizeCase{"WidthPastTheLargestRefused", 4000, 3000, Boxes(65536, 768), 0, 0},
        SizeCase{"LargestSideTaken", 4000, 3000, Boxes(1024, 65535), 1024, 65535},
        // A refused width does not fall back to the height.
        SizeCase{"KeepRatioZeroWidthRefused", 4000, 3000, Boxes(0, 300, true), 0, 0},
        SizeCase{"KeepRatioNegativeHeightRefused", 4000, 3000, Boxes(kEmpty, -1, true), 0, 0},
        SizeCase{"NoRowsRefused", 1000, 0, Boxes(500, kEmpty, true), 0, 0},
        SizeCase{"NoColumnsRefused", 0, 10, Boxes(kEmpty, 5, true), 0, 0},
        SizeCase{"ProductPast32BitsRefused", 40000, 60000, Boxes(40000, kEmpty, true), 0, 0},
        SizeCase{"EmptySourceRefused", 0, 0, Boxes(kEmpty, kEmpty), 0, 0},
        // A fit rounds the side that follows to the nearest pixel, never out of the box.
        SizeCase{"FitRoundsTheHeight", 1366, 768, Fit(1024, 1024), 1024, 576},
        SizeCase{"FitRoundsTheWidth", 1600, 2560, Fit(3, 3), 2, 3},
        SizeCase{"FitRoundsHalfUp", 1000, 500, Fit(3, 3), 3, 2},
        SizeCase{"FitStaysInTheBox", 1999, 1000, Fit(1000, 500), 1000, 500},
        SizeCase{"FitKeepsALine", 1000, 2, Fit(100, 100), 100, 1}),
    testsupport::ByName());

struct ResizeCase {
  const char* name;
  int sw, sh;
  Resize resize;
  int w, h;          // size afterwards
  bool untouched;    // same pixels and format as before
  const char* log;   // progress steps
  friend void PrintTo(const ResizeCase& c, std::ostream* os) { *os << c.name; }
};

class ApplyResizeCases : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(ApplyResizeCases, ResizesOrLeavesThePicture) {
  const ResizeCase p = GetParam();
  const Bitmap original = Picture16(p.sw, p.sh);
  Bitmap working = original, scratch(3, 3, PixelFormat::Bits8);
  RecordingProgress progress;
  EXPECT_FALSE(ApplyResize(working, scratch, p.resize, progress).has_value());
  EXPECT_EQ(working.width(), p.w);
  EXPECT_EQ(working.height(), p.h);
  EXPECT_EQ(progress.log, p.log);
  if (p.untouched) {
    EXPECT_TRUE(SamePixels(working, original));
    return;
  }
  EXPECT_EQ(working.format(), PixelFormat::Bits24);
  Bitmap source = original, expected;
  img::ShrinkBitmap(source, expected, static_cast<std::uint16_t>(p.w), static_cast<std::uint16_t>(p.h));
  EXPECT_TRUE(SamePixels(working, expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplyResizeCases,
    ::testing::Values(
        ResizeCase{"ModeNoResize", 400, 300, Resize{}, 400, 300, true, ""},
        ResizeCase{"Shrinks", 400, 300, Boxes(102, 76), 102, 76, false, "SSS"},
        ResizeCase{"NotEnlarged", 80, 60, Boxes(1024, 768), 80, 60, false, "SSS"},
        ResizeCase{"ProportionsNotKept", 400, 100, Boxes(102, 76), 102, 76, false, "SSS"},
        ResizeCase{"OnlyTheSmallerSideShrinks", 400, 100, Boxes(1024, 50), 400, 50, false,
                   "SSS"},
        ResizeCase{"KeepRatioWidth", 400, 300, Boxes(100, kEmpty, true), 100, 75, false,
                   "SSS"},
        ResizeCase{"KeepRatioHeight", 400, 300, Boxes(kEmpty, 30, true), 40, 30, false,
                   "SSS"},
        ResizeCase{"OneBoxEmpty", 400, 300, Boxes(64, kEmpty), 400, 300, false, "SSS"},
        ResizeCase{"ZeroRefused", 400, 300, Boxes(0, 30), 400, 300, true, "SSS"},
        ResizeCase{"TooLargeRefused", 400, 300, Boxes(65536, 30), 400, 300, true, "SSS"},
        ResizeCase{"NegativeRefused", 400, 300, Boxes(-40, kEmpty, true), 400, 300, true, "SSS"}),
    testsupport::ByName());

Resize Scale(int hundredths) {
  Resize resize;
  resize.to = engine::ScaleBy{hundredths};
  resize.enlarge = true;
  return resize;
}

Resize Box(int width, int height, bool cover, bool enlarge = false) {
  Resize resize;
  if (cover)
    resize.to = engine::CoverBox{width, height};
  else
    resize.to = engine::FitInBox{width, height};
  resize.enlarge = enlarge;
  return resize;
}

// A cover keeps the middle of what it resized; what grows is made by the
// smooth kernel, the exact shrink being unable to; a size past 65535 fails
// the step and leaves the picture.
TEST(ApplyResize, CoverCutsTheCentreGrowingTakesAKernelAndTooLargeFails) {
  Bitmap working = testsupport::GradientBitmap(11, 4), scratch;
  EXPECT_FALSE(ApplyResize(working, scratch, Box(4, 4, true)).has_value());
  const Bitmap source = testsupport::GradientBitmap(11, 4);
  Bitmap centre(4, 4);
  for (int y = 0; y < 4; ++y) std::memcpy(centre.ScanLine(y), source.ScanLine(y) + 3 * 3, 12);
  EXPECT_TRUE(SamePixels(working, centre));

  working = testsupport::GradientBitmap(10, 8);
  EXPECT_FALSE(ApplyResize(working, scratch, Box(25, 25, false, true)).has_value());
  Bitmap from = testsupport::GradientBitmap(10, 8), expected;
  img::ResizeLinearLight(from, expected, 25, 20, img::ResizeKernel::Mitchell);
  EXPECT_TRUE(SamePixels(working, expected));

  working = testsupport::GradientBitmap(1000, 10);
  const std::optional<img::ImageError> failure = ApplyResize(working, scratch, Scale(1000000));
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->code(), img::ErrorCode::TooLarge);
  EXPECT_TRUE(SamePixels(working, testsupport::GradientBitmap(1000, 10)));
}

// A failure during the step comes back as the step's error, the picture kept.
TEST(ApplyResize, AFailureComesBackAndThePictureIsKept) {
  const Bitmap original = Picture16(40, 30);
  Bitmap working = original, scratch;
  RecordingProgress progress;
  progress.failing = true;
  std::optional<img::ImageError> failure;
  EXPECT_NO_THROW(failure = ApplyResize(working, scratch, Boxes(20, 15), progress));
  EXPECT_TRUE(failure.has_value());
  EXPECT_EQ(progress.log, "S");
  EXPECT_TRUE(SamePixels(working, original));
}

TEST(ApplyResize, ScratchPictureOfAPreviousRunDoesNotLeakIn) {
  Bitmap scratch = testsupport::GradientBitmap(500, 500);
  Bitmap working = Picture16(60, 40), expected_source = working, expected;
  EXPECT_FALSE(ApplyResize(working, scratch, Boxes(30, 20)).has_value());
  img::ShrinkBitmap(expected_source, expected, 30, 20);
  EXPECT_TRUE(SamePixels(working, expected));
}

}  // namespace

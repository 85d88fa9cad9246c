#include "engine/convert/ResizeRules.h"

#include <climits>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>

#include "TestSupport.h"
#include "imaging/LinearLightResize.h"
#include "imaging/ShrinkBitmap.h"

using engine::ApplyResize;
using engine::ComputeTargetSize;
using engine::ConversionOptions;
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

ConversionOptions Resize(std::string width, std::string height, bool keepRatio = false) {
  ConversionOptions options;
  options.zoomType = 1;
  options.widthText = std::move(width);
  options.heightText = std::move(height);
  options.keepRatio = keepRatio;
  return options;
}

using testsupport::SamePixels;

// A 16-bit picture: not 24-bit, so a conversion shows.
Bitmap Picture16(int width, int height) {
  Bitmap bmp = testsupport::GradientBitmap(width, height);
  bmp.SetPixelFormat(PixelFormat::Bits16);
  return bmp;
}

struct NumberCase {
  const char* text;
  bool isNumber;
  long long value;
  friend void PrintTo(const NumberCase& c, std::ostream* os) { *os << '"' << testsupport::Printable(c.text) << '"'; }
};

class WholeNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(WholeNumber, ReadsOnlySignAndDigits) {
  const NumberCase p = GetParam();
  long long value = -777;
  EXPECT_EQ(engine::ParseWholeNumber(p.text, value), p.isNumber) << '"' << p.text << '"';
  EXPECT_EQ(value, p.isNumber ? p.value : -777) << '"' << p.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WholeNumber,
    ::testing::Values(NumberCase{"1024", true, 1024}, NumberCase{"+12", true, 12},
                      NumberCase{"-5", true, -5}, NumberCase{"0", true, 0},
                      NumberCase{"007", true, 7}, NumberCase{"65536", true, 65536},
                      NumberCase{"99999999999999999999999", true, LLONG_MAX},
                      NumberCase{"12a", false, 0}, NumberCase{" ", false, 0},
                      NumberCase{"", false, 0}, NumberCase{" 12", false, 0},
                      NumberCase{"12 ", false, 0}, NumberCase{"+", false, 0},
                      NumberCase{"-", false, 0}, NumberCase{"1.5", false, 0},
                      NumberCase{"0x10", false, 0}, NumberCase{"１２", false, 0},
                      NumberCase{"按原图比例自动调整", false, 0},
                      NumberCase{"根据宽度自动调整", false, 0},
                      NumberCase{"请选择一个宽度", false, 0}),
    [](const auto& info) { return testsupport::ParamName(info.param.text); });

struct SizeCase {
  int sw, sh;
  const char* width;
  const char* height;
  bool keepRatio;
  int tw, th;  // 0 x 0: refused
  bool fitInBox = false;
};

// The source's size and the boxes, as a case is named and printed.
std::string Boxes(const SizeCase& c) {
  return std::to_string(c.sw) + "x" + std::to_string(c.sh) + " in '" + c.width + "' x '" + c.height + "'" +
         (c.keepRatio ? " keeping the ratio" : "") + (c.fitInBox ? " fitting" : "");
}

void PrintTo(const SizeCase& c, std::ostream* os) { *os << testsupport::Printable(Boxes(c)); }

class TargetSizeRules : public ::testing::TestWithParam<SizeCase> {};

TEST_P(TargetSizeRules, FollowsTheBoxes) {
  const SizeCase p = GetParam();
  ConversionOptions options = Resize(p.width, p.height, p.keepRatio);
  options.fitInBox = p.fitInBox;
  const TargetSize t = ComputeTargetSize(p.sw, p.sh, options);
  EXPECT_EQ(t.width, p.tw);
  EXPECT_EQ(t.height, p.th);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetSizeRules,
    ::testing::Values(
        SizeCase{4000, 3000, "1024", "768", false, 1024, 768},
        SizeCase{800, 600, "1024", "768", false, 1024, 768},    // the resampler refuses to enlarge
        SizeCase{4000, 1000, "1024", "768", false, 1024, 768},  // proportions not kept
        SizeCase{4000, 3000, "640", "", false, 4000, 3000},
        SizeCase{4000, 3000, "12a", "768", false, 4000, 3000},
        SizeCase{4000, 3000, "+640", "480", false, 640, 480},
        SizeCase{4000, 3000, "1000", "按原图比例自动调整", true, 1000, 750},
        SizeCase{4000, 3000, "根据宽度自动调整", "300", true, 400, 300},
        SizeCase{4000, 3000, "1000", "10", true, 1000, 750},  // the width box wins
        SizeCase{4000, 3000, "请选择一个宽度", "请选择一个高度", true, 4000, 3000},
        SizeCase{1000, 333, "500", "", true, 500, 166},   // truncated, not rounded
        SizeCase{333, 1000, "", "500", true, 166, 500},
        SizeCase{10, 60000, "20", "", true, 20, 120000},  // enlargements are the resampler's to refuse
        SizeCase{1000, 1, "500", "", true, 500, 1},  // a derived side keeps a line
        SizeCase{300, 200, "1", "", true, 1, 1},
        // Refused: numbers that are no side, no rows, a product beyond 32 bits.
        SizeCase{4000, 3000, "0", "768", false, 0, 0}, SizeCase{4000, 3000, "1024", "-5", false, 0, 0},
        SizeCase{4000, 3000, "65536", "768", false, 0, 0},
        SizeCase{4000, 3000, "1024", "65535", false, 1024, 65535},
        SizeCase{4000, 3000, "0", "300", true, 0, 0},  // a refused width does not fall back to the height
        SizeCase{4000, 3000, "x", "-1", true, 0, 0},
        SizeCase{1000, 0, "500", "", true, 0, 0}, SizeCase{0, 10, "", "5", true, 0, 0},
        SizeCase{40000, 60000, "40000", "", true, 0, 0}, SizeCase{0, 0, "", "", false, 0, 0},
        // A fit rounds the side that follows to the nearest pixel, never out of the box.
        SizeCase{1366, 768, "1024", "1024", false, 1024, 576, true}, SizeCase{1600, 2560, "3", "3", false, 2, 3, true},
        SizeCase{1000, 500, "3", "3", false, 3, 2, true}, SizeCase{1999, 1000, "1000", "500", false, 1000, 500, true},
        SizeCase{1000, 2, "100", "100", false, 100, 1, true}),
    [](const auto& info) { return testsupport::ParamName(Boxes(info.param)); });

struct ResizeCase {
  const char* name;
  int sw, sh;
  ConversionOptions options;
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
  EXPECT_FALSE(ApplyResize(working, scratch, p.options, progress).has_value());
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

ConversionOptions NoResize() {
  ConversionOptions options = Resize("10", "10");
  options.zoomType = 0;
  return options;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplyResizeCases,
    ::testing::Values(
        ResizeCase{"ModeNoResize", 400, 300, NoResize(), 400, 300, true, ""},
        ResizeCase{"Shrinks", 400, 300, Resize("102", "76"), 102, 76, false, "SSS"},
        ResizeCase{"NotEnlarged", 80, 60, Resize("1024", "768"), 80, 60, false, "SSS"},
        ResizeCase{"ProportionsNotKept", 400, 100, Resize("102", "76"), 102, 76, false, "SSS"},
        ResizeCase{"OnlyTheSmallerSideShrinks", 400, 100, Resize("1024", "50"), 400, 50, false,
                   "SSS"},
        ResizeCase{"KeepRatioWidth", 400, 300, Resize("100", "按原图比例自动调整", true), 100, 75, false,
                   "SSS"},
        ResizeCase{"KeepRatioHeight", 400, 300, Resize("根据宽度自动调整", "30", true), 40, 30, false,
                   "SSS"},
        ResizeCase{"OneBoxEmpty", 400, 300, Resize("64", ""), 400, 300, false, "SSS"},
        ResizeCase{"ZeroRefused", 400, 300, Resize("0", "30"), 400, 300, true, "SSS"},
        ResizeCase{"TooLargeRefused", 400, 300, Resize("65536", "30"), 400, 300, true, "SSS"},
        ResizeCase{"NegativeRefused", 400, 300, Resize("-40", "", true), 400, 300, true, "SSS"}),
    [](const ::testing::TestParamInfo<ResizeCase>& info) { return std::string(info.param.name); });

ConversionOptions Scale(int hundredths) {
  ConversionOptions options = Resize("", "");
  options.scaleHundredths = hundredths;
  options.enlarge = true;
  return options;
}

ConversionOptions Box(const char* width, const char* height, bool cover, bool enlarge = false) {
  ConversionOptions options = Resize(width, height);
  (cover ? options.coverBox : options.fitInBox) = true;
  options.enlarge = enlarge;
  return options;
}

// A cover keeps the middle of what it resized; what grows is made by the
// smooth kernel, the exact shrink being unable to; a size past 65535 fails
// the step and leaves the picture.
TEST(ApplyResize, CoverCutsTheCentreGrowingTakesAKernelAndTooLargeFails) {
  Bitmap working = testsupport::GradientBitmap(11, 4), scratch;
  EXPECT_FALSE(ApplyResize(working, scratch, Box("4", "4", true)).has_value());
  const Bitmap source = testsupport::GradientBitmap(11, 4);
  Bitmap centre(4, 4);
  for (int y = 0; y < 4; ++y) std::memcpy(centre.ScanLine(y), source.ScanLine(y) + 3 * 3, 12);
  EXPECT_TRUE(SamePixels(working, centre));

  working = testsupport::GradientBitmap(10, 8);
  EXPECT_FALSE(ApplyResize(working, scratch, Box("25", "25", false, true)).has_value());
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
  EXPECT_NO_THROW(failure = ApplyResize(working, scratch, Resize("20", "15"), progress));
  EXPECT_TRUE(failure.has_value());
  EXPECT_EQ(progress.log, "S");
  EXPECT_TRUE(SamePixels(working, original));
}

TEST(ApplyResize, ScratchPictureOfAPreviousRunDoesNotLeakIn) {
  Bitmap scratch = testsupport::GradientBitmap(500, 500);
  Bitmap working = Picture16(60, 40), expected_source = working, expected;
  EXPECT_FALSE(ApplyResize(working, scratch, Resize("30", "20")).has_value());
  img::ShrinkBitmap(expected_source, expected, 30, 20);
  EXPECT_TRUE(SamePixels(working, expected));
}

}  // namespace

// The window's size boxes: which texts are numbers, and the resize the
// zoom type, the two texts and the keep-ratio box make.

#include "ui/core/WindowResize.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "ParamNames.h"

namespace {

struct NumberCase {
  const char* name;
  const char* text;
  bool isNumber;
  long long value;
  friend void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.name; }
};

class WholeNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(WholeNumber, ReadsOnlySignAndDigits) {
  const NumberCase p = GetParam();
  long long value = -777;
  EXPECT_EQ(ui::ParseWholeNumber(p.text, value), p.isNumber) << '"' << p.text << '"';
  EXPECT_EQ(value, p.isNumber ? p.value : -777) << '"' << p.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WholeNumber,
    ::testing::Values(NumberCase{"Digits", "1024", true, 1024}, NumberCase{"Plus", "+12", true, 12},
                      NumberCase{"Minus", "-5", true, -5}, NumberCase{"Zero", "0", true, 0},
                      NumberCase{"LeadingZeros", "007", true, 7}, NumberCase{"PastASide", "65536", true, 65536},
                      NumberCase{"Saturates", "99999999999999999999999", true, LLONG_MAX},
                      NumberCase{"TrailingLetter", "12a", false, 0}, NumberCase{"Blank", " ", false, 0},
                      NumberCase{"Empty", "", false, 0}, NumberCase{"LeadingBlank", " 12", false, 0},
                      NumberCase{"TrailingBlank", "12 ", false, 0}, NumberCase{"PlusAlone", "+", false, 0},
                      NumberCase{"MinusAlone", "-", false, 0}, NumberCase{"Decimal", "1.5", false, 0},
                      NumberCase{"Hex", "0x10", false, 0}, NumberCase{"FullWidthDigits", "１２", false, 0},
                      NumberCase{"HintByRatio", "按原图比例自动调整", false, 0},
                      NumberCase{"HintFromWidth", "根据宽度自动调整", false, 0},
                      NumberCase{"HintChooseWidth", "请选择一个宽度", false, 0}),
    testsupport::ByName());

constexpr std::optional<long long> kEmpty;

engine::Resize Boxes(std::optional<long long> width, std::optional<long long> height, bool keepRatio = false) {
  return engine::Resize{engine::SizeBoxes{width, height, keepRatio}};
}

struct ControlsCase {
  const char* name;
  int zoomType;
  const char* width;
  const char* height;
  bool keepRatio;
  engine::Resize resize;
  bool givesSize = true;  // a run may start: no size boxes, or a number of 1 or more in one
  friend void PrintTo(const ControlsCase& c, std::ostream* os) { *os << c.name; }
};

class WindowResizeCases : public ::testing::TestWithParam<ControlsCase> {};

// A text that is no number leaves its box empty; a number that is no side
// still reaches the engine, which refuses it. Boxes with no number of 1 or
// more give no size, and no run starts with them.
TEST_P(WindowResizeCases, TextsBecomeTheBoxesNumbers) {
  const ControlsCase p = GetParam();
  const engine::Resize resize = ui::WindowResize(p.zoomType, p.width, p.height, p.keepRatio);
  EXPECT_TRUE(resize == p.resize);
  EXPECT_EQ(ui::GivesASize(resize), p.givesSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowResizeCases,
    ::testing::Values(ControlsCase{"NoResizeItem", 0, "1024", "768", false, engine::Resize{}},
                      ControlsCase{"NoItemChosen", -1, "1024", "768", true, engine::Resize{}},
                      ControlsCase{"Numbers", 1, "1024", "768", false, Boxes(1024, 768)},
                      ControlsCase{"SignedNumbers", 1, "+640", "-5", false, Boxes(640, -5)},
                      ControlsCase{"LetterIsNoNumber", 1, "12a", "768", false, Boxes(kEmpty, 768)},
                      ControlsCase{"BlanksAreNoNumber", 1, "", " 12", false, Boxes(kEmpty, kEmpty), false},
                      ControlsCase{"ZeroAndNegativeAreNoSize", 1, "0", "-5", true, Boxes(0, -5, true), false},
                      ControlsCase{"PastASideKept", 1, "65536", "99999999999999999999999", false,
                                   Boxes(65536, LLONG_MAX)},
                      ControlsCase{"RatioHintInHeight", 1, "1000", "按原图比例自动调整", true, Boxes(1000, kEmpty, true)},
                      ControlsCase{"WidthHintInWidth", 1, "根据宽度自动调整", "300", true, Boxes(kEmpty, 300, true)},
                      ControlsCase{"ChooseHints", 1, "请选择一个宽度", "请选择一个高度", true,
                                   Boxes(kEmpty, kEmpty, true), false}),
    testsupport::ByName());

}  // namespace

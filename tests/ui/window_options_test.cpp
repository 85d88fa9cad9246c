// The window's options table: each row's value fits its key and sets what
// it names, and the window's format boxes tick their formats.

#include "ui/core/WindowOptions.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>

#include "TestSupport.h"
#include "ui/core/WindowFormats.h"

namespace {

using ui::WindowOption;

// The type of key a row's field takes its value from.
std::optional<ui::settings::ValueType> FieldType(const WindowOption& option) {
  using ui::settings::ValueType;
  if (std::holds_alternative<ui::SetsNothing>(option.field)) return std::nullopt;
  if (std::holds_alternative<ui::SetsNumber>(option.field)) return ValueType::Integer;
  if (std::holds_alternative<ui::SetsText>(option.field)) return ValueType::String;
  return ValueType::Boolean;  // a flag or a format's tick
}

TEST(WindowOptions, EachRowsFieldTakesItsKeysTypeAndTheFormatBoxesAreTheWindowsFormats) {
  std::set<std::string> controls, ticks;
  for (const WindowOption& option : ui::WindowOptions()) {
    const std::string control(option.control);
    EXPECT_TRUE(controls.insert(control).second) << control;
    if (const auto type = FieldType(option)) {
      EXPECT_EQ(*type, option.key.type) << control;
    }
    if (std::holds_alternative<ui::TicksFormat>(option.field)) ticks.insert(control);
  }
  std::set<std::string> boxes;
  for (const ui::WindowFormat& format : ui::WindowFormats()) boxes.insert(format.box);
  EXPECT_EQ(ticks, boxes);
}

// Every control a run reads, set as a user would, reaches the options in
// the field its row names; the others reach nothing.
TEST(WindowOptions, TheControlsValuesSetTheOptionsTheirRowsName) {
  const std::map<std::string, ui::ControlValue> values = {
      {"CbJPG", false},      {"CbPNG", true},       {"CBBMP", false},    {"CBJPEG", true},
      {"CBGIF", true},       {"EdtWidth", "320"},   {"EdtHeight", "根据宽度自动调整"},
      {"CbZoomAuto", true},  {"rgZoomTypeItems", 1}, {"LbRoateType", 3}, {"CbTargetImgPreview", true},
      {"EdtZoomPeiW", "2"}};
  ui::WindowChoices choices;
  for (const WindowOption& option : ui::WindowOptions()) {
    const auto value = values.find(std::string(option.control));
    if (value != values.end()) ui::SetChoice(option, value->second, choices);
  }
  engine::ConversionOptions expected;
  expected.targets = engine::FormatTicks::Named({"png", "jpeg"});
  expected.resize.to = engine::SizeBoxes{320, std::nullopt, true};
  expected.rotation = 3;
  EXPECT_TRUE(testsupport::SamePicturesAndFormats(choices.Options(), expected));
}

}  // namespace

#include "ui/core/WindowOptions.h"

#include "ui/core/WindowFormats.h"
#include "ui/core/WindowResize.h"

namespace ui {

namespace {

namespace s = settings;

// A format box of the window's: written at every click and at close.
constexpr WindowOption Ticks(std::string_view box, const s::Key& key) {
  return {box, key, OnChange::Write, AtClose::Write, TicksFormat{}};
}

// A format box the window hides: its key is kept, at close.
constexpr WindowOption Hidden(std::string_view box, const s::Key& key) {
  return {box, key, OnChange::Nothing, AtClose::Write, SetsNothing{}};
}

constexpr WindowOption kWindowOptions[] = {
    {"EdtWidth", s::kEdtWidth, OnChange::Nothing, AtClose::WriteWholeNumber,
     [](WindowChoices& c, const std::string& text) { c.widthText = text; }},
    {"EdtHeight", s::kEdtHeight, OnChange::Nothing, AtClose::WriteWholeNumber,
     [](WindowChoices& c, const std::string& text) { c.heightText = text; }},
    // The hidden multiples group: kept, read by nothing.
    {"EdtZoomPeiW", s::kZoomPeiW, OnChange::Nothing, AtClose::WriteNumber, SetsNothing{}},
    {"EdtZoomPeiH", s::kZoomPeiH, OnChange::Nothing, AtClose::WriteNumber, SetsNothing{}},
    Ticks("CbJPG", s::kCbJPG),
    Ticks("CbPNG", s::kCbPNG),
    Ticks("CBBMP", s::kCBBMP),
    Ticks("CBJPEG", s::kCBJPEG),
    Hidden("CBGIF", s::kCBGIF),
    Hidden("CBICO", s::kCBICO),
    Hidden("CBEMF", s::kCBEMF),
    Hidden("CBWMF", s::kCBWMF),
    Hidden("CBPCX", s::kCBPCX),
    Hidden("CBTIFF", s::kCBTIFF),
    // Loaded after the size edits: its handler puts its texts in them.
    {"CbZoomAuto", s::kZoomAuto, OnChange::Write, AtClose::Nothing,
     [](WindowChoices& c, bool on) { c.keepRatio = on; }},
    // Written by its handler, which keeps a failure to itself.
    {"rgZoomTypeItems", s::kZoomType, OnChange::Nothing, AtClose::Nothing,
     [](WindowChoices& c, int item) { c.zoomType = item; }},
    {"LbRoateType", s::kLbRoateType, OnChange::WriteOnUserPick, AtClose::Nothing,
     [](WindowChoices& c, int row) { c.options.rotation = row; }},
    {"CbTargetImgPreview", s::kTargetImgPreview, OnChange::Write, AtClose::Nothing, SetsNothing{}},
    {"CbPreviewSourceImg", s::kPreviewSourceImg, OnChange::Write, AtClose::Nothing, SetsNothing{}},
    // Read when a folder run starts, as its folders are (RunWindow::KeepTree).
    {"CbKeepTree", s::kKeepTree, OnChange::Write, AtClose::Nothing, SetsNothing{}},
};

}  // namespace

engine::ConversionOptions WindowChoices::Options() const {
  engine::ConversionOptions o = options;
  o.resize = WindowResize(zoomType, widthText, heightText, keepRatio);
  return o;
}

std::span<const WindowOption> WindowOptions() { return kWindowOptions; }

bool SetsChoice(const WindowOption& option) { return !std::holds_alternative<SetsNothing>(option.field); }

void SetChoice(const WindowOption& option, const ControlValue& value, WindowChoices& choices) {
  if (std::holds_alternative<TicksFormat>(option.field)) {
    for (const WindowFormat& format : WindowFormats())
      if (format.box == option.control) choices.options.targets.Set(format.format, std::get<bool>(value));
  } else if (const auto* set = std::get_if<SetsFlag>(&option.field)) {
    (*set)(choices, std::get<bool>(value));
  } else if (const auto* set = std::get_if<SetsNumber>(&option.field)) {
    (*set)(choices, std::get<int>(value));
  } else if (const auto* set = std::get_if<SetsText>(&option.field)) {
    (*set)(choices, std::get<std::string>(value));
  }
}

ControlValue ReadValue(const SettingsFile& file, const settings::Key& key, const std::filesystem::path& dataFolder) {
  switch (key.type) {
    case settings::ValueType::Boolean:
      return settings::ReadFlag(file, key);
    case settings::ValueType::Integer:
      return settings::ReadNumber(file, key);
    case settings::ValueType::String:
      break;
  }
  return settings::ReadText(file, key, dataFolder);
}

void WriteValue(SettingsFile& file, const settings::Key& key, const ControlValue& value) {
  std::visit([&](const auto& v) { settings::Write(file, key, v); }, value);
}

}  // namespace ui

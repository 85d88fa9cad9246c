#pragma once
// The window's options in one table: each option control of MainForm.ui
// with its settings key (section, name, type, default), when that key is
// written, and what the control's value sets in the options a run reads.
// The window loads, saves, writes and publishes its options by this table
// alone: a new option is its control in MainForm.ui and a row here (and,
// for something new to the engine, its field in ConversionOptions).

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "engine/convert/ConversionOptions.h"
#include "ui/core/SettingsKeys.h"

namespace ui {

// What the window's option controls hold, gathered for a run.
struct WindowChoices {
  WindowChoices() { options.targets = engine::FormatTicks::Nothing(); }

  // What the controls set directly; no format is ticked to begin with.
  engine::ConversionOptions options;
  // The resize controls, which only together make options.resize.
  int zoomType = -1;
  std::string widthText;
  std::string heightText;
  bool keepRatio = false;

  // The options a run reads: options with the resize of the four controls
  // (WindowResize).
  engine::ConversionOptions Options() const;
};

// When a change of the control writes its key.
enum class OnChange {
  Nothing,          // closing the window, or the control's own handler, writes it
  Write,            // every change; a failure reaches the user once the window shows
  WriteOnUserPick,  // the user's picks only (a list), not the program setting it
};

// What closing the window writes of the control.
enum class AtClose {
  Nothing,
  Write,
  WriteWholeNumber,  // its text, when that is a whole number
  WriteNumber,       // its text, when that is a number (decimals allowed)
};

// What a control's value sets in the choices. Its value is a check box's
// state (a Boolean key), an edit's text (a String key), or a list's row or a
// radio group's item, -1 for none (an Integer key).
struct SetsNothing {};
struct TicksFormat {};  // the window's format whose box it is (WindowFormats.h)
using SetsFlag = void (*)(WindowChoices&, bool);
using SetsNumber = void (*)(WindowChoices&, int);
using SetsText = void (*)(WindowChoices&, const std::string&);
using OptionField = std::variant<SetsNothing, TicksFormat, SetsFlag, SetsNumber, SetsText>;

struct WindowOption {
  std::string_view control;  // its object name in MainForm.ui
  settings::Key key;         // a check box has a Boolean key, an edit a String key, a list or group an Integer key
  OnChange onChange;
  AtClose atClose;
  OptionField field;
};

// In the order the window loads them and closing writes them: a control's
// handler run by the load may read a control loaded before it.
std::span<const WindowOption> WindowOptions();

using ControlValue = std::variant<bool, int, std::string>;

// True when option's control sets something a run reads: its changes are
// published to a run.
bool SetsChoice(const WindowOption& option);

// Sets in choices what option's control holding value sets.
void SetChoice(const WindowOption& option, const ControlValue& value, WindowChoices& choices);

// key's value in file, of the key's type, its default when file has none
// (ReadText, ReadNumber, ReadFlag).
ControlValue ReadValue(const SettingsFile& file, const settings::Key& key, const std::filesystem::path& dataFolder);
// Writes value as key's value; throws SettingsWriteError when file cannot be written.
void WriteValue(SettingsFile& file, const settings::Key& key, const ControlValue& value);

}  // namespace ui

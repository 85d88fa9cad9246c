#pragma once
// The main window's option controls, bound by the window's options table
// (ui/core/WindowOptions.h): set from the settings file, written back when
// they change and when the window closes, and read into the options a run
// reads, which are published for a run's threads at every change.

#include <filesystem>
#include <functional>
#include <mutex>
#include <variant>
#include <vector>

#include "engine/convert/ConversionOptions.h"
#include "ui/core/WindowOptions.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QObject;
class QWidget;

namespace ui {

class SettingsFile;

// Checks the item of group whose id is id; any other id leaves no item
// checked.
void CheckGroupItem(QButtonGroup& group, int id);

class OptionControls {
 public:
  // Finds each row's control among form's children. Throws std::logic_error
  // for a row whose control is missing, does not hold its key's type (a
  // check box a Boolean, an edit a String, a list or button group an
  // Integer), or is written on the user's picks and is no list: a row that
  // binds nothing would fail silently.
  explicit OptionControls(QWidget& form);

  // Sets each control from its key, in the table's order. A control whose
  // value changes emits its signals, so its handlers run as on a click.
  void Load(const SettingsFile& file, const std::filesystem::path& dataFolder) const;
  // Writes the keys of the rows closing writes, in the table's order.
  void Save(SettingsFile& file) const;

  // From now on, write(key, value) after each change that writes its row's
  // key (OnChange), with the control's new value.
  void ConnectWrites(QObject* context,
                     std::function<void(const settings::Key& key, const ControlValue& value)> write) const;
  // From now on, Publish() after each change of a control a run reads.
  void PublishChanges(QObject* context);

  // The options as the controls hold them now (the window's thread).
  engine::ConversionOptions Options() const;
  // Takes the options as the controls hold them now for a run's threads
  // (the window's thread); Published() gives them to any thread.
  void Publish();
  engine::ConversionOptions Published() const;

 private:
  using Control = std::variant<QCheckBox*, QLineEdit*, QListWidget*, QButtonGroup*>;
  struct Bound {
    const WindowOption* option;
    Control control;
  };
  static ControlValue ValueOf(const Control& control);
  // Runs f after every change of control.
  static void OnEveryChange(const Control& control, QObject* context, std::function<void()> f);

  std::vector<Bound> bound_;
  mutable std::mutex publishedMutex_;
  engine::ConversionOptions published_;
};

}  // namespace ui

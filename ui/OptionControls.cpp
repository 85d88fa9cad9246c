#include "ui/OptionControls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

#include <stdexcept>
#include <string>

#include "ui/UserInputHooks.h"

namespace ui {

namespace {

template <typename T>
T* Find(QWidget& form, std::string_view name) {
  return form.findChild<T*>(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
}

// The key type a control holds.
settings::ValueType TypeOf(const std::variant<QCheckBox*, QLineEdit*, QListWidget*, QButtonGroup*>& control) {
  if (std::holds_alternative<QCheckBox*>(control)) return settings::ValueType::Boolean;
  if (std::holds_alternative<QLineEdit*>(control)) return settings::ValueType::String;
  return settings::ValueType::Integer;
}

}  // namespace

void CheckGroupItem(QButtonGroup& group, int id) {
  if (QAbstractButton* item = group.button(id)) {
    item->setChecked(true);
    return;
  }
  // An exclusive group never unchecks its last checked button by itself.
  group.setExclusive(false);
  for (QAbstractButton* item : group.buttons()) item->setChecked(false);
  group.setExclusive(true);
}

OptionControls::OptionControls(QWidget& form) {
  for (const WindowOption& option : WindowOptions()) {
    Control control;
    if (auto* box = Find<QCheckBox>(form, option.control)) control = box;
    else if (auto* edit = Find<QLineEdit>(form, option.control)) control = edit;
    else if (auto* list = Find<QListWidget>(form, option.control)) control = list;
    else if (auto* group = Find<QButtonGroup>(form, option.control)) control = group;
    else throw std::logic_error("no option control " + std::string(option.control));
    if (TypeOf(control) != option.key.type)
      throw std::logic_error("option control " + std::string(option.control) + " does not hold its key's type");
    if (option.onChange == OnChange::WriteOnUserPick && !std::holds_alternative<QListWidget*>(control))
      throw std::logic_error("option control " + std::string(option.control) + " has no picks: it is no list");
    bound_.push_back({&option, control});
  }
}

ControlValue OptionControls::ValueOf(const Control& control) {
  if (auto* box = std::get_if<QCheckBox*>(&control)) return (*box)->isChecked();
  if (auto* edit = std::get_if<QLineEdit*>(&control)) return (*edit)->text().toStdString();
  if (auto* list = std::get_if<QListWidget*>(&control)) return (*list)->currentRow();
  return std::get<QButtonGroup*>(control)->checkedId();
}

void OptionControls::Load(const SettingsFile& file, const std::filesystem::path& dataFolder) const {
  for (const auto& [option, control] : bound_) {
    const ControlValue value = ReadValue(file, option->key, dataFolder);
    if (auto* box = std::get_if<QCheckBox*>(&control)) (*box)->setChecked(std::get<bool>(value));
    else if (auto* edit = std::get_if<QLineEdit*>(&control)) (*edit)->setText(QString::fromStdString(std::get<std::string>(value)));
    else if (auto* list = std::get_if<QListWidget*>(&control)) (*list)->setCurrentRow(std::get<int>(value));
    else CheckGroupItem(*std::get<QButtonGroup*>(control), std::get<int>(value));
  }
}

void OptionControls::Save(SettingsFile& file) const {
  for (const auto& [option, control] : bound_) {
    bool number = true;
    if (const auto* edit = std::get_if<QLineEdit*>(&control)) {
      if (option->atClose == AtClose::WriteWholeNumber) (*edit)->text().toInt(&number);
      if (option->atClose == AtClose::WriteNumber) (*edit)->text().toDouble(&number);
    }
    if (option->atClose != AtClose::Nothing && number) WriteValue(file, option->key, ValueOf(control));
  }
}

void OptionControls::OnEveryChange(const Control& control, QObject* context, std::function<void()> f) {
  if (auto* box = std::get_if<QCheckBox*>(&control))
    QObject::connect(*box, &QCheckBox::toggled, context, f);
  else if (auto* edit = std::get_if<QLineEdit*>(&control))
    QObject::connect(*edit, &QLineEdit::textChanged, context, f);
  else if (auto* list = std::get_if<QListWidget*>(&control))
    QObject::connect(*list, &QListWidget::currentRowChanged, context, f);
  else
    QObject::connect(std::get<QButtonGroup*>(control), &QButtonGroup::idToggled, context, f);
}

void OptionControls::ConnectWrites(QObject* context,
                                   std::function<void(const settings::Key& key, const ControlValue& value)> write) const {
  for (const auto& [option, control] : bound_) {
    const auto written = [write, option, control] { write(option->key, ValueOf(control)); };
    if (option->onChange == OnChange::Write) OnEveryChange(control, context, written);
    if (auto* list = std::get_if<QListWidget*>(&control); list && option->onChange == OnChange::WriteOnUserPick)
      OnUserPick(*list, written);
  }
}

void OptionControls::PublishChanges(QObject* context) {
  for (const auto& [option, control] : bound_)
    if (SetsChoice(*option)) OnEveryChange(control, context, [this] { Publish(); });
}

engine::ConversionOptions OptionControls::Options() const {
  WindowChoices choices;
  for (const auto& [option, control] : bound_)
    if (SetsChoice(*option)) SetChoice(*option, ValueOf(control), choices);
  return choices.Options();
}

void OptionControls::Publish() {
  const engine::ConversionOptions options = Options();
  std::lock_guard lock(publishedMutex_);
  published_ = options;
}

engine::ConversionOptions OptionControls::Published() const {
  std::lock_guard lock(publishedMutex_);
  return published_;
}

}  // namespace ui

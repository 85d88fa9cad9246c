// The option controls of the main window's tool strip: what each handler
// does to the other controls; the options table (OptionControls) writes
// their keys and publishes their values.

#include <QButtonGroup>
#include <utility>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>

#include "ui/core/Dialogs.h"
#include "ui/core/WindowResize.h"
#include "ui/OptionControls.h"
#include "ui/TMainForm.h"
#include "ui/UserInputHooks.h"
#include "ui_MainForm.h"
#include "text/WindowText.h"
#include "ui/core/WindowEdge.h"

namespace ui {

namespace {

// Texts the keep-ratio box and the size edits' exits put in place of a number.
using text::kAutoByRatio;
using text::kAutoFromWidth;
using text::kChooseHeight;
using text::kChooseWidth;

bool IsWholeNumber(const QLineEdit* edit) {
  long long value = 0;
  return ParseWholeNumber(edit->text().toStdString(), value);
}

}  // namespace

void TMainForm::ConnectOptionControls() {
  // toggled also fires when LoadSettings sets a stored value that differs
  // from the layout's state, so the handler runs then as on a click.
  const std::pair<QCheckBox*, void (TMainForm::*)()> boxes[] = {
      {form_->CbZoomAuto, &TMainForm::CbZoomAutoClick},
      {form_->CbPreviewSourceImg, &TMainForm::CbPreviewSourceImgClick},
      {form_->CbTargetImgPreview, &TMainForm::CbTargetImgPreviewClick},
  };
  for (const auto& [box, handler] : boxes) connect(box, &QCheckBox::toggled, this, handler);

  connect(form_->rgZoomTypeItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) rgZoomTypeClick();
  });
  OnEditClick(form_->EdtWidth, [this] { EdtWidthClick(); });
  OnEditClick(form_->EdtHeight, [this] { EdtHeightClick(); });
  OnEditExit(form_->EdtWidth, [this] { EdtWidthExit(); });
  OnEditExit(form_->EdtHeight, [this] { EdtHeightExit(); });
  form_->GbZoomBei->hide();

  // After the handlers: the keys the options table writes on a change, then
  // every change of an option published for a run's threads, which take
  // them when their next picture starts.
  optionControls_->ConnectWrites(this, [this](const settings::Key& key, const ControlValue& value) {
    WriteOption(key, value);
  });
  optionControls_->PublishChanges(this);
  optionControls_->Publish();

  ConnectPreview();
}

engine::ConversionOptions TMainForm::CurrentConversionOptions() const { return optionControls_->Options(); }

void TMainForm::WriteOption(const settings::Key& key, const ControlValue& value) {
  try {
    WriteValue(Settings(), key, value);
  } catch (const std::exception& e) {
    // The standard error box, as for any failure a handler does not catch.
    // LoadSettings runs these handlers before the window is on screen and
    // swallows its failures, so nothing is shown then.
    if (isVisible()) CurrentDialogs().ShowError(e.what());
  }
}

void TMainForm::rgZoomTypeClick() {
  try {
    const int index = ZoomTypeItemIndex();
    form_->GbZoomSize->setVisible(index != 0);
    form_->GbZoomBei->hide();
    settings::Write(Settings(), settings::kZoomType, index);
  } catch (...) {
    SwallowAtEdge("TMainForm::rgZoomTypeClick");
  }
}

void TMainForm::EdtWidthClick() { form_->EdtWidth->selectAll(); }
void TMainForm::EdtHeightClick() { form_->EdtHeight->selectAll(); }

void TMainForm::MakeAutomatic(QLineEdit* edit, const char* hint, const settings::Key& key, QString& kept) {
  if (IsWholeNumber(edit)) {
    kept = edit->text();
    // Closing writes only numbers: the kept one is written now. Only a
    // tick gets here with a number, and the box's own write tells of a
    // settings file that takes none.
    try {
      WriteValue(Settings(), key, ControlValue(kept.toStdString()));
    } catch (...) {
    }
  }
  edit->setText(QString::fromUtf8(hint));
  edit->setEnabled(false);
}

void TMainForm::EndAutomatic(QLineEdit* edit, QString& kept) {
  if (edit->isEnabled()) return;
  edit->setEnabled(true);
  if (!kept.isEmpty()) edit->setText(kept);
  kept.clear();
}

// Leaving a box with keep-ratio ticked: a number in it makes the other box
// automatic, unless that one holds a number the user typed; a box left
// without a number gives the automatic one back.
void TMainForm::EdtWidthExit() {
  if (!form_->CbZoomAuto->isChecked()) return;
  if (!IsWholeNumber(form_->EdtWidth)) {
    EndAutomatic(form_->EdtHeight, keptHeight_);
  } else if (form_->EdtHeight->isEnabled() && !IsWholeNumber(form_->EdtHeight)) {
    MakeAutomatic(form_->EdtHeight, kAutoFromWidth, settings::kEdtHeight, keptHeight_);
  }
}

void TMainForm::EdtHeightExit() {
  if (!form_->CbZoomAuto->isChecked()) return;
  if (!IsWholeNumber(form_->EdtHeight)) {
    EndAutomatic(form_->EdtWidth, keptWidth_);
  } else if (form_->EdtWidth->isEnabled() && !IsWholeNumber(form_->EdtWidth)) {
    MakeAutomatic(form_->EdtWidth, kAutoByRatio, settings::kEdtWidth, keptWidth_);
  }
}

void TMainForm::CbZoomAutoClick() {
  // The options table writes the box's key.
  QLineEdit* width = form_->EdtWidth;
  QLineEdit* height = form_->EdtHeight;
  if (!form_->CbZoomAuto->isChecked()) {
    EndAutomatic(width, keptWidth_);
    EndAutomatic(height, keptHeight_);
  } else if (IsWholeNumber(width)) {
    MakeAutomatic(height, kAutoByRatio, settings::kEdtHeight, keptHeight_);
  } else if (IsWholeNumber(height)) {
    MakeAutomatic(width, kAutoByRatio, settings::kEdtWidth, keptWidth_);
  } else {
    width->setText(QString::fromUtf8(kChooseWidth));
    height->setText(QString::fromUtf8(kChooseHeight));
  }
}

void TMainForm::CbPreviewSourceImgClick() { form_->GbSourcePreview->setVisible(form_->CbPreviewSourceImg->isChecked()); }

void TMainForm::CbTargetImgPreviewClick() { form_->GbImgTarget->setVisible(form_->CbTargetImgPreview->isChecked()); }

}  // namespace ui

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

void TMainForm::EdtWidthExit() {
  if (form_->CbZoomAuto->isChecked()) form_->EdtHeight->setText(QString::fromUtf8(kAutoFromWidth));
}

void TMainForm::EdtHeightExit() {
  if (form_->CbZoomAuto->isChecked()) form_->EdtWidth->setText(QString::fromUtf8(kAutoFromWidth));
}

void TMainForm::CbZoomAutoClick() {
  // The same whether the click checks or unchecks the box; the options
  // table writes the box's key.
  if (IsWholeNumber(form_->EdtWidth)) {
    form_->EdtHeight->setText(QString::fromUtf8(kAutoByRatio));
  } else if (IsWholeNumber(form_->EdtHeight)) {
    form_->EdtWidth->setText(QString::fromUtf8(kAutoByRatio));
  } else {
    form_->EdtWidth->setText(QString::fromUtf8(kChooseWidth));
    form_->EdtHeight->setText(QString::fromUtf8(kChooseHeight));
  }
}

void TMainForm::CbPreviewSourceImgClick() { form_->GbSourcePreview->setVisible(form_->CbPreviewSourceImg->isChecked()); }

void TMainForm::CbTargetImgPreviewClick() { form_->GbImgTarget->setVisible(form_->CbTargetImgPreview->isChecked()); }

}  // namespace ui

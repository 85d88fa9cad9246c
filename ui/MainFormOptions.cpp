// The option controls of the main window's tool strip: what each handler
// does to the other controls and which settings key it writes.

#include <QButtonGroup>
#include <utility>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>

#include "ui/core/WindowFormats.h"
#include "engine/formats/PictureFormats.h"
#include "ui/core/WindowResize.h"
#include "ui/core/Dialogs.h"
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
  // A format box writes its key on every click.
  for (const FormatBox& f : WrittenFormatBoxes())
    connect(f.box, &QCheckBox::toggled, this, [this, &key = f.key, box = f.box] { WriteOption(key, box->isChecked()); });
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
  // Only the user's picks write the key; LoadSettings sets the row from it.
  OnUserPick(form_->LbRoateType, [this] { LbRoateTypeClick(); });
  form_->GbZoomBei->hide();

  // Every change of an option is published for a run's threads, which take
  // them when their next picture starts.
  for (const FormatBox& f : WrittenFormatBoxes()) connect(f.box, &QCheckBox::toggled, this, &TMainForm::PublishOptions);
  connect(form_->CbZoomAuto, &QCheckBox::toggled, this, &TMainForm::PublishOptions);
  connect(form_->rgZoomTypeItems, &QButtonGroup::idToggled, this, &TMainForm::PublishOptions);
  for (QLineEdit* edit : {form_->EdtWidth, form_->EdtHeight})
    connect(edit, &QLineEdit::textChanged, this, &TMainForm::PublishOptions);
  connect(form_->LbRoateType, &QListWidget::currentRowChanged, this, &TMainForm::PublishOptions);
  PublishOptions();

  ConnectPreview();
}

engine::ConversionOptions TMainForm::CurrentConversionOptions() const {
  engine::ConversionOptions o;
  o.targets = engine::FormatTicks::Nothing();
  for (const FormatBox& f : WrittenFormatBoxes()) o.targets.Set(f.format, f.box->isChecked());
  o.resize = WindowResize(ZoomTypeItemIndex(), form_->EdtWidth->text().toStdString(),
                          form_->EdtHeight->text().toStdString(), form_->CbZoomAuto->isChecked());
  o.rotation = form_->LbRoateType->currentRow();
  return o;
}

template <typename Value>
void TMainForm::WriteOption(const settings::Key& key, Value value) {
  try {
    settings::Write(Settings(), key, value);
  } catch (const std::exception& e) {
    // The standard error box, as for any failure a handler does not catch.
    // LoadSettings runs these handlers before the window is on screen and
    // swallows its failures, so nothing is shown then.
    if (isVisible()) CurrentDialogs().ShowError(e.what());
  }
}

std::vector<TMainForm::FormatBox> TMainForm::WrittenFormatBoxes() const {
  const auto boxes = FormatCheckBoxes();
  const auto keys = settings::FormatCheckBoxKeys();
  std::vector<FormatBox> found;
  for (const engine::PictureFormat& format : engine::PictureFormats())
    for (std::size_t i = 0; WindowBoxOf(format) && i < keys.size(); ++i)
      if (keys[i].name == WindowBoxOf(format)) found.push_back({format, boxes[i], keys[i]});
  return found;
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
  // The same whether the click checks or unchecks the box.
  if (IsWholeNumber(form_->EdtWidth)) {
    form_->EdtHeight->setText(QString::fromUtf8(kAutoByRatio));
  } else if (IsWholeNumber(form_->EdtHeight)) {
    form_->EdtWidth->setText(QString::fromUtf8(kAutoByRatio));
  } else {
    form_->EdtWidth->setText(QString::fromUtf8(kChooseWidth));
    form_->EdtHeight->setText(QString::fromUtf8(kChooseHeight));
  }
  WriteOption(settings::kZoomAuto, form_->CbZoomAuto->isChecked());
}

void TMainForm::LbRoateTypeClick() {
  WriteOption(settings::kLbRoateType, form_->LbRoateType->currentRow());
}

void TMainForm::CbPreviewSourceImgClick() {
  const bool on = form_->CbPreviewSourceImg->isChecked();
  form_->GbSourcePreview->setVisible(on);
  WriteOption(settings::kPreviewSourceImg, on);
}

void TMainForm::CbTargetImgPreviewClick() {
  const bool on = form_->CbTargetImgPreview->isChecked();
  form_->GbImgTarget->setVisible(on);
  WriteOption(settings::kTargetImgPreview, on);
}

}  // namespace ui

// The two batch buttons: the start/stop toggle around the runs, and the
// main window as the runs' window (and so the converter's host).

#include <QCoreApplication>
#include <QListWidget>
#include <QProgressBar>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include "imaging/MemoryReuse.h"
#include "ui/core/ConversionRuns.h"
#include "ui/TMainForm.h"
#include "ui/WindowHelpers.h"
#include "ui_MainForm.h"

namespace ui {

namespace {

// Each batch button keeps its state in its tag: 0 idle, 1 running.
const char kTag[] = "tag";
const char kStopGlyph[] = "BtnStopImgConvert";

int Tag(const QToolButton* button) { return button->property(kTag).toInt(); }
void SetTag(QToolButton* button, int tag) { button->setProperty(kTag, tag); }

}  // namespace

// The window as the runs and the converter see it. The options are read
// from the controls at every call, so a change during a run applies at once.

engine::ConversionOptions TMainForm::Options() { return CurrentConversionOptions(); }

void TMainForm::PumpEvents() { QCoreApplication::processEvents(); }

void TMainForm::Pause(int milliseconds) {
  if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void TMainForm::SetHint(const std::string& text) { form_->LblHint->setText(QString::fromStdString(text)); }

void TMainForm::SetHintDetail(const std::string& text) {
  // Rich text kept as typed: a file name holding '<' stays a name.
  const QString escaped = QString::fromStdString(text).toHtmlEscaped();
  form_->LblHint->setToolTip(
      text.empty() ? QString() : QStringLiteral("<p style='white-space:pre'>") + escaped + QStringLiteral("</p>"));
}

void TMainForm::ShowProgressBar() { form_->ProgressBar1->show(); }
void TMainForm::SetProgress(int position) { form_->ProgressBar1->setValue(position); }
void TMainForm::FocusSourceList() { form_->LbDocList->setFocus(); }
void TMainForm::FocusTargetList() { form_->LbTarget->setFocus(); }

void TMainForm::ConnectRunButtons() {
  SetTag(form_->BtnImgCovert, 0);
  SetTag(form_->BtnDirImgConvert, 0);
  connect(form_->BtnImgCovert, &QToolButton::clicked, this, &TMainForm::BtnImgCovertClick);
  connect(form_->BtnDirImgConvert, &QToolButton::clicked, this, &TMainForm::BtnDirImgConvertClick);
}

void TMainForm::BtnImgCovertClick() { ToggleRun(form_->BtnImgCovert, "BtnImgCovert", true); }

void TMainForm::BtnDirImgConvertClick() {
  ToggleRun(form_->BtnDirImgConvert, "BtnDirImgConvert", false);
}

void TMainForm::ToggleRun(QToolButton* button, const char* idleGlyph, bool selectedRun) {
  // A click on the running button arrives through the run's event pump:
  // the run stops before its next picture.
  if (Tag(button) == 1) {
    SetTag(button, 0);
    stopRequested_ = true;
    SetButtonGlyph(button, idleGlyph);
    return;
  }
  // After a stop click the run still finishes its picture: no second run
  // may start on the shared converter meanwhile.
  if (runUnderWay_ || !converter_) return;
  // Asked while the button is still idle: No leaves it so.
  if (!selectedRun && !FolderRunConfirmed(*this)) return;

  QToolButton* other = button == form_->BtnImgCovert ? form_->BtnDirImgConvert : form_->BtnImgCovert;
  SetTag(button, 1);
  stopRequested_ = false;
  SetButtonGlyph(button, kStopGlyph);
  other->setEnabled(false);
  runUnderWay_ = true;
  // Nothing typed during a run may move its folders, not even at its end,
  // when the folder run lists its output folder again from the edit.
  for (QLineEdit* edit : {form_->EdtPath, form_->EdtOutput}) edit->setReadOnly(true);
  try {
    if (selectedRun)
      ConvertSelected(*this, *converter_);
    else
      ConvertFolder(*this, *converter_);
  } catch (...) {
    // A failure outside the conversion ends the run quietly.
  }
  runUnderWay_ = false;
  for (QLineEdit* edit : {form_->EdtPath, form_->EdtOutput}) edit->setReadOnly(false);
  img::ReturnFreedMemory();
  other->setEnabled(true);
  if (Tag(button) == 1) {
    SetTag(button, 0);
    SetButtonGlyph(button, idleGlyph);
  }
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    // Once this handler has returned: nothing of the run is on the stack then.
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

bool TMainForm::StopRunBeforeClose() {
  if (!runUnderWay_) return false;
  stopRequested_ = true;
  closeAfterRun_ = true;
  return true;
}

}  // namespace ui

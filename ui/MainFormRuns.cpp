// The two batch buttons: the start/stop toggle around the runs, and the
// main window as the runs' window and the converter's host.

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QLabel>
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

// The window as the runs and the converter see it. Options are read from
// the controls at every call, so a change during a run applies at once.
class TMainForm::RunAdapter : public RunWindow {
 public:
  explicit RunAdapter(TMainForm& form) : form_(form) {}

  engine::ConversionOptions Options() override { return form_.Options(); }
  engine::PictureList* ConvertedList() override { return form_.ConvertedList(); }
  void StepProgress() override { form_.StepProgress(); }
  void PumpEvents() override { form_.PumpEvents(); }
  void Pause(int milliseconds) override { form_.Pause(milliseconds); }

  engine::PictureList& SourceList() override { return form_.SourcePictureList(); }
  engine::PictureList& TargetList() override { return form_.TargetPictureList(); }
  std::string SourcePath() override { return form_.SourcePathValue(); }
  std::string TargetPath() override { return form_.TargetPathValue(); }
  std::string SourceEditFolder() override { return form_.source_->EditFolder(); }
  std::string OutputEditFolder() override { return form_.output_->EditFolder(); }
  bool StopRequested() override { return form_.StopRequested; }
  void ClearStopRequest() override { form_.StopRequested = false; }
  void SetHint(const std::string& text) override {
    form_.form_->LblHint->setText(QString::fromStdString(text));
  }
  void SetHintDetail(const std::string& text) override {
    // Rich text kept as typed: a file name holding '<' stays a name.
    const QString escaped = QString::fromStdString(text).toHtmlEscaped();
    form_.form_->LblHint->setToolTip(
        text.empty() ? QString() : QStringLiteral("<p style='white-space:pre'>") + escaped + QStringLiteral("</p>"));
  }
  void ShowProgressBar() override { form_.form_->ProgressBar1->show(); }
  void SetProgress(int position) override { form_.form_->ProgressBar1->setValue(position); }
  void FocusSourceList() override { form_.form_->LbDocList->setFocus(); }
  void FocusTargetList() override { form_.form_->LbTarget->setFocus(); }
  void TargetListClick() override { form_.LbTargetClick(); }
  void RefreshTargetList() override { form_.RefreshTargetList(); }

 private:
  TMainForm& form_;
};

void TMainForm::ConnectRunButtons() {
  runWindow_ = std::make_shared<RunAdapter>(*this);
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
    StopRequested = true;
    SetButtonGlyph(button, idleGlyph);
    return;
  }
  // After a stop click the run still finishes its picture: no second run
  // may start on the shared converter meanwhile.
  if (runUnderWay_ || !converter_) return;

  QToolButton* other = button == form_->BtnImgCovert ? form_->BtnDirImgConvert : form_->BtnImgCovert;
  SetTag(button, 1);
  StopRequested = false;
  SetButtonGlyph(button, kStopGlyph);
  other->setEnabled(false);
  runUnderWay_ = true;
  try {
    if (selectedRun)
      ConvertSelected(*runWindow_, *converter_);
    else
      ConvertFolder(*runWindow_, *converter_);
  } catch (...) {
    // A failure outside the conversion ends the run quietly.
  }
  runUnderWay_ = false;
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
  StopRequested = true;
  closeAfterRun_ = true;
  return true;
}

}  // namespace ui

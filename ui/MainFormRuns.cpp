// The two batch buttons: the start/stop toggle around the runs, and the
// main window as the runs' window (and so the converter's host).

#include <QAction>
#include <QCheckBox>
#include <QListWidget>
#include <QProgressBar>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include "engine/threads/ThreadPriority.h"
#include "engine/threads/WorkerPool.h"
#include "platform/MemoryReuse.h"
#include "platform/SystemMemory.h"
#include "ui/OptionControls.h"
#include "ui/TMainForm.h"
#include "ui/WindowHelpers.h"
#include "text/WindowText.h"
#include "ui/core/ConversionRuns.h"
#include "ui/core/Dialogs.h"
#include "ui/core/WindowEdge.h"
#include "ui_MainForm.h"

namespace ui {

namespace {

// Each batch button keeps its state in its tag: 0 idle, 1 running.
const char kTag[] = "tag";
const char kStopGlyph[] = "BtnStopImgConvert";

int Tag(const QToolButton* button) { return button->property(kTag).toInt(); }
void SetTag(QToolButton* button, int tag) { button->setProperty(kTag, tag); }

}  // namespace

// The window as a run sees it. Options come from what the controls last
// published; everything a run tells is handed to the window's thread.

engine::ConversionOptions TMainForm::Options() {
  if (QThread::currentThread() == thread()) return CurrentConversionOptions();
  return optionControls_->Published();
}

void TMainForm::OnWindowThread(std::function<void()> f) {
  if (QThread::currentThread() == thread())
    f();
  else
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void TMainForm::TargetWritten(const std::string& path) {
  if (targetWrittenHook_) targetWrittenHook_(path);
  writtenNames_->Add(path);
}

void TMainForm::SetHint(const std::string& text) {
  OnWindowThread([this, text] { form_->LblHint->setText(QString::fromStdString(text)); });
}

void TMainForm::SetProgress(int position) {
  OnWindowThread([this, position] { form_->ProgressBar1->setValue(position); });
}

void TMainForm::ShowProgressBar() { form_->ProgressBar1->show(); }
bool TMainForm::KeepTree() { return form_->CbKeepTree->isChecked(); }

void TMainForm::OfferFailures(const std::vector<std::string>& failures) {
  failures_ = failures;
  form_->LblShowFailures->setVisible(!failures_.empty());
}

void TMainForm::ShowFailures() { CurrentDialogs().ShowList(text::kFailuresTitle, failures_); }
void TMainForm::FocusSourceList() { form_->LbDocList->setFocus(); }
void TMainForm::FocusTargetList() { form_->LbTarget->setFocus(); }

void TMainForm::ConnectRunButtons() {
  SetTag(form_->BtnImgCovert, 0);
  SetTag(form_->BtnDirImgConvert, 0);
  connect(form_->BtnImgCovert, &QToolButton::clicked, this, &TMainForm::BtnImgCovertClick);
  connect(form_->BtnDirImgConvert, &QToolButton::clicked, this, &TMainForm::BtnDirImgConvertClick);
  form_->LblShowFailures->setText(QStringLiteral("<a href=\"failures\">") + QString::fromUtf8(text::kShowFailures) +
                                  QStringLiteral("</a>"));
  form_->LblShowFailures->hide();
  connect(form_->LblShowFailures, &QLabel::linkActivated, this, &TMainForm::ShowFailures);
}

void TMainForm::BtnImgCovertClick() { ToggleRun(form_->BtnImgCovert, "BtnImgCovert", true); }

void TMainForm::BtnDirImgConvertClick() {
  ToggleRun(form_->BtnDirImgConvert, "BtnDirImgConvert", false);
}

void TMainForm::SetRunUnderWay(bool running) {
  runUnderWay_ = running;
  for (QToolButton* button : {form_->BtnImgCovert, form_->BtnDirImgConvert})
    if (button != runButton_) button->setEnabled(!running);
  for (QToolButton* button : {form_->BtnSelectDir, form_->BtnOpenDir, form_->BtnSelectSaveAsDir, form_->BtnOpenSaveAsDir})
    button->setEnabled(!running);
  // The menu items that delete, rename, or resolve the source folder; the
  // converted pictures may still be opened and painted.
  for (const char* name : {"N5", "MnDeletePic", "MnRenamePic", "PmOpenInPaint", "N4", "MnDeleteFileOP"})
    if (QAction* action = findChild<QAction*>(QString::fromLatin1(name))) action->setEnabled(!running);
  source_->Hold(running);
  output_->Hold(running);
}

void TMainForm::ToggleRun(QToolButton* button, const char* idleGlyph, bool selectedRun) {
  if (Tag(button) == 1) {
    // The run stops before its next picture; the button is idle at once.
    SetTag(button, 0);
    stopRequested_ = true;
    SetButtonGlyph(button, idleGlyph);
    return;
  }
  // After a stop click the run still finishes its picture: no second run
  // starts meanwhile.
  if (runUnderWay_) return;
  // Asked while the button is still idle: No leaves it so.
  if (!selectedRun && !FolderRunConfirmed(*this)) return;

  std::optional<Run> run;
  RunEnd notStarted = RunEnd::Completed;
  try {
    run = selectedRun ? StartSelectedRun(*this, notStarted) : StartFolderRun(*this, notStarted);
  } catch (...) {
    // A failure outside the conversion starts nothing, quietly.
  }
  if (!run) return;

  runButton_ = button;
  runIdleGlyph_ = idleGlyph;
  SetTag(button, 1);
  stopRequested_ = false;
  SetButtonGlyph(button, kStopGlyph);
  SetRunUnderWay(true);
  optionControls_->Publish();
  run_ = std::move(run);
  // The pictures in flight may hold a quarter of the memory, as imgbatch's default.
  const std::uint64_t budget = img::PhysicalMemoryBytes() / 4;
  runThread_ = std::thread([this, budget] {
    engine::LowerThisThreadPriority();
    std::optional<RunEnd> end;
    try {
      end = WorkRun(*run_, *this, budget);
    } catch (...) {
      // A failure outside the pictures ends the run quietly.
    }
    QMetaObject::invokeMethod(this, [this, end] { FinishRun(end); }, Qt::QueuedConnection);
  });
}

void TMainForm::FinishRun(std::optional<RunEnd> end) {
  if (runThread_.joinable()) runThread_.join();
  // The run's end reads the list: every name written is in it first.
  writtenNames_->Flush();
  try {
    if (end) EndRun(*this, *run_, *end);
  } catch (...) {
    SwallowAtEdge("TMainForm::FinishRun");
  }
  run_.reset();
  SetRunUnderWay(false);
  img::ReturnFreedMemory();
  if (Tag(runButton_) == 1) {
    SetTag(runButton_, 0);
    SetButtonGlyph(runButton_, runIdleGlyph_);
  }
  runButton_ = nullptr;
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    // Once this event has been handled: nothing of the run is on the stack then.
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

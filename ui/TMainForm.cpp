#include "ui/TMainForm.h"

#include <QButtonGroup>
#include <QResizeEvent>
#include <QTimer>

#include "ui/WindowHelpers.h"
#include "ui_MainForm.h"

namespace ui {

namespace {

// Widths of the folder row taken off the window's outer width.
constexpr int kEditBackgroundInset = 350;
constexpr int kFolderEditInset = 370;
// Initial widths of the tool bar and the source list beside the splitter handles.
constexpr int kToolBarWidth = 160;
constexpr int kSourceListWidth = 275;

const QColor kHintColour(255, 0, 0);

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent), form_(std::make_unique<Ui::MainForm>()) {
  form_->setupUi(this);
  form_->rgZoomTypeItems->setId(form_->rgZoomTypeItem0, 0);
  form_->rgZoomTypeItems->setId(form_->rgZoomTypeItem1, 1);
  form_->SplitterMain->setStretchFactor(0, 0);
  form_->SplitterMain->setStretchFactor(1, 0);
  form_->SplitterMain->setStretchFactor(2, 1);
  form_->SplitterMain->setSizes({kToolBarWidth, kSourceListWidth, width()});

  // Armed by the start-up sequence; fires once.
  timerFirstRun_ = new QTimer(this);
  timerFirstRun_->setObjectName(QStringLiteral("TimerFirstRun"));
  timerFirstRun_->setSingleShot(true);
  timerFirstRun_->setInterval(100);

  // Before FormCreate: LoadSettings relies on the option handlers running
  // when a stored value changes a control.
  ConnectRunButtons();
  ConnectOptionControls();
  FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate() {
  try {
    // Qt paints every widget double-buffered already: nothing to switch on.
    ApplyLook();
    LoadButtonGlyphs();
    LayoutPathRow(width());
    form_->LblHint->clear();
    form_->ProgressBar1->setValue(0);
  } catch (...) {
    // A failure leaves the rest of the creation undone, without a message.
  }
}

void TMainForm::ApplyLook() {
  const QColor background = QColor::fromRgb(kWindowBackground);
  SetBackgroundColor(this, background);
  setFont(CjkFont(QStringLiteral("新宋体"), 13));
  // Group titles in the window's own font: the default style draws them in
  // a synthetic bold that its own measure does not allow for, which clips
  // long CJK captions.
  setStyleSheet(QStringLiteral("QGroupBox::title { subcontrol-origin: margin; left: 7px; }"));

  // The scroll boxes show the window's colour through their viewports.
  for (QWidget* client : {form_->SbMainClient, form_->SbToollBarClient})
    SetBackgroundColor(client, background);
  SetBackgroundColor(form_->PnlTarnwelParent, background);

  const QFont editFont = CjkFont(QStringLiteral("宋体"), 16);
  form_->EdtPath->setFont(editFont);
  form_->EdtOutput->setFont(editFont);

  form_->LblHint->setFont(CjkFont(QStringLiteral("新宋体"), 15));
  QPalette hint = form_->LblHint->palette();
  hint.setColor(QPalette::WindowText, kHintColour);
  form_->LblHint->setPalette(hint);
  form_->LblZoomBeiNote->setPalette(hint);

  for (QWidget* list : {static_cast<QWidget*>(form_->LbDocList),
                        static_cast<QWidget*>(form_->LbTarget)}) {
    QPalette white = list->palette();
    white.setColor(QPalette::Base, Qt::white);
    list->setPalette(white);
  }
}

void TMainForm::LoadButtonGlyphs() {
  SetButtonGlyph(form_->BtnOpenDir, "BtnicOpenDir");
  SetButtonGlyph(form_->BtnSelectDir, "BtnSetSourceDir");
  SetButtonGlyph(form_->BtnImgCovert, "BtnImgCovert");
  SetButtonGlyph(form_->BtnDirImgConvert, "BtnDirImgConvert");
  SetButtonGlyph(form_->BtnOpenSaveAsDir, "BtnOpenSaveAsDir");
  SetButtonGlyph(form_->BtnSelectSaveAsDir, "BtnSelectSaveAsDir");
}

void TMainForm::LayoutPathRow(int outerWidth) {
  try {
    for (QWidget* background : {form_->ImgTopBG, form_->ImgText2})
      background->resize(outerWidth - kEditBackgroundInset, background->height());
    for (QWidget* edit : {form_->EdtPath, form_->EdtOutput})
      edit->resize(outerWidth - kFolderEditInset, edit->height());
  } catch (...) {
  }
}

int TMainForm::ZoomTypeItemIndex() const { return form_->rgZoomTypeItems->checkedId(); }

void TMainForm::SetZoomTypeItemIndex(int index) {
  if (QAbstractButton* item = form_->rgZoomTypeItems->button(index)) {
    item->setChecked(true);
    return;
  }
  // An exclusive group never unchecks its last checked button by itself.
  form_->rgZoomTypeItems->setExclusive(false);
  for (QAbstractButton* item : form_->rgZoomTypeItems->buttons()) item->setChecked(false);
  form_->rgZoomTypeItems->setExclusive(true);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TMainForm::FormResize() { LayoutPathRow(width()); }

}  // namespace ui

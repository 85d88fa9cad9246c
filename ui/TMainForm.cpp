#include "ui/TMainForm.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QGroupBox>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>

#include "engine/threads/WorkerPool.h"
#include "platform/FileIO.h"
#include "text/InterfaceText.h"
#include "text/Notices.h"
#include "ui/core/FolderPaths.h"
#include "ui/core/ProgramFolders.h"
#include "ui/core/SettingsKeys.h"
#include "ui/OptionControls.h"
#include "ui/WindowHelpers.h"
#include "ui_MainForm.h"
#include "text/WindowText.h"
#include "ui/core/WindowEdge.h"

namespace ui {

std::function<void(QWidget* host)> LinksPanelFactory;

namespace {

// Widths of the folder row taken off the window's outer width.
constexpr int kEditBackgroundInset = 350;
constexpr int kFolderEditInset = 370;
// Initial widths of the tool bar and the source list beside the splitter handles.
constexpr int kToolBarWidth = 160;
constexpr int kSourceListWidth = 275;
constexpr int kProgressStep = 10;
// Room a window manager's borders take beside a window (and four times as
// much for its title bar), before the first showing tells.
constexpr int kFrameAllowance = 8;

const QColor kHintColour(255, 0, 0);
using text::kLoadingFinished;
using text::kSettingsSetAside;

std::filesystem::path& DefaultProgramFolder() {
  static std::filesystem::path folder;
  return folder;
}

std::string FolderText(const std::filesystem::path& folder) {
  std::string text = img::PathToUtf8(folder);
  if (text.empty() || text.back() != FolderSeparator()) text += FolderSeparator();
  return text;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The tool column holds every option and the links panel in the design
// height, also on a screen of that height under a title bar: check boxes and radio items as high as their text, the rotation
// list as high as its four rows. Its scroll bar, when a lower window needs
// one, takes room beside the controls rather than over them.
void FitToolColumn(Ui::MainForm& form) {
  QWidget* client = form.SbToollBarClient;
  for (QAbstractButton* box : client->findChildren<QAbstractButton*>()) {
    if (!qobject_cast<QCheckBox*>(box) && !qobject_cast<QRadioButton*>(box)) continue;
    const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, box);
    box->setFixedHeight(std::max(indicator, box->fontMetrics().height()));
  }
  for (QLineEdit* edit : {form.EdtWidth, form.EdtHeight})
    edit->setFixedHeight(edit->fontMetrics().height() + 4);
  QListWidget* rotation = form.LbRoateType;
  rotation->setFixedHeight(rotation->sizeHintForRow(0) * rotation->count() + 2 * rotation->frameWidth());
  form.SbToollBar->setMinimumWidth(client->minimumSizeHint().width() +
                                   form.SbToollBar->verticalScrollBar()->sizeHint().width());
}

}  // namespace

TMainForm::TMainForm(QWidget* parent, const std::filesystem::path& programFolder)
    : QWidget(parent), form_(std::make_unique<Ui::MainForm>()), programFolderGiven_(programFolder) {
  form_->setupUi(this);
  form_->rgZoomTypeItems->setId(form_->rgZoomTypeItem0, 0);
  form_->rgZoomTypeItems->setId(form_->rgZoomTypeItem1, 1);
  // Outside the creation's silence: a row of the options table that binds
  // no control is a mistake to see at once.
  optionControls_ = std::make_unique<OptionControls>(*this);
  form_->SplitterMain->setStretchFactor(0, 0);
  form_->SplitterMain->setStretchFactor(1, 0);
  form_->SplitterMain->setStretchFactor(2, 1);
  form_->SplitterMain->setSizes({kToolBarWidth, kSourceListWidth, width()});

  // Armed by the creation; fires once.
  timerFirstRun_ = new QTimer(this);
  timerFirstRun_->setObjectName(QStringLiteral("TimerFirstRun"));
  timerFirstRun_->setSingleShot(true);
  timerFirstRun_->setInterval(100);
  connect(timerFirstRun_, &QTimer::timeout, this, &TMainForm::TimerFirstRunTimer);

  BuildPopupMenus();
  ConnectFolderControls();
  writtenNames_ = std::make_unique<PacedListAdditions>(output_->Pictures(), form_->LbTarget);
  ConnectListActions();
  FormCreate();
  ConnectRunButtons();
}

TMainForm::~TMainForm() {
  // A window destroyed without being closed still saves its settings.
  FormDestroy();
}

void TMainForm::UseProgramFolder(const std::filesystem::path& folder) { DefaultProgramFolder() = folder; }

QLabel* TMainForm::Hint() const { return form_->LblHint; }

void TMainForm::FormCreate() {
  try {
    // The runs' threads yield to this one: the window answers while they work.
    engine::SetWorkersBelowNormal(true);
    // Qt paints every widget double-buffered already: nothing to switch on.
    ApplyLook();
    text::ApplyInterfaceText();
    setWindowTitle(Q(text::MainWindowCaption()));
    LoadButtonGlyphs();
    ApplyCaptions();
    FitToolColumn(*form_);

    std::filesystem::path given = programFolderGiven_.empty() ? DefaultProgramFolder() : programFolderGiven_;
    const std::filesystem::path dataFolder = given.empty() ? ProgramDataFolder() : ProgramDataFolder(given);
    // No data folder: no settings file and no default folders, rather than
    // some shared place another user could have prepared.
    ProgramFolder = dataFolder.empty() ? std::string() : FolderText(dataFolder);

    if (LinksPanelFactory) LinksPanelFactory(form_->PnlTarnwelParent);
    if (!settings_) settings_ = std::make_unique<SettingsFile>(SettingsFilePath(dataFolder));
    // A file that is not a settings file keeps its bytes under another name;
    // the window goes on with defaults and writes a new file.
    if (const auto aside = settings_->SetAsideIfNotSettings())
      startNote_ = QString::fromUtf8(kSettingsSetAside).arg(Q(img::PathToUtf8(aside->filename()))).toStdString();
    if (!settings_->HasFile()) startNote_ = text::kNoUserFolderNote;
    LayoutPathRow(width());
    form_->LblHint->clear();
    timerFirstRun_->start();
    form_->ProgressBar1->setValue(0);
    ConnectOptionControls();
    LoadSettings();
  } catch (...) {
    // A failure leaves the rest of the creation undone, without a message.
  }
}

void TMainForm::ApplyCaptions() {
  form_->GbConvertFormat->setTitle(Q(text::TxtConvertFormat));
  form_->rgZoomType->setTitle(Q(text::TxtZoomType));
  form_->rgZoomTypeItem0->setText(Q(text::TxtNoZoom));
  form_->rgZoomTypeItem1->setText(Q(text::TxtZoomToSize));
  form_->GbZoomSize->setTitle(Q(text::TxtZoomSize));
  form_->LblWidth->setText(Q(text::TxtWidthShort));
  form_->LblHeight->setText(Q(text::TxtHeightShort));
  form_->GbSourceList->setTitle(Q(text::TxtSourceList));
  form_->GbTargetList->setTitle(Q(text::TxtTargetList));
}

void TMainForm::TimerFirstRunTimer() {
  try {
    timerFirstRun_->stop();
    firstRunDone_ = true;
    RefreshSourceList();
    RefreshTargetList();
    rgZoomTypeClick();
    form_->ProgressBar1->setValue(0);
    form_->LblHint->setText(startNote_.empty() ? QString::fromUtf8(kLoadingFinished) : Q(startNote_));
    for (FolderSide* side : {source_.get(), output_.get()}) {
      engine::SelectOnlyItem(&side->Pictures(), 0);
      side->TakeCurrentPicture();
    }
    // No preview until the user clicks an item.
  } catch (...) {
    SwallowAtEdge("TMainForm::TimerFirstRunTimer");
  }
}

void TMainForm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  try {
    timerFirstRun_->stop();
    // A run still under way (the window destroyed without being closed)
    // ends after its picture; nothing of it reaches the window any more.
    if (runThread_.joinable()) {
      stopRequested_ = true;
      runThread_.join();
    }
    SaveSettings();
  } catch (...) {
    SwallowAtEdge("TMainForm::FormDestroy");
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (StopRunBeforeClose()) {
    event->ignore();
    return;
  }
  FormDestroy();
  event->accept();
}

void TMainForm::LoadSettings() {
  if (!settings_) return;
  try {
    namespace s = settings;
    const SettingsFile& file = *settings_;
    const std::filesystem::path dataFolder = img::PathFromUtf8(ProgramFolder);
    form_->EdtPath->setText(Q(s::ReadText(file, s::kSourcePath, dataFolder)));
    form_->EdtOutput->setText(Q(s::ReadText(file, s::kTargetPath, dataFolder)));
    optionControls_->Load(file, dataFolder);
    // A box set to the layout's own state has not run its handler.
    CbTargetImgPreviewClick();
    CbPreviewSourceImgClick();
    FirstRun = s::ReadFlag(file, s::kFirstRun);
    // Both lists are still empty here: the clicks find no current item.
    source_->Pictures().SetCurrentIndex(s::ReadNumber(file, s::kLbDocListInd));
    LbDocListClick();
    output_->Pictures().SetCurrentIndex(s::ReadNumber(file, s::kLbTargetInd));
    LbTargetClick();
    RestorePlacement();
  } catch (...) {
    // The controls after the failure keep their layout values.
  }
}

void TMainForm::SaveSettings() {
  if (!settings_) return;
  try {
    namespace s = settings;
    SettingsFile& file = *settings_;
    optionControls_->Save(file);
    s::Write(file, s::kFirstRun, false);
    s::Write(file, s::kLbDocListInd, form_->LbDocList->currentRow());
    s::Write(file, s::kLbTargetInd, form_->LbTarget->currentRow());
    SavePlacement();
    // A folder never committed (the window closed before the first-run
    // step, or the stored folder could not be made) must not wipe the stored one.
    if (firstRunDone_) {
      for (auto [side, key] : {std::pair{source_.get(), &s::kSourcePath}, std::pair{output_.get(), &s::kTargetPath}})
        if (!side->Folder().empty()) s::Write(file, *key, side->Folder());
    }
  } catch (...) {
    // The keys after the failure keep their stored values.
  }
}

void TMainForm::StepProgressBar() {
  const int next = form_->ProgressBar1->value() + kProgressStep;
  form_->ProgressBar1->setValue(next > form_->ProgressBar1->maximum() ? 0 : next);
}

void TMainForm::ApplyLook() {
  const QColor background = QColor::fromRgb(kWindowBackground);
  SetBackgroundColor(this, background);
  setFont(CjkFont(QStringLiteral("新宋体"), 13));
  // Group titles in the window's own font: the default style draws them in
  // a synthetic bold that its own measure does not allow for, which clips
  // long CJK captions. Set on the group boxes alone: a style sheet on the
  // window would reach the windows it owns (about box, update window) and
  // stop their fonts from reaching their controls.
  // The title's line above a thin frame is all the room a title takes.
  const QString groupStyle =
      QStringLiteral("QGroupBox { margin-top: %1px; border: 1px solid #c4cad0; border-radius: 3px; }"
                     " QGroupBox::title { subcontrol-origin: margin; left: 7px; }")
          .arg(fontMetrics().height() + 1);
  for (QGroupBox* group : findChildren<QGroupBox*>()) group->setStyleSheet(groupStyle);

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
    SwallowAtEdge("TMainForm::LayoutPathRow");
  }
}

int TMainForm::ZoomTypeItemIndex() const { return form_->rgZoomTypeItems->checkedId(); }

void TMainForm::SetZoomTypeItemIndex(int index) { CheckGroupItem(*form_->rgZoomTypeItems, index); }

void TMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TMainForm::showEvent(QShowEvent* event) {
  // Once, before the first showing: a window larger than the screen's room
  // (a small screen, or one scaled up) would put 退出 and the previews off it.
  if (!fittedToScreen_ && !event->spontaneous()) {
    fittedToScreen_ = true;
    if (const QScreen* shown = screen()) {
      const QSize room = shown->availableGeometry().size() - QSize(kFrameAllowance, kFrameAllowance * 4);
      setMinimumSize(minimumSize().boundedTo(room));
      if (placedSize_.isValid()) resize(placedSize_);
      if (width() > room.width() || height() > room.height()) resize(size().boundedTo(room));
    }
  }
  QWidget::showEvent(event);
}

void TMainForm::FormResize() { LayoutPathRow(width()); }

}  // namespace ui

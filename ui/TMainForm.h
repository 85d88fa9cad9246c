#pragma once
// The main window: the layout of MainForm.ui (every control under its fixed
// object name), its creation and first-run sequence, the two folder sides
// (one FolderSide each: edit, list, current picture, preview), the list
// menus, and the settings it loads at creation and saves when it is
// destroyed. It starts and ends the batch runs and watches them: a run works
// on the engine's worker pool and reaches the window only through queued
// events (RunEvents), with the options it reads published by the controls.

#include <QSize>
#include <QWidget>
#include <filesystem>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ui/FolderSide.h"
#include "ui/PacedListAdditions.h"
#include "ui/core/ConversionRuns.h"
#include "ui/core/SettingsFile.h"
#include "ui/core/SettingsKeys.h"
#include "ui/core/WindowOptions.h"

class QButtonGroup;
class QCheckBox;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QResizeEvent;
class QTimer;
class QToolButton;

namespace Ui {
class MainForm;
}

namespace ui {

class OptionControls;
class TFrmReName;

// Builds the links panel inside its host panel; empty until the program
// installs one. Called once by every main window's creation.
extern std::function<void(QWidget* host)> LinksPanelFactory;

class TMainForm : public QWidget, public RunWindow, public FolderSideHost {
  Q_OBJECT

 public:
  // programFolder: where the program keeps its files; empty for the data
  // folder of the running executable (or the one given to UseProgramFolder).
  explicit TMainForm(QWidget* parent = nullptr, const std::filesystem::path& programFolder = {});
  ~TMainForm() override;

  // The program folder of windows created without one; empty restores the
  // executable's data folder. Window tests point it to a temporary folder.
  static void UseProgramFolder(const std::filesystem::path& folder);

  // Folder row for an outer width W: the edit backgrounds W - 350 wide, the
  // folder edits W - 370; nothing else moves.
  void LayoutPathRow(int outerWidth);

  // The chosen item of the radio group rgZoomType: 0, 1, or -1 for none.
  int ZoomTypeItemIndex() const;
  // Checks item index; any other value leaves no item checked.
  void SetZoomTypeItemIndex(int index);

  QTimer* TimerFirstRun() const { return timerFirstRun_; }

  // What the rest of the window's code works with.
  // The committed folders (SourcePath, TargetPath), ending in a separator.
  const std::string& SourcePathValue() const { return source_->Folder(); }
  const std::string& TargetPathValue() const { return output_->Folder(); }
  SettingsFile& Settings() override { return *settings_; }
  // Reads and writes the settings in another file from now on (tests).
  void UseSettingsFile(const std::filesystem::path& path) { settings_ = std::make_unique<SettingsFile>(path); }
  QLabel* Hint() const override;

  // Commit the folder edit's text, create the folder if needed, refill the
  // list. The user's ways to a refresh (Enter, leaving the edit, F5, browse,
  // delete, rename) do nothing while a run is under way; a run may refresh.
  void RefreshSourceList();
  void RefreshTargetList() override;
  // The folder browser, starting at the system root; empty when cancelled.
  std::string BrowseForFolder(const std::string& start) override;

  // ProgressBar1 one step (10) on; past the end it starts again at 0.
  void StepProgressBar() override;

  // What a run reads and tells (RunEvents), from any thread: the options as
  // the controls last published them, and events handed to the window's
  // own thread in the order they were sent.
  engine::ConversionOptions Options() override;
  void TargetWritten(const std::string& path) override;
  bool StopRequested() override { return stopRequested_; }
  void SetHint(const std::string& text) override;
  void SetProgress(int position) override;

  // Tests: called on a run's thread after each target is written, before
  // the window hears of it.
  void SetTargetWrittenHook(std::function<void(const std::string& path)> hook) { targetWrittenHook_ = std::move(hook); }

  // Folder buttons and list actions, also reached by menus, keys and clicks.
  // Those that set a folder (browse, open folder, open or paint a source
  // picture) or change a list are disabled while a run is under way
  // (SetRunUnderWay): a run keeps the folders and the list it started with.
  void BtnOpenDirClick();
  void BtnOpenSaveAsDirClick();
  void BtnSelectDirClick();
  void BtnSelectSaveAsDirClick();
  void LbDocListDblClick();
  void LbTargetDblClick();
  void PmOpenInPaintClick();
  void N3Click();
  void MnDeletePicClick();
  void MnDeleteFileOPClick();
  void MnRenamePicClick();


 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormResize();
  void FormDestroy();
  void TimerFirstRunTimer();
  void ApplyLook();
  void LoadButtonGlyphs();
  void ApplyCaptions();
  void LoadSettings();
  void SaveSettings();
  // The window's size, place and splitter (MainFormPlacement.cpp).
  void RestorePlacement();
  void SavePlacement();

  void ConnectFolderControls();
  void ConnectListActions();
  void BuildPopupMenus();
  // True when the dialog was shown; renamed gets the name the file has after it.
  bool RenameListedFile(const std::string& folder, const std::string& name,
                        const std::string& defaultExtension, std::string& renamed);

  std::unique_ptr<Ui::MainForm> form_;
  // The option controls, bound by the window's options table, and the
  // options they last published for a run's threads.
  std::unique_ptr<OptionControls> optionControls_;
  QTimer* timerFirstRun_ = nullptr;
  QMenu* PmImgList = nullptr;
  QMenu* PmOutput = nullptr;
  TFrmReName* FrmReName = nullptr;
  // The source folder (EdtPath, LbDocList, ImgSource) and the output folder
  // (EdtOutput, LbTarget, ImgOutput).
  std::unique_ptr<FolderSide> source_;
  std::unique_ptr<FolderSide> output_;

  std::string ProgramFolder;  // data folder, ending in a separator
  std::filesystem::path programFolderGiven_;
  bool FirstRun = true;
  bool firstRunDone_ = false;  // the first-run step has committed both folders

  std::unique_ptr<SettingsFile> settings_;
  // Said by the first-run step instead of "loading finished": start-up moved
  // a broken settings file aside, or found no folder to keep settings in.
  std::string startNote_;
  bool destroyed_ = false;
  bool fittedToScreen_ = false;
  QSize placedSize_;  // the size the window closed with, for its first showing

  // Option controls, previews and batch runs (MainFormOptions.cpp, MainFormPreview.cpp, MainFormRuns.cpp)
 public:
  // Zoom type click: size group shown unless "no resize", multiples group
  // hidden, "zoomtype" written; failures swallowed.
  void rgZoomTypeClick();
  // Clicks of the two picture lists: current picture, hint, preview.
  void LbDocListClick();
  void LbTargetClick();
  // Asks preview for the picture at path, decoded off the window's thread;
  // outside a run the decode's memory is handed back.
  void LoadPreview(PicturePreview& preview, const std::string& path) override;
  // True while a preview asked for is still to be drawn (tests wait for it).
  bool PreviewPending() const { return source_->PreviewPending() || output_->PreviewPending(); }
  void BtnImgCovertClick();
  void BtnDirImgConvertClick();
  // The conversion options as the controls hold them now.
  engine::ConversionOptions CurrentConversionOptions() const;
  // True from the start of a batch run until the window has taken its end.
  bool RunUnderWay() const { return runUnderWay_; }
  // Called when the window is asked to close: during a run the run is asked
  // to stop, the window closes once it has, and the answer is true (ignore
  // this close); otherwise false.
  bool StopRunBeforeClose();
  // CurrentSourcePicture, CurrentTargetPicture: full paths of the lists' current pictures.
  const std::string& CurrentSourcePictureValue() const { return source_->CurrentPicture(); }
  const std::string& CurrentTargetPictureValue() const { return output_->CurrentPicture(); }

 private:
  // What the runs see of the window (RunWindow), besides the host's duties.
  engine::PictureList& SourceList() override { return source_->Pictures(); }
  engine::PictureList& TargetList() override { return output_->Pictures(); }
  std::string SourcePath() override { return source_->Folder(); }
  std::string TargetPath() override { return output_->Folder(); }
  std::string SourceEditFolder() override { return source_->EditFolder(); }
  std::string OutputEditFolder() override { return output_->EditFolder(); }
  bool KeepTree() override;
  void ClearStopRequest() override { stopRequested_ = false; }
  void ShowProgressBar() override;
  void OfferFailures(const std::vector<std::string>& failures) override;
  void FocusSourceList() override;
  void FocusTargetList() override;
  void TargetListClick() override { LbTargetClick(); }

  void ConnectOptionControls();
  void ConnectPreview();
  void ConnectRunButtons();
  void ShowFailures();
  void EdtWidthClick();
  void EdtHeightClick();
  void EdtWidthExit();
  void EdtHeightExit();
  void CbZoomAutoClick();
  // With the keep-ratio box ticked, one size box is automatic: disabled,
  // showing hint; a number it held is kept, in the settings too, and comes
  // back when it is a box again.
  void MakeAutomatic(QLineEdit* edit, const char* hint, const settings::Key& key, QString& kept);
  void EndAutomatic(QLineEdit* edit, QString& kept);
  void CbPreviewSourceImgClick();
  void CbTargetImgPreviewClick();
  // A write of an option's key whose failure reaches the user.
  void WriteOption(const settings::Key& key, const ControlValue& value);
  // The start/stop toggle around one run.
  void ToggleRun(QToolButton* button, const char* idleGlyph, bool selectedRun);
  // The run's end, taken on the window's thread; end is empty when the run
  // failed outside its pictures.
  void FinishRun(std::optional<RunEnd> end);
  // Enables or disables, in this one place, every control that would change
  // a run under way: the other batch button, the folder edits, buttons and
  // menu items, and the sides' keys.
  void SetRunUnderWay(bool running);
  // Runs f on the window's thread: at once when called there, else queued.
  void OnWindowThread(std::function<void()> f);

  // The runs' stop flag: set by a stop click, read before each picture.
  std::atomic<bool> stopRequested_{false};
  bool runUnderWay_ = false;
  bool closeAfterRun_ = false;
  std::optional<Run> run_;
  std::thread runThread_;
  QToolButton* runButton_ = nullptr;
  const char* runIdleGlyph_ = nullptr;
  // The numbers the automatic size box held (MakeAutomatic).
  QString keptWidth_, keptHeight_;
  // The latest run's failed pictures, offered by LblShowFailures.
  std::vector<std::string> failures_;
  // The names of the targets written, into the output list in batches.
  std::unique_ptr<PacedListAdditions> writtenNames_;
  std::function<void(const std::string&)> targetWrittenHook_;
};

}  // namespace ui

#pragma once
// The main window: the layout of MainForm.ui (every control under its fixed
// object name), the window's look, the button glyphs and the resize rule of
// the folder row.

#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/ConversionOptions.h"
#include "engine/PictureConverter.h"
#include "ui/ListWidgetPictureList.h"
#include "ui/SettingsKeys.h"

class QButtonGroup;
class QCloseEvent;
class QLabel;
class QResizeEvent;
class QTimer;
class QToolButton;

namespace Ui {
class MainForm;
}

namespace ui {

class TMainForm : public QWidget {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // Folder row for an outer width W: the edit backgrounds W - 350 wide, the
  // folder edits W - 370; nothing else moves.
  void LayoutPathRow(int outerWidth);

  // The chosen item of the radio group rgZoomType: 0, 1, or -1 for none.
  int ZoomTypeItemIndex() const;
  // Checks item index; any other value leaves no item checked.
  void SetZoomTypeItemIndex(int index);

  QTimer* TimerFirstRun() const { return timerFirstRun_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FormCreate();
  void FormResize();
  void ApplyLook();
  void LoadButtonGlyphs();

  std::unique_ptr<Ui::MainForm> form_;
  QTimer* timerFirstRun_ = nullptr;
  // Option controls, previews and batch runs (MainFormOptions.cpp, MainFormPreview.cpp, MainFormRuns.cpp)
 public:
  // Zoom type click: size group shown unless "no resize", multiples group
  // hidden, "zoomtype" written; failures swallowed.
  void rgZoomTypeClick();
  // Clicks of the two picture lists: current picture, hint, preview.
  void LbDocListClick();
  void LbTargetClick();
  // Shows the picture at path in box, stretched; false when it could not
  // be decoded. The picture's real size is kept for the size label.
  bool LoadPreview(QLabel* box, const std::string& path);
  void BtnImgCovertClick();
  void BtnDirImgConvertClick();
  // The conversion options as the controls hold them now.
  engine::ConversionOptions CurrentConversionOptions() const;
  // True from the start of a batch run until its handler returns.
  bool RunUnderWay() const { return runUnderWay_; }
  // Called when the window is asked to close: during a run the run is asked
  // to stop, the window closes once it has, and the answer is true (ignore
  // this close); otherwise false.
  bool StopRunBeforeClose();
  const std::string& CurrentSourcePictureValue() const { return CurrentSourcePicture; }
  const std::string& CurrentTargetPictureValue() const { return CurrentTargetPicture; }

 private:
  class RunAdapter;

  void ConnectOptionControls();
  void ConnectPreview();
  void ConnectRunButtons();
  void CbJPGClick();
  void CBBMPClick();
  void CBJPEGClick();
  void CbPNGClick();
  void EdtWidthClick();
  void EdtHeightClick();
  void EdtWidthExit();
  void EdtHeightExit();
  void CbZoomAutoClick();
  void LbRoateTypeClick();
  void CbPreviewSourceImgClick();
  void CbTargetImgPreviewClick();
  // A write of an option handler whose failure reaches the user.
  template <typename Value>
  void WriteOption(const settings::Key& key, Value value);
  void ShowSizeLabel(QLabel* label, QLabel* box, const std::string& path, bool shown);
  // The start/stop toggle around one run.
  void ToggleRun(QToolButton* button, const char* idleGlyph, bool selectedRun);

  bool StopRequested = false;
  std::string CurrentSourcePicture;
  std::string CurrentTargetPicture;
  bool runUnderWay_ = false;
  bool closeAfterRun_ = false;
  // The converter's host; declared before the converter, which refers to it.
  std::shared_ptr<RunAdapter> runWindow_;
  std::unique_ptr<engine::PictureConverter> converter_;

  // Temporary until the window's creation steps land (MainFormSeams.cpp):
  // the committed folders, the list adapters, the settings file, the
  // progress step and the close handling of the main window.
 public:
  engine::PictureList& SourcePictureList();
  engine::PictureList& TargetPictureList();
  std::string SourcePathValue() const;
  std::string TargetPathValue() const;
  void RefreshSourceList();
  void RefreshTargetList();
  ui::SettingsFile& Settings();
  void StepProgressBar();
  void UseSettingsFile(const std::filesystem::path& path);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::string seamSourcePath_, seamTargetPath_;
  std::unique_ptr<ListWidgetPictureList> seamSourceList_, seamTargetList_;
  std::unique_ptr<ui::SettingsFile> seamSettings_;
};

}  // namespace ui

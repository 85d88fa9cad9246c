#pragma once
// The main window: the layout of MainForm.ui (every control under its fixed
// object name), the window's look, the button glyphs and the resize rule of
// the folder row.

#include <QWidget>
#include <memory>

class QButtonGroup;
class QResizeEvent;
class QTimer;

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
};

}  // namespace ui

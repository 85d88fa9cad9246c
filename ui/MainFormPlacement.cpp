// The window's size, place and splitter, kept in the settings file.
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>

#include "ui/TMainForm.h"
#include "ui/core/WindowPlacement.h"
#include "ui_MainForm.h"

namespace ui {

namespace {

constexpr int kPanes = 3;

// A frame whose title bar lies on none of the screens there are now (a
// screen unplugged, another arrangement) would open where it cannot be
// moved back.
bool TitleBarOnAScreen(const QRect& frame) {
  const QPoint titleBar(frame.x() + std::min(frame.width(), 200) / 2, frame.y() + 8);
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().contains(titleBar)) return true;
  return false;
}

}  // namespace

void TMainForm::RestorePlacement() {
  const WindowPlacement placement = ReadWindowPlacement(*settings_, kPanes);
  if (placement.rect) {
    const WindowRect& r = *placement.rect;
    // Taken at the first showing, within the screen's room then known.
    placedSize_ = QSize(r.width, r.height);
    const QRect frame(r.x, r.y, r.width, r.height);
    if (TitleBarOnAScreen(frame)) move(frame.topLeft());
  }
  if (placement.maximized) setWindowState(windowState() | Qt::WindowMaximized);
  if (!placement.paneWidths.empty())
    form_->SplitterMain->setSizes(QList<int>(placement.paneWidths.begin(), placement.paneWidths.end()));
}

void TMainForm::SavePlacement() {
  WindowPlacement placement;
  // A window never shown has no place of its own: the stored one stays.
  if (fittedToScreen_) {
    const bool maximized = isMaximized() || isFullScreen();
    // The frame's corner, as move() takes it, and the client's size.
    const QPoint frameOffset = geometry().topLeft() - pos();
    const QRect normal = maximized ? normalGeometry() : geometry();
    placement.rect = WindowRect{normal.x() - frameOffset.x(), normal.y() - frameOffset.y(), normal.width(),
                                normal.height()};
    placement.maximized = maximized;
    const QList<int> sizes = form_->SplitterMain->sizes();
    placement.paneWidths.assign(sizes.begin(), sizes.end());
  }
  WriteWindowPlacement(*settings_, placement);
}

}  // namespace ui

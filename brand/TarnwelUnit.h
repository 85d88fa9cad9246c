#pragma once
// The links panel of the main window's side bar: a picture linking to the
// maker's site, four partner links under the heading "热点推荐", and the
// three side buttons above it on the host panel (help menu, online update,
// exit). Built entirely in code inside the host panel.

#include <QFrame>
#include <QPointer>
#include <filesystem>

#include "update/TFrmUpdate.h"

class QAction;
class QLabel;
class QMenu;
class QToolButton;

namespace brand {

class TPnlTarnwel : public QFrame {
  Q_OBJECT

 public:
  // Builds the panel, its buttons on host and the links menu, and writes
  // "update.txt" into data_folder (empty: the program data folder). A
  // failure ends the construction quietly; what was built stays.
  explicit TPnlTarnwel(QWidget* host, const std::filesystem::path& data_folder = {});
  ~TPnlTarnwel() override;

  // Places the panel at x + 3 and the three buttons at x, one below the
  // other from y with gap pixels between them; the panel follows the last.
  void ArrangeSideButtons(int x, int y, int gap);

  // The click of BtnHelp: the links menu at the mouse cursor.
  void ShowLinksMenu();
  // The click of BtnOnlineUpdate: the one update window, shown without being modal.
  void OpenUpdateWindow();
  // The click of BtnExit: the main window closes as by its own exit.
  void ExitProgram();
  // A links menu item, by its "tag" property.
  void OpenMenuLink(QAction* item);
  // A partner link, by the label's "tag" property (1 to 4).
  void OpenPartnerLink(int tag);
  // A click on the picture: the maker's site.
  void OpenMakerSite();
  // Mouse over a link: green, bold, hand cursor.
  void HighlightLink(QLabel* link);
  // Mouse away: the link's normal look.
  void UnhighlightLink(QLabel* link);

  QToolButton* BtnHelp() const { return btnHelp_; }
  QToolButton* BtnOnlineUpdate() const { return btnOnlineUpdate_; }
  QToolButton* BtnExit() const { return btnExit_; }
  QMenu* LinksMenu() const { return linksMenu_; }
  QLabel* Picture() const { return picture_; }
  QLabel* Link(int tag) const;
  // Null until the first OpenUpdateWindow.
  update::TFrmUpdate* UpdateWindow() const { return updateWindow_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPanel();
  void BuildButtons(QWidget* host);
  void BuildLinksMenu();
  void WriteUpdateNote(const std::filesystem::path& data_folder);

  QLabel* picture_ = nullptr;
  QLabel* links_[4] = {};
  QToolButton* btnHelp_ = nullptr;
  QToolButton* btnOnlineUpdate_ = nullptr;
  QToolButton* btnExit_ = nullptr;
  QMenu* linksMenu_ = nullptr;
  QPointer<update::TFrmUpdate> updateWindow_;
  // Where "update.txt" went; the update window downloads beside it.
  std::filesystem::path dataFolder_;
};

}  // namespace brand

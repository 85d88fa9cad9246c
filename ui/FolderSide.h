#pragma once
// One of the main window's two folder sides: a folder edit, the picture list
// filled from the folder it commits, the list's current picture and its
// preview, and what the user does with them (commit, resolve, browse, open the
// folder, open or paint the current picture, delete the selection, a click in
// the list). The window has two, the source side and the output side; where
// they differ is named in FolderSide::Rules.

#include <QObject>
#include <string>

#include <optional>

#include "ui/ListWidgetPictureList.h"
#include "ui/PicturePreview.h"
#include "ui/core/DroppedPaths.h"
#include "ui/core/SettingsKeys.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QListWidget;

namespace ui {

class SettingsFile;

// What a folder side needs of the window it sits in.
class FolderSideHost {
 public:
  virtual ~FolderSideHost() = default;
  virtual void StepProgressBar() = 0;
  virtual QLabel* Hint() const = 0;
  // Asks preview for the picture at path (PicturePreview::Show).
  virtual void LoadPreview(PicturePreview& preview, const std::string& path) = 0;
  virtual SettingsFile& Settings() = 0;
  // The folder browser; empty when cancelled.
  virtual std::string BrowseForFolder(const std::string& start) = 0;
};

class FolderSide : public QObject {
 public:
  // What one side does differently from the other.
  struct Rules {
    // Resolving takes the edit's text and commits it as the folder (source);
    // otherwise it checks the committed folder as it is (output). A resolve
    // that commits would move a run's folder, so while the side is held
    // (Hold) the keys and double-clicks that open a picture do nothing.
    bool resolveCommitsEdit = false;
    // Opening or painting the current picture resolves the folder even when
    // the list has no picture to open; otherwise the picture is looked at first.
    bool resolveWithoutPicture = false;
    // The hint in front of the current picture's path after a click.
    const char* clickHint = "";
    // Written with the list position at every click; nullptr writes nothing.
    const settings::Key* positionKey = nullptr;
    // Written with the folder a drop commits.
    const settings::Key* folderKey = nullptr;
    // Picture files dropped here select themselves in the list of their
    // folder (source); otherwise only a dropped folder is taken.
    bool takesDroppedPictures = false;
  };
  // The side's controls, all owned by the window. The side filters their
  // events: it must be destroyed before them (a window member, not a child).
  struct Controls {
    QLineEdit* edit = nullptr;
    QListWidget* list = nullptr;
    QCheckBox* previewSwitch = nullptr;
    QLabel* preview = nullptr;
    QLabel* sizeLabel = nullptr;
  };

  FolderSide(FolderSideHost& window, const Controls& controls, const Rules& rules);

  // The folder the edit names: its text without the blanks around it,
  // normalised to end in one separator, a bare name taken as a sub-folder of
  // the committed folder; empty for a blank text or one that names no
  // folder (FolderFromText). Every path taken from a folder edit is read
  // through here.
  std::string EditFolder() const;
  // While a run is under way the side keeps its folder and its list: the
  // edit is read-only, and the keys and edit commits that would refresh,
  // delete or resolve do nothing. The window's buttons and menu items for
  // the same actions are disabled beside it by the window.
  void Hold(bool held);

  // The committed folder, ending in a separator (empty before the first commit).
  const std::string& Folder() const { return folder_; }
  // The folder the list was last filled from: what a delete or rename acts
  // on, whatever the edit holds now.
  const std::string& ListedFolder() const { return listedFolder_; }
  engine::PictureList& Pictures() { return pictures_; }
  // Full path of the list's current picture, set by a click.
  const std::string& CurrentPicture() const { return currentPicture_; }
  // The name at the list's current row; empty without one.
  std::string CurrentName() const;
  // The current picture taken from the list's current row without a click
  // (no hint, no preview); nothing when the list has none.
  void TakeCurrentPicture();

  // Commit the edit's text, create the folder if needed, refill the list.
  // A text that names no folder, or a folder that cannot be made, is said in
  // a message and commits nothing. Runs also during a run (the folder run
  // refreshes the output list).
  void Refresh();
  // Refresh after a list action (F5, a deletion, a rename): the picture
  // named keep, else the one at the current row, becomes current and
  // selected, and a hint that named a picture of this list names it, so
  // that the hint and Enter act on what is there.
  void RefreshKeeping(const std::string& keep);
  // Check the folder's drive and create the folder; empty (after a message,
  // the committed folder unchanged) when it cannot be used.
  std::string Resolve();
  // The actions below do nothing while a run is under way, except opening
  // and painting a picture of a side whose resolve leaves the folder as it is.
  void Browse();
  void OpenFolder();
  void OpenPicture();
  void OpenPictureInPaint();
  // Asks first; refreshes the list whatever was deleted.
  void DeleteSelection();
  // A click in the list: current picture, hint, preview and its size label.
  void Click();
  // True while the preview a click asked for is still to be drawn.
  bool PreviewPending() const { return preview_.Pending(); }

  // Enter and leaving the edit commit it; Enter, Delete and F5 in the list;
  // a double-click on the preview opens the picture.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A folder text that cannot be used: the message, and the edit names the
  // committed folder again (when restoreEdit and there is one), so that the
  // edit and the list never disagree; a folder run reads the edits.
  void Refuse(const std::string& message, bool restoreEdit);
  // After a commit: a bare name in the edit gives way to the folder it
  // named, so that committing the edit again makes no folder inside it.
  void ShowCommittedFolderForBareName();
  bool HandleListKey(int key);
  // A drag from a file manager over the edit, the list or the preview: what
  // a drop would do, nothing when the side is held or nothing is usable.
  std::optional<DroppedPaths> ReadDragged(const QMimeData* data) const;
  // The drop taken as if its folder were typed and committed with Enter,
  // then saved, its pictures (or the first one) selected.
  void TakeDrop(const DroppedPaths& drop);
  // The current picture in the resolved folder (for a side that resolves
  // without a picture, the folder is resolved first); empty when either is missing.
  std::string ResolvedPicturePath();
  // The selected pictures to the trash; a failed one stays silently.
  void DeleteSelectedFiles();

  FolderSideHost& window_;
  bool held_ = false;
  const Controls controls_;
  const Rules rules_;
  ListWidgetPictureList pictures_;
  std::string folder_;
  std::string listedFolder_;
  std::string currentPicture_;
  PicturePreview preview_;
  // Set while a folder is being committed: a message box taking the focus
  // must not commit the edit a second time.
  bool committing_ = false;
};

}  // namespace ui

#include "ui/FolderSide.h"

#include <algorithm>

#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "ui/core/WindowFormats.h"
#include "engine/formats/PictureFormats.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "text/InterfaceText.h"
#include "text/WindowText.h"
#include "ui/core/Dialogs.h"
#include "ui/core/FolderPaths.h"
#include "ui/core/SettingsFile.h"
#include "ui/core/Shell.h"
#include "ui/core/ShellActions.h"
#include "ui/core/WindowEdge.h"

namespace fs = std::filesystem;

namespace ui {

namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(img::PathFromUtf8(path), ec);
}

using text::kNoTrash;

std::vector<std::string> CollectSelectedItems(const QListWidget* list) {
  std::vector<std::string> names;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->isSelected()) names.push_back(list->item(i)->text().toStdString());
  return names;
}

}  // namespace

FolderSide::FolderSide(FolderSideHost& window, const Controls& controls, const Rules& rules)
    : window_(window),
      controls_(controls),
      rules_(rules),
      pictures_(controls.list),
      preview_(controls.preview, controls.sizeLabel) {
  controls_.edit->installEventFilter(this);
  controls_.list->installEventFilter(this);
  controls_.preview->installEventFilter(this);
  // Folders and pictures dragged from a file manager land on any of the three.
  controls_.list->viewport()->installEventFilter(this);
  for (QWidget* target : {static_cast<QWidget*>(controls_.edit), controls_.list->viewport(),
                          static_cast<QWidget*>(controls_.preview)})
    target->setAcceptDrops(true);
}

std::optional<DroppedPaths> FolderSide::ReadDragged(const QMimeData* data) const {
  if (held_ || !data || !data->hasUrls()) return std::nullopt;
  std::vector<std::string> paths;
  for (const QUrl& url : data->urls())
    // The system's own separators, as the folder edits show them.
    if (url.isLocalFile()) paths.push_back(QDir::toNativeSeparators(url.toLocalFile()).toStdString());
  return ReadDrop(paths, rules_.takesDroppedPictures);
}

void FolderSide::TakeDrop(const DroppedPaths& drop) {
  try {
    const std::string wanted = FolderFromText(drop.folder, folder_);
    controls_.edit->setText(QString::fromStdString(drop.folder));
    Refresh();
    if (wanted.empty() || folder_ != wanted) return;  // refused, and said why
    if (rules_.folderKey) settings::Write(window_.Settings(), *rules_.folderKey, folder_);
    QListWidget* list = controls_.list;
    list->clearSelection();
    int first = -1;
    for (const std::string& name : drop.pictures) {
      const int index = engine::FindListItem(name, &pictures_);
      if (index < 0) continue;
      list->item(index)->setSelected(true);
      if (first < 0) first = index;
    }
    if (drop.pictures.empty()) {
      engine::SelectOnlyItem(&pictures_, 0);
    } else if (first >= 0) {
      list->setCurrentRow(first, QItemSelectionModel::NoUpdate);
    }
    TakeCurrentPicture();
    if (!drop.leftOut.empty()) {
      std::string names;
      for (const std::string& path : drop.leftOut) names += (names.empty() ? "" : text::kNameSeparator) + path;
      window_.Hint()->setText(QString::fromStdString(text::FormatText(text::FmtDropLeftOut, names)));
    }
  } catch (...) {
    SwallowAtEdge("FolderSide::TakeDrop");
  }
}

std::string FolderSide::EditFolder() const {
  return FolderFromText(controls_.edit->text().toStdString(), folder_);
}

std::string FolderSide::CurrentName() const {
  const QListWidgetItem* item = controls_.list->currentItem();
  return item ? item->text().toStdString() : std::string();
}

void FolderSide::TakeCurrentPicture() {
  if (pictures_.Count() > 0 && pictures_.CurrentIndex() >= 0)
    currentPicture_ = folder_ + pictures_.Item(pictures_.CurrentIndex());
}

void FolderSide::Refresh() {
  try {
    window_.StepProgressBar();
    const std::string folder = EditFolder();
    const FolderCreation made = IsExistingFolder(folder) ? FolderCreation::Ready : CreateFolderWithParents(folder);
    if (made != FolderCreation::Ready) {
      Refuse(made == FolderCreation::Unusable ? text::TxtSelectPath : text::FormatText(text::FmtFolderNotMade, folder),
             true);
      return;
    }
    folder_ = folder;
    ShowCommittedFolderForBareName();
    pictures_.Clear();
    for (const std::string& path : ListFolderFiles(folder_)) {
      const std::string name = img::FileNamePart(path);
      if (IsPictureExtension(img::ExtensionOf(name))) pictures_.Append(name);
    }
    listedFolder_ = folder_;
    // A preview of a picture the list no longer shows (another folder, a
    // renamed or deleted file) goes with it.
    preview_.KeepListed([this](const std::string& path) {
      return img::FolderPart(path) == img::TrimBlanks(folder_) &&
             engine::FindListItem(img::FileNamePart(path), &pictures_) >= 0;
    });
  } catch (...) {
    committing_ = false;
  }
}

void FolderSide::RefreshKeeping(const std::string& keep) {
  try {
    const int row = controls_.list->currentRow();
    Refresh();
    QLabel* hint = window_.Hint();
    // A message of the action (a refused rename, files the trash kept) stays.
    const bool hintNamesPicture = hint->text().startsWith(QString::fromUtf8(rules_.clickHint));
    const int count = controls_.list->count();
    if (count == 0) {
      if (hintNamesPicture) hint->clear();
      return;
    }
    int index = keep.empty() ? -1 : engine::FindListItem(keep, &pictures_);
    if (index < 0) index = std::clamp(row, 0, count - 1);
    engine::SelectOnlyItem(&pictures_, index);
    if (hintNamesPicture)
      Click();
    else
      TakeCurrentPicture();
  } catch (...) {
    SwallowAtEdge("FolderSide::RefreshKeeping");
  }
}

std::string FolderSide::Resolve() {
  try {
    const std::string folder = rules_.resolveCommitsEdit ? EditFolder() : folder_;
    const std::string drive = DrivePart(folder);
    if (!DriveExists(drive)) {
      Refuse(text::FormatText(text::FmtDiskMissing, drive), rules_.resolveCommitsEdit);
      return {};
    }
    if (CreateFolderWithParents(folder) != FolderCreation::Ready) throw std::runtime_error("folder cannot be made");
    folder_ = folder;
    if (rules_.resolveCommitsEdit) ShowCommittedFolderForBareName();
    return folder_;
  } catch (...) {
    Refuse(text::TxtInvalidFolderName, rules_.resolveCommitsEdit);
    return {};
  }
}

void FolderSide::Refuse(const std::string& message, bool restoreEdit) {
  // A message box taking the focus must not commit the edit a second time.
  committing_ = true;
  CurrentDialogs().ShowMessage(message);
  committing_ = false;
  if (restoreEdit && !folder_.empty()) controls_.edit->setText(QString::fromStdString(folder_));
  controls_.edit->setFocus();
}

void FolderSide::ShowCommittedFolderForBareName() {
  const std::string typed = img::TrimBlanks(controls_.edit->text().toStdString());
  if (!typed.empty() && DrivePart(typed).empty()) controls_.edit->setText(QString::fromStdString(folder_));
}

void FolderSide::Hold(bool held) {
  held_ = held;
  controls_.edit->setReadOnly(held);
}

void FolderSide::Browse() {
  try {
    const std::string chosen = window_.BrowseForFolder(EditFolder());
    if (chosen.empty()) return;
    controls_.edit->setText(QString::fromStdString(chosen));
    Refresh();
  } catch (...) {
    SwallowAtEdge("FolderSide::Browse");
  }
}

void FolderSide::OpenFolder() {
  const std::string folder = Resolve();
  // The message has said why; there is no folder to show.
  if (folder.empty()) return;
  try {
    CurrentShell().OpenFolder(folder);
  } catch (...) {
    SwallowAtEdge("FolderSide::OpenFolder");
  }
}

std::string FolderSide::ResolvedPicturePath() {
  if (!rules_.resolveWithoutPicture && CurrentName().empty()) return {};
  const std::string folder = Resolve();
  const std::string name = CurrentName();
  return folder.empty() || name.empty() ? std::string() : PathInFolder(folder, name);
}

void FolderSide::OpenPicture() {
  if (rules_.resolveCommitsEdit && held_) return;
  try {
    const std::string path = ResolvedPicturePath();
    if (!path.empty()) OpenWithShell(path);
  } catch (...) {
    SwallowAtEdge("FolderSide::OpenPicture");
  }
}

void FolderSide::OpenPictureInPaint() {
  try {
    QListWidget* list = controls_.list;
    if (!list->currentItem() && list->count() > 0) list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    const std::string path = ResolvedPicturePath();
    if (!path.empty()) OpenInPaint(path);
  } catch (...) {
    SwallowAtEdge("FolderSide::OpenPictureInPaint");
  }
}

void FolderSide::DeleteSelection() {
  try {
    // The question says how many will go; with none selected there is nothing
    // to ask, and the deletion says so.
    const size_t count = CollectSelectedItems(controls_.list).size();
    if (count > 0 &&
        !CurrentDialogs().AskYesNo(text::FormatText(text::kConfirmDeleteCount, std::to_string(count)),
                                   text::TxtReminder))
      return;
    DeleteSelectedFiles();
    RefreshKeeping(CurrentName());
  } catch (...) {
    SwallowAtEdge("FolderSide::DeleteSelection");
  }
}

void FolderSide::DeleteSelectedFiles() {
  try {
    const std::vector<std::string> names = CollectSelectedItems(controls_.list);
    if (names.empty()) {
      CurrentDialogs().ShowMessage(text::TxtSelectPaths);
      controls_.list->setFocus();
      return;
    }
    // The files the list shows: those of the folder it was filled from.
    if (listedFolder_.empty()) return;
    // Without a trash the files stay where they are, and the user is told why.
    if (!CurrentShell().PrepareTrash()) {
      CurrentDialogs().ShowMessage(kNoTrash);
      return;
    }
    int kept = 0;
    for (const std::string& name : names) kept += DeleteToRecycleBin(PathInFolder(listedFolder_, name)) ? 0 : 1;
    if (kept > 0)
      window_.Hint()->setText(QString::fromStdString(text::FormatText(text::kNotTrashed, std::to_string(kept))));
  } catch (...) {
    SwallowAtEdge("FolderSide::DeleteSelectedFiles");
  }
}

void FolderSide::Click() {
  try {
    const QListWidget* list = controls_.list;
    const int index = list->currentRow();
    if (list->count() == 0 || index < 0) return;
    currentPicture_ = img::TrimBlanks(folder_) + list->item(index)->text().toStdString();
    window_.Hint()->setText(QString::fromUtf8(rules_.clickHint) + QString::fromStdString(currentPicture_));
    if (controls_.previewSwitch->isChecked() && FileExists(currentPicture_))
      window_.LoadPreview(preview_, currentPicture_);
    if (rules_.positionKey) settings::Write(window_.Settings(), *rules_.positionKey, index);
  } catch (...) {
    SwallowAtEdge("FolderSide::Click");
  }
}

bool FolderSide::HandleListKey(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      OpenPicture();
      return true;
    case Qt::Key_Delete:
      if (!held_) DeleteSelection();
      return true;
    case Qt::Key_F5:
      if (!held_) RefreshKeeping(CurrentName());
      return true;
    default:
      return false;
  }
}

bool FolderSide::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      // The pointer says before the button is released whether the drop is
      // taken. Text dragged into the edit is the edit's own business.
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!drag->mimeData() || !drag->mimeData()->hasUrls()) break;
      if (ReadDragged(drag->mimeData()))
        drag->acceptProposedAction();
      else
        drag->ignore();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!drop->mimeData() || !drop->mimeData()->hasUrls()) break;
      if (const std::optional<DroppedPaths> dropped = ReadDragged(drop->mimeData())) {
        drop->acceptProposedAction();
        TakeDrop(*dropped);
      } else {
        drop->ignore();
      }
      return true;
    }
    default:
      break;
  }
  if (watched == controls_.edit) {
    bool commit = false;
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      commit = key == Qt::Key_Return || key == Qt::Key_Enter;
    } else if (event->type() == QEvent::FocusOut) {
      // Leaving the edit for another control of the window; a message box
      // or another window taking the focus is not leaving it.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      commit = !committing_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
    }
    // The lists stay as they are while a run works through them.
    if (commit && !held_) Refresh();
    return false;
  }
  if (watched == controls_.list && event->type() == QEvent::KeyPress)
    return HandleListKey(static_cast<QKeyEvent*>(event)->key());
  if (watched == controls_.preview && event->type() == QEvent::MouseButtonDblClick) OpenPicture();
  return false;
}

}  // namespace ui

// The main window's two folders: committing the edits, the picture lists
// filled from them, the folder browser and the open-folder buttons.

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <filesystem>
#include <stdexcept>

#include "engine/PictureConverter.h"
#include "engine/TextUtil.h"
#include "imaging/FileIO.h"
#include "text/InterfaceText.h"
#include "ui/core/Dialogs.h"
#include "ui/core/FolderPaths.h"
#include "ui/core/Shell.h"
#include "ui/TMainForm.h"
#include "ui_MainForm.h"

namespace fs = std::filesystem;

namespace ui {

namespace {

// What an edit gets when its text cannot be used: the system root.
std::string SystemRoot() { return SystemRootFolder(); }

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(img::PathFromUtf8(path), ec);
}

// The message formats hold one "%s" placeholder.
std::string FormatOne(const std::string& format, const std::string& value) {
  const std::size_t at = format.find("%s");
  if (at == std::string::npos) return format;
  return format.substr(0, at) + value + format.substr(at + 2);
}

}  // namespace

std::string TMainForm::EditFolder(const QLineEdit* edit) {
  // NormalizeFolderPath keeps a blank text as it is: blanks name no folder.
  std::string folder = engine::TrimBlanks(edit->text().toStdString());
  NormalizeFolderPath(folder);
  return folder;
}

void TMainForm::ConnectFolderControls() {
  connect(form_->BtnOpenDir, &QToolButton::clicked, this, &TMainForm::BtnOpenDirClick);
  connect(form_->BtnOpenSaveAsDir, &QToolButton::clicked, this, &TMainForm::BtnOpenSaveAsDirClick);
  connect(form_->BtnSelectDir, &QToolButton::clicked, this, &TMainForm::BtnSelectDirClick);
  connect(form_->BtnSelectSaveAsDir, &QToolButton::clicked, this, &TMainForm::BtnSelectSaveAsDirClick);
  // Enter and leaving the edit commit it (event filter).
  form_->EdtPath->installEventFilter(this);
  form_->EdtOutput->installEventFilter(this);
}

void TMainForm::FillList(QListWidget* list, const std::string& folder) {
  ListWidgetPictureList names(list);
  names.Clear();
  for (const std::string& path : ListFolderFiles(folder)) {
    const std::string name = engine::FileNamePart(path);
    if (engine::IsPictureExtension(engine::ExtensionOf(name))) names.Append(name);
  }
}

void TMainForm::RefreshSourceList() {
  try {
    StepProgressBar();
    SourcePath = EditFolder(form_->EdtPath);
    if (!IsFolder(SourcePath) && CreateFolderWithParents(SourcePath) == FolderCreation::Unusable) {
      committing_ = true;
      CurrentDialogs().ShowMessage(text::TxtSelectPath);
      committing_ = false;
      form_->EdtPath->setText(QString::fromStdString(SystemRoot()));
      form_->EdtPath->setFocus();
      return;
    }
    if (!SourcePath.empty()) {
      FillList(form_->LbDocList, SourcePath);
      listedSourceFolder_ = SourcePath;
    }
  } catch (...) {
    committing_ = false;
  }
}

void TMainForm::RefreshTargetList() {
  try {
    StepProgressBar();
    TargetPath = EditFolder(form_->EdtOutput);
    if (!IsFolder(TargetPath) && CreateFolderWithParents(TargetPath) == FolderCreation::Unusable) {
      committing_ = true;
      CurrentDialogs().ShowMessage(text::TxtSelectPath);
      committing_ = false;
      form_->EdtOutput->setFocus();
      return;
    }
    if (!TargetPath.empty()) {
      FillList(form_->LbTarget, TargetPath);
      listedTargetFolder_ = TargetPath;
    }
  } catch (...) {
    committing_ = false;
  }
}

std::string TMainForm::ResolveSourceFolder() {
  try {
    SourcePath = EditFolder(form_->EdtPath);
    const std::string drive = DrivePart(SourcePath);
    if (DriveExists(drive)) {
      if (CreateFolderWithParents(SourcePath) != FolderCreation::Ready)
        throw std::runtime_error("folder cannot be made");
      return SourcePath;
    }
    CurrentDialogs().ShowMessage(FormatOne(text::FmtDiskMissing, drive));
    form_->EdtPath->setFocus();
    return {};
  } catch (...) {
    CurrentDialogs().ShowMessage(text::TxtInvalidFolderName);
    form_->EdtPath->setText(QString::fromStdString(SystemRoot()));
    form_->EdtPath->setFocus();
    return {};
  }
}

std::string TMainForm::ResolveTargetFolder() {
  try {
    const std::string drive = DrivePart(TargetPath);
    if (DriveExists(drive)) {
      if (!IsFolder(TargetPath) && CreateFolderWithParents(TargetPath) != FolderCreation::Ready)
        throw std::runtime_error("folder cannot be made");
      return TargetPath;
    }
    CurrentDialogs().ShowMessage(FormatOne(text::FmtDiskMissing, drive));
    form_->EdtOutput->setFocus();
    return {};
  } catch (...) {
    CurrentDialogs().ShowMessage(text::TxtInvalidFolderName);
    form_->EdtOutput->setFocus();
    return {};
  }
}

std::string TMainForm::BrowseForFolder(const std::string& start) {
  try {
    const std::string prompt = IsFolder(start) ? start : SystemRoot();
    return CurrentDialogs().BrowseForFolder(prompt, SystemRoot());
  } catch (...) {
    return {};
  }
}

void TMainForm::OpenInFileManager(const std::string& folder) {
  try {
    CurrentShell().OpenFolder(folder);
  } catch (...) {
  }
}

void TMainForm::BtnOpenDirClick() {
  if (RunUnderWay()) return;
  SourcePath = ResolveSourceFolder();
  OpenInFileManager(SourcePath);
}

void TMainForm::BtnOpenSaveAsDirClick() {
  if (RunUnderWay()) return;
  TargetPath = ResolveTargetFolder();
  OpenInFileManager(TargetPath);
}

void TMainForm::BtnSelectDirClick() {
  if (RunUnderWay()) return;
  try {
    const std::string chosen = BrowseForFolder(EditFolder(form_->EdtPath));
    if (chosen.empty()) return;
    SourcePath = chosen;
    form_->EdtPath->setText(QString::fromStdString(chosen));
    RefreshSourceList();
  } catch (...) {
  }
}

void TMainForm::BtnSelectSaveAsDirClick() {
  if (RunUnderWay()) return;
  try {
    const std::string chosen = BrowseForFolder(EditFolder(form_->EdtOutput));
    if (chosen.empty()) return;
    TargetPath = chosen;
    form_->EdtOutput->setText(QString::fromStdString(chosen));
    RefreshTargetList();
  } catch (...) {
  }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  const bool sourceEdit = watched == form_->EdtPath, outputEdit = watched == form_->EdtOutput;
  if (sourceEdit || outputEdit) {
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
    if (commit && !RunUnderWay()) {
      if (sourceEdit) RefreshSourceList();
      else RefreshTargetList();
    }
    return false;
  }
  if (event->type() == QEvent::KeyPress) {
    auto* list = qobject_cast<QListWidget*>(watched);
    if (list == form_->LbDocList || list == form_->LbTarget)
      return HandleListKey(list, static_cast<QKeyEvent*>(event)->key());
  }
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (watched == form_->ImgSource) LbDocListDblClick();
    if (watched == form_->ImgOutput) LbTargetDblClick();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace ui

// The actions on the two picture lists: the popup menus, the handlers that
// forward to the folder sides (FolderSide), and the source list's rename.

#include <QAction>
#include <QListWidget>
#include <QMenu>

#include "platform/PathNames.h"
#include "text/InterfaceText.h"
#include "ui/core/Dialogs.h"
#include "ui/core/FolderPaths.h"
#include "ui/TFrmReName.h"
#include "ui/TMainForm.h"
#include "ui_MainForm.h"
#include "text/WindowText.h"
#include "ui/core/WindowEdge.h"

namespace ui {

namespace {

QAction* AddItem(QMenu* menu, const char* name, const char* caption) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

// A new name must stay in its folder and name something.
bool UsableFileName(const std::string& name) {
  if (img::TrimBlanks(name).empty()) return false;
  return IsBareFileName(name);
}

}  // namespace

void TMainForm::BuildPopupMenus() {
  PmImgList = new QMenu(this);
  PmImgList->setObjectName(QStringLiteral("PmImgList"));
  connect(AddItem(PmImgList, "N1", text::kMenuOpen), &QAction::triggered, this, &TMainForm::LbDocListDblClick);
  connect(AddItem(PmImgList, "N5", text::kMenuOpenFolder), &QAction::triggered, this, &TMainForm::BtnOpenDirClick);
  connect(AddItem(PmImgList, "MnDeletePic", text::kMenuDeleteSelected), &QAction::triggered, this,
          &TMainForm::MnDeletePicClick);
  connect(AddItem(PmImgList, "MnRenamePic", text::kMenuRename), &QAction::triggered, this,
          &TMainForm::MnRenamePicClick);
  connect(AddItem(PmImgList, "PmOpenInPaint", text::kMenuOpenInPaint), &QAction::triggered, this,
          &TMainForm::PmOpenInPaintClick);

  PmOutput = new QMenu(this);
  PmOutput->setObjectName(QStringLiteral("PmOutput"));
  connect(AddItem(PmOutput, "N2", text::kMenuOpen), &QAction::triggered, this, &TMainForm::LbTargetDblClick);
  connect(AddItem(PmOutput, "N4", text::kMenuOpenFolder), &QAction::triggered, this, &TMainForm::BtnOpenSaveAsDirClick);
  connect(AddItem(PmOutput, "MnDeleteFileOP", text::kMenuDeleteSelected), &QAction::triggered, this,
          &TMainForm::MnDeleteFileOPClick);
  connect(AddItem(PmOutput, "N3", text::kMenuOpenInPaint), &QAction::triggered, this, &TMainForm::N3Click);
}

void TMainForm::ConnectListActions() {
  for (auto [list, menu] : {std::pair{form_->LbDocList, PmImgList}, std::pair{form_->LbTarget, PmOutput}}) {
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QListWidget::customContextMenuRequested, this,
            [list, menu](const QPoint& at) { menu->popup(list->viewport()->mapToGlobal(at)); });
  }
  connect(form_->LbDocList, &QListWidget::itemDoubleClicked, this, &TMainForm::LbDocListDblClick);
  connect(form_->LbTarget, &QListWidget::itemDoubleClicked, this, &TMainForm::LbTargetDblClick);
}

void TMainForm::LbDocListDblClick() { source_->OpenPicture(); }
void TMainForm::LbTargetDblClick() { output_->OpenPicture(); }
void TMainForm::PmOpenInPaintClick() { source_->OpenPictureInPaint(); }
void TMainForm::N3Click() { output_->OpenPictureInPaint(); }
void TMainForm::MnDeletePicClick() { source_->DeleteSelection(); }
void TMainForm::MnDeleteFileOPClick() { output_->DeleteSelection(); }

void TMainForm::MnRenamePicClick() {
  try {
    // The file the list shows: that of the folder it was filled from.
    const std::string name = source_->CurrentName(), folder = source_->ListedFolder();
    if (name.empty() || folder.empty()) return;
    std::string renamed = name;
    if (RenameListedFile(folder, name, ".jpg", renamed)) source_->RefreshKeeping(renamed);
  } catch (...) {
    SwallowAtEdge("TMainForm::MnRenamePicClick");
  }
}

bool TMainForm::RenameListedFile(const std::string& folder, const std::string& name,
                                 const std::string& defaultExtension, std::string& renamed) {
  try {
    if (!FrmReName) FrmReName = new TFrmReName(this);
    FrmReName->SetName(name);
    FrmReName->exec();
    const std::string chosen = FrmReName->ChosenName();
    // A name that is empty or would leave the folder is refused; the file stays.
    if (!UsableFileName(chosen)) return true;
    std::string newPath = PathInFolder(folder, chosen);
    if (img::ExtensionOf(chosen).empty()) newPath += defaultExtension;
    // A refused rename changes nothing; one to a name taken says so.
    const std::string oldPath = PathInFolder(folder, name);
    if (RenameWithoutReplacing(oldPath, newPath))
      renamed = img::FileNamePart(newPath);
    else if (newPath != oldPath)
      Hint()->setText(QString::fromStdString(text::FormatText(text::kRenameRefused, img::FileNamePart(newPath))));
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace ui

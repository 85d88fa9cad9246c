// The actions on the two picture lists: popup menus, keys, double-clicks,
// open, open in the paint program, delete to the trash, rename.

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>

#include "engine/TextUtil.h"
#include "text/InterfaceText.h"
#include "ui/core/Dialogs.h"
#include "ui/core/FolderPaths.h"
#include "ui/core/Shell.h"
#include "ui/core/ShellActions.h"
#include "ui/TFrmReName.h"
#include "ui/TMainForm.h"
#include "ui_MainForm.h"

namespace ui {

namespace {

const char kNoTrash[] = "无法建立回收站，所选图片没有删除。";

QAction* AddItem(QMenu* menu, const char* name, const char* caption) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

std::string CurrentName(QListWidget* list) {
  const QListWidgetItem* item = list->currentItem();
  return item ? item->text().toStdString() : std::string();
}

// Folder + name, with the separator between them when the folder lacks it.
std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == FolderSeparator()) return folder + name;
  return folder + FolderSeparator() + name;
}

std::vector<std::string> CollectSelectedItems(QListWidget* list) {
  std::vector<std::string> names;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->isSelected()) names.push_back(list->item(i)->text().toStdString());
  return names;
}

// A new name must stay in its folder and name something.
bool UsableFileName(const std::string& name) {
  if (engine::TrimBlanks(name).empty()) return false;
  return IsBareFileName(name);
}

}  // namespace

void TMainForm::BuildPopupMenus() {
  PmImgList = new QMenu(this);
  PmImgList->setObjectName(QStringLiteral("PmImgList"));
  connect(AddItem(PmImgList, "N1", "默认打开"), &QAction::triggered, this, &TMainForm::LbDocListDblClick);
  connect(AddItem(PmImgList, "N5", "打开所在文件夹"), &QAction::triggered, this, &TMainForm::BtnOpenDirClick);
  connect(AddItem(PmImgList, "MnDeletePic", "删除所选图片"), &QAction::triggered, this,
          &TMainForm::MnDeletePicClick);
  connect(AddItem(PmImgList, "MnRenamePic", " 重命名图片"), &QAction::triggered, this,
          &TMainForm::MnRenamePicClick);
  connect(AddItem(PmImgList, "PmOpenInPaint", "在画图中打开"), &QAction::triggered, this,
          &TMainForm::PmOpenInPaintClick);

  PmOutput = new QMenu(this);
  PmOutput->setObjectName(QStringLiteral("PmOutput"));
  connect(AddItem(PmOutput, "N2", "默认打开"), &QAction::triggered, this, &TMainForm::LbTargetDblClick);
  connect(AddItem(PmOutput, "N4", "打开所在文件夹"), &QAction::triggered, this, &TMainForm::BtnOpenSaveAsDirClick);
  connect(AddItem(PmOutput, "MnDeleteFileOP", "删除所选图片"), &QAction::triggered, this,
          &TMainForm::MnDeleteFileOPClick);
  connect(AddItem(PmOutput, "N3", "在画图中打开"), &QAction::triggered, this, &TMainForm::N3Click);
}

void TMainForm::ConnectListActions() {
  for (auto [list, menu] : {std::pair{form_->LbDocList, PmImgList}, std::pair{form_->LbTarget, PmOutput}}) {
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QListWidget::customContextMenuRequested, this,
            [list, menu](const QPoint& at) { menu->popup(list->viewport()->mapToGlobal(at)); });
    list->installEventFilter(this);
  }
  connect(form_->LbDocList, &QListWidget::itemDoubleClicked, this, &TMainForm::LbDocListDblClick);
  connect(form_->LbTarget, &QListWidget::itemDoubleClicked, this, &TMainForm::LbTargetDblClick);
  form_->ImgSource->installEventFilter(this);
  form_->ImgOutput->installEventFilter(this);
}

bool TMainForm::HandleListKey(QListWidget* list, int key) {
  const bool source = list == form_->LbDocList;
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      source ? LbDocListDblClick() : LbTargetDblClick();
      return true;
    case Qt::Key_Delete:
      source ? MnDeletePicClick() : MnDeleteFileOPClick();
      return true;
    case Qt::Key_F5:
      if (RunUnderWay()) return true;
      source ? RefreshSourceList() : RefreshTargetList();
      return true;
    default:
      return false;
  }
}

void TMainForm::OpenListed(QListWidget* list, const std::string& folder) {
  const std::string name = CurrentName(list);
  if (folder.empty() || name.empty()) return;
  OpenWithShell(JoinPath(folder, name));
}

void TMainForm::LbDocListDblClick() {
  if (RunUnderWay()) return;
  try {
    const std::string folder = ResolveSourceFolder();
    OpenListed(form_->LbDocList, folder);
  } catch (...) {
  }
}

void TMainForm::LbTargetDblClick() {
  try {
    if (form_->LbTarget->count() == 0 || !form_->LbTarget->currentItem()) return;
    OpenListed(form_->LbTarget, ResolveTargetFolder());
  } catch (...) {
  }
}

void TMainForm::PmOpenInPaintClick() {
  if (RunUnderWay()) return;
  try {
    if (!form_->LbDocList->currentItem() && form_->LbDocList->count() > 0)
      form_->LbDocList->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    const std::string folder = ResolveSourceFolder();
    const std::string name = CurrentName(form_->LbDocList);
    if (!folder.empty() && !name.empty()) OpenInPaint(JoinPath(folder, name));
  } catch (...) {
  }
}

void TMainForm::N3Click() {
  try {
    if (!form_->LbTarget->currentItem() && form_->LbTarget->count() > 0)
      form_->LbTarget->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    const std::string name = CurrentName(form_->LbTarget);
    if (name.empty()) return;
    const std::string folder = ResolveTargetFolder();
    if (!folder.empty()) OpenInPaint(JoinPath(folder, name));
  } catch (...) {
  }
}

void TMainForm::MnDeletePicClick() {
  if (RunUnderWay()) return;
  try {
    if (!CurrentDialogs().AskYesNo(text::TxtConfirmDelete, text::TxtReminder)) return;
    DeleteSelectedFiles(form_->LbDocList, listedSourceFolder_);
    RefreshSourceList();
  } catch (...) {
  }
}

void TMainForm::MnDeleteFileOPClick() {
  if (RunUnderWay()) return;
  try {
    if (!CurrentDialogs().AskYesNo(text::TxtConfirmDelete, text::TxtReminder)) return;
    DeleteSelectedFiles(form_->LbTarget, listedTargetFolder_);
    RefreshTargetList();
  } catch (...) {
  }
}

void TMainForm::DeleteSelectedFiles(QListWidget* list, const std::string& folder) {
  try {
    const std::vector<std::string> names = CollectSelectedItems(list);
    if (names.empty()) {
      CurrentDialogs().ShowMessage(text::TxtSelectPaths);
      list->setFocus();
      return;
    }
    // The files the list shows: those of the folder it was filled from.
    if (folder.empty()) return;
    // Without a trash the files stay where they are, and the user is told why.
    if (!CurrentShell().PrepareTrash()) {
      CurrentDialogs().ShowMessage(kNoTrash);
      return;
    }
    for (const std::string& name : names) DeleteToRecycleBin(JoinPath(folder, name));
  } catch (...) {
  }
}

void TMainForm::MnRenamePicClick() {
  if (RunUnderWay()) return;
  try {
    const std::string name = CurrentName(form_->LbDocList);
    if (name.empty() || listedSourceFolder_.empty()) return;
    if (RenameListedFile(listedSourceFolder_, name, ".jpg")) RefreshSourceList();
  } catch (...) {
  }
}

bool TMainForm::RenameListedFile(const std::string& folder, const std::string& name,
                                 const std::string& defaultExtension) {
  try {
    if (!FrmReName) FrmReName = new TFrmReName(this);
    FrmReName->SetName(name);
    FrmReName->exec();
    const std::string chosen = FrmReName->ChosenName();
    // A name that is empty or would leave the folder is refused; the file stays.
    if (!UsableFileName(chosen)) return true;
    std::string newPath = JoinPath(folder, chosen);
    if (engine::ExtensionOf(chosen).empty()) newPath += defaultExtension;
    // Refused renames (name taken, unchanged) change nothing.
    RenameWithoutReplacing(JoinPath(folder, name), newPath);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace ui

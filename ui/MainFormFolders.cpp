// The main window's two folders: its two FolderSides, what differs between
// them, the folder buttons, and the handlers that forward to the sides.

#include <QToolButton>

#include "ui/core/Dialogs.h"
#include "ui/core/FolderPaths.h"
#include "ui/TMainForm.h"
#include "ui_MainForm.h"
#include "text/WindowText.h"

namespace ui {

namespace {

// The source folder is what the user types or picks: resolving it commits
// the edit, even before a picture is opened, and a text that cannot be used
// makes way for the committed folder. The output folder is the committed
// one: it keeps its edit's text, and a picture is looked at before the folder.
constexpr FolderSide::Rules kSourceRules{
    .resolveCommitsEdit = true,
    .resolveWithoutPicture = true,
    .clickHint = text::kSourcePictureHint,
    .positionKey = &settings::kLbDocListInd,
    .folderKey = &settings::kSourcePath,
    .takesDroppedPictures = true,
};
constexpr FolderSide::Rules kOutputRules{
    .resolveCommitsEdit = false,
    .resolveWithoutPicture = false,
    .clickHint = text::kTargetPictureHint,
    .positionKey = nullptr,
    .folderKey = &settings::kTargetPath,
    .takesDroppedPictures = false,
};

}  // namespace

void TMainForm::ConnectFolderControls() {
  source_ = std::make_unique<FolderSide>(
      *this, FolderSide::Controls{form_->EdtPath, form_->LbDocList, form_->CbPreviewSourceImg, form_->ImgSource,
                                  form_->LblWHSource},
      kSourceRules);
  output_ = std::make_unique<FolderSide>(
      *this, FolderSide::Controls{form_->EdtOutput, form_->LbTarget, form_->CbTargetImgPreview, form_->ImgOutput,
                                  form_->LblWHTarget},
      kOutputRules);
  connect(form_->BtnOpenDir, &QToolButton::clicked, this, &TMainForm::BtnOpenDirClick);
  connect(form_->BtnOpenSaveAsDir, &QToolButton::clicked, this, &TMainForm::BtnOpenSaveAsDirClick);
  connect(form_->BtnSelectDir, &QToolButton::clicked, this, &TMainForm::BtnSelectDirClick);
  connect(form_->BtnSelectSaveAsDir, &QToolButton::clicked, this, &TMainForm::BtnSelectSaveAsDirClick);
}

void TMainForm::RefreshSourceList() { source_->Refresh(); }
void TMainForm::RefreshTargetList() { output_->Refresh(); }
void TMainForm::BtnOpenDirClick() { source_->OpenFolder(); }
void TMainForm::BtnOpenSaveAsDirClick() { output_->OpenFolder(); }
void TMainForm::BtnSelectDirClick() { source_->Browse(); }
void TMainForm::BtnSelectSaveAsDirClick() { output_->Browse(); }

std::string TMainForm::BrowseForFolder(const std::string& start) {
  try {
    // The browser starts at the system root; an existing start folder is its prompt.
    const std::string root = SystemRootFolder();
    return CurrentDialogs().BrowseForFolder(IsExistingFolder(start) ? start : root, root);
  } catch (...) {
    return {};
  }
}

}  // namespace ui

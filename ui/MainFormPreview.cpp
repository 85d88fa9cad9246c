// The two picture lists' clicks and the previews: the clicked picture
// becomes its list's current picture and, with the preview on, is drawn
// into the list's preview box with its name and size (FolderSide), once
// decoded off the window's thread (PicturePreview).

#include "ui/PicturePreview.h"
#include "ui/TMainForm.h"
#include "ui/UserInputHooks.h"
#include "ui_MainForm.h"

namespace ui {

void TMainForm::ConnectPreview() {
  OnUserPick(form_->LbDocList, [this] { LbDocListClick(); });
  OnUserPick(form_->LbTarget, [this] { LbTargetClick(); });
}

void TMainForm::LoadPreview(PicturePreview& preview, const std::string& path) {
  // The full-size decode is gone once shown: outside a run, whose next
  // picture reuses it, its memory goes back.
  preview.Show(path, !runUnderWay_);
}

void TMainForm::LbDocListClick() { source_->Click(); }
void TMainForm::LbTargetClick() { output_->Click(); }

}  // namespace ui

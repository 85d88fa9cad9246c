// The two picture lists' clicks and the previews: the clicked picture
// becomes its list's current picture and, with the preview on, is drawn
// into the list's preview box with its name and size (FolderSide).

#include "platform/MemoryReuse.h"
#include "ui/PicturePreview.h"
#include "ui/TMainForm.h"
#include "ui/UserInputHooks.h"
#include "ui_MainForm.h"

namespace ui {

void TMainForm::ConnectPreview() {
  OnUserPick(form_->LbDocList, [this] { LbDocListClick(); });
  OnUserPick(form_->LbTarget, [this] { LbTargetClick(); });
}

bool TMainForm::LoadPreview(QLabel* box, const std::string& path) {
  // The full-size decode is gone once shown: outside a run, whose next
  // picture reuses it, hand its memory back.
  struct HandBack {
    bool inRun;
    ~HandBack() {
      if (!inRun) img::ReturnFreedMemory();
    }
  } handBack{runUnderWay_};
  return ShowPicturePreview(box, path);
}

void TMainForm::LbDocListClick() { source_->Click(); }
void TMainForm::LbTargetClick() { output_->Click(); }

}  // namespace ui

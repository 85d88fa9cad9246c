// The list clicks and their previews.

#include "ui/TMainForm.h"

namespace ui {

// Filled in by the previews.
void TMainForm::LbDocListClick() {}

// Filled in by the previews.
void TMainForm::LbTargetClick() {}

}  // namespace ui

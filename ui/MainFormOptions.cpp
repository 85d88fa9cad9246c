// The option controls' handlers.

#include "ui/TMainForm.h"

namespace ui {

// Filled in by the option controls.
void TMainForm::ConnectOptionControls() {}

// Filled in by the option controls.
void TMainForm::rgZoomTypeClick() {}

}  // namespace ui

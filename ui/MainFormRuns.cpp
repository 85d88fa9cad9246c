// The batch run buttons.

#include "ui/TMainForm.h"

namespace ui {

// Filled in by the run buttons.
void TMainForm::ConnectRunButtons() {}

// Filled in by the run buttons.
bool TMainForm::StopRunBeforeClose() { return false; }

// Filled in by the run buttons.
bool TMainForm::RunUnderWay() const { return false; }

}  // namespace ui

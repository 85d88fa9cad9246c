// Windows: Paint, and the recycle bin, which is always there.

#include "ui/QtShell.h"

namespace ui {

QStringList PaintProgramCandidates() { return {QStringLiteral("mspaint")}; }

bool QtShell::PrepareTrash() { return true; }

}  // namespace ui

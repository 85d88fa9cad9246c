#include "brand/ShellLinks.h"

#include "ui/FolderPaths.h"
#include "ui/Shell.h"

namespace brand {

void OpenWebAddress(const std::string& address) {
  if (address.empty()) return;
  try {
    ui::CurrentShell().OpenDocument(ui::CompleteWebAddress(address));
  } catch (...) {
    // A shell that cannot open the address leaves nothing to report.
  }
}

void RunProgram(const std::string& target) {
  // An entry the language table left empty must not start "nothing" as a program.
  if (target.empty()) return;
  try {
    if (target.find("://") != std::string::npos)
      ui::CurrentShell().OpenDocument(target);
    else
      ui::CurrentShell().StartProgram(target);
  } catch (...) {
  }
}

}  // namespace brand

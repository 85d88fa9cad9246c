#include "ui/core/Shell.h"

namespace ui {

namespace {

// Without a desktop nothing is opened or started.
class NoShell : public Shell {
 public:
  void OpenDocument(const std::string&) override {}
  void OpenFolder(const std::string&) override {}
  bool StartProgram(const std::string&, bool) override { return false; }
  void OpenInPaint(const std::string&) override {}
  bool MoveToTrash(const std::string&) override { return false; }
};

NoShell no_shell;
Shell* current_shell = &no_shell;

}  // namespace

Shell& CurrentShell() { return *current_shell; }

Shell* InstallShell(Shell* s) {
  Shell* previous = current_shell;
  current_shell = s ? s : &no_shell;
  return previous;
}

}  // namespace ui

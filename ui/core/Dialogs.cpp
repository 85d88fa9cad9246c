#include "ui/core/Dialogs.h"

#include <cstdio>

namespace ui {

namespace {

// Without a window: messages go to standard error, questions get No.
class ConsoleDialogs : public Dialogs {
 public:
  void ShowMessage(const std::string& text, int, int) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void ShowList(const std::string& title, const std::vector<std::string>& entries) override {
    std::fprintf(stderr, "%s\n", title.c_str());
    for (const std::string& entry : entries) std::fprintf(stderr, "%s\n", entry.c_str());
  }
  std::string BrowseForFolder(const std::string&, const std::string&) override { return {}; }
};

ConsoleDialogs console_dialogs;
Dialogs* current_dialogs = &console_dialogs;

}  // namespace

Dialogs& CurrentDialogs() { return *current_dialogs; }

Dialogs* InstallDialogs(Dialogs* d) {
  Dialogs* previous = current_dialogs;
  current_dialogs = d ? d : &console_dialogs;
  return previous;
}

}  // namespace ui

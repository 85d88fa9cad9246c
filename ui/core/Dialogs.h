#pragma once
// Every message box, Yes/No question and folder browser of the program goes
// through this interface, so tests install a fake that records and answers.
// Plain C++: the Qt implementation lives in QtDialogs.

#include <string>
#include <vector>

namespace ui {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A plain message box with one OK button. x/y < 0: centred on the owner.
  virtual void ShowMessage(const std::string& text, int x = -1, int y = -1) = 0;
  // The program's standard error box (a refused settings write, for example).
  virtual void ShowError(const std::string& text) = 0;
  // Yes/No question with a title; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;
  // A box listing entries (each of one or more lines) under a title, with
  // one OK button.
  virtual void ShowList(const std::string& title, const std::vector<std::string>& entries) = 0;
  // The folder browser; the chosen folder, or an empty text when cancelled.
  virtual std::string BrowseForFolder(const std::string& prompt, const std::string& start) = 0;
};

// The dialogs in use; the window program installs the Qt ones at start.
Dialogs& CurrentDialogs();
// Installs d (not owned) and returns the previous one; nullptr restores the default.
Dialogs* InstallDialogs(Dialogs* d);

}  // namespace ui

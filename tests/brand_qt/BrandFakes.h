#pragma once
// Fakes of the shell and dialogs for the links panel tests: every call is
// recorded, nothing is opened or shown.

#include <ostream>
#include <string>
#include <vector>

#include "ui/core/Dialogs.h"
#include "ui/core/Shell.h"

namespace brandtest {

struct ShellCall {
  std::string kind;  // "open", "folder", "start", "paint", "trash"
  std::string target;
  bool operator==(const ShellCall&) const = default;
};

inline void PrintTo(const ShellCall& c, std::ostream* os) { *os << c.kind << " " << c.target; }

class RecordingShell : public ui::Shell {
 public:
  void OpenDocument(const std::string& target) override { calls.push_back({"open", target}); }
  void OpenFolder(const std::string& folder) override { calls.push_back({"folder", folder}); }
  bool StartProgram(const std::string& program, bool) override {
    calls.push_back({"start", program});
    return true;
  }
  void OpenInPaint(const std::string& file) override { calls.push_back({"paint", file}); }
  bool MoveToTrash(const std::string& file) override {
    calls.push_back({"trash", file});
    return false;
  }
  std::vector<ShellCall> calls;
};

class SilentDialogs : public ui::Dialogs {
 public:
  void ShowMessage(const std::string& text, int, int) override { messages.push_back(text); }
  void ShowError(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  std::string BrowseForFolder(const std::string&, const std::string&) override { return {}; }
  std::vector<std::string> messages;
};

}  // namespace brandtest

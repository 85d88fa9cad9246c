#pragma once
// The shell every test installs: each call is recorded, in order and by
// kind, and nothing is opened or started. Trashed files go into a folder
// of the test's when it names one, so tests see them gone and kept.

#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "ui/core/Shell.h"

namespace testsupport {

struct ShellCall {
  std::string kind;  // "open", "folder", "start", "paint", "trash"
  std::string target;
  bool operator==(const ShellCall&) const = default;
};

inline void PrintTo(const ShellCall& c, std::ostream* os) { *os << c.kind << " " << c.target; }

class RecordingShell : public ui::Shell {
 public:
  void OpenDocument(const std::string& target) override {
    calls.push_back({"open", target});
    opened.push_back(target);
  }
  void OpenFolder(const std::string& folder) override {
    calls.push_back({"folder", folder});
    folders.push_back(folder);
  }
  bool StartProgram(const std::string& program, bool hidden) override {
    calls.push_back({"start", program});
    started.push_back({program, hidden});
    return startSucceeds;
  }
  void OpenInPaint(const std::string& file) override {
    calls.push_back({"paint", file});
    painted.push_back(file);
  }
  bool MoveToTrash(const std::string& file) override {
    calls.push_back({"trash", file});
    trashed.push_back(file);
    if (trash.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(trash, ec);
    std::filesystem::rename(file, trash / std::filesystem::path(file).filename(), ec);
    return !ec;
  }

  std::vector<ShellCall> calls;  // every call in order
  std::vector<std::string> opened, folders, painted, trashed;
  std::vector<std::pair<std::string, bool>> started;  // program, hidden
  bool startSucceeds = true;
  // Where trashed files go; empty: none can be trashed and each stays.
  std::filesystem::path trash;
};

}  // namespace testsupport

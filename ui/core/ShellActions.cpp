#include "ui/core/ShellActions.h"

#include <filesystem>

#include "platform/FileIO.h"
#include "ui/core/FolderPaths.h"
#include "ui/core/Shell.h"
#include "ui/core/WindowEdge.h"

namespace fs = std::filesystem;

namespace ui {

namespace {

bool IsFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(img::PathFromUtf8(path), ec);
}

}  // namespace

void OpenWithShell(const std::string& target) {
  try {
    const std::string open = ShellOpenTarget(target);
    if (!open.empty()) CurrentShell().OpenDocument(open);
  } catch (...) {
    SwallowAtEdge("OpenWithShell");
  }
}

void OpenWebAddress(const std::string& address) {
  // An entry a language table left empty opens nothing.
  if (address.empty()) return;
  try {
    CurrentShell().OpenDocument(CompleteWebAddress(address));
  } catch (...) {
    SwallowAtEdge("OpenWebAddress");
  }
}

void RunProgram(const std::string& program) {
  // An empty entry must not start "nothing" as a program.
  if (program.empty()) return;
  try {
    if (program.find("://") != std::string::npos)
      CurrentShell().OpenDocument(program);  // an address: its associated program
    else
      CurrentShell().StartProgram(program);
  } catch (...) {
    SwallowAtEdge("RunProgram");
  }
}

void OpenInPaint(const std::string& file) {
  try {
    if (IsFile(file)) CurrentShell().OpenInPaint(file);
  } catch (...) {
    SwallowAtEdge("OpenInPaint");
  }
}

bool DeleteToRecycleBin(const std::string& file) {
  try {
    if (!IsFile(file)) return false;
    std::error_code ec;
    const fs::path full = fs::absolute(img::PathFromUtf8(file), ec);
    return CurrentShell().MoveToTrash(ec ? file : img::PathToUtf8(full));
  } catch (...) {
    return false;
  }
}

}  // namespace ui

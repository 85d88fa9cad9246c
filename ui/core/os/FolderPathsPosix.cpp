// POSIX: "/" is the one drive and the root; only '/' leaves a folder.

#include "ui/core/FolderPaths.h"

namespace ui {

std::string DrivePart(const std::string& path) {
  return !path.empty() && path[0] == '/' ? "/" : std::string();
}

bool DriveExists(const std::string& drive) { return drive == "/"; }

std::string SystemRootFolder() { return "/"; }

bool IsBareFileName(const std::string& name) { return name.find('/') == std::string::npos; }

}  // namespace ui

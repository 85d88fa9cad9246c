// POSIX: "/" is the one drive and the root; only '/' leaves a folder.

#include <filesystem>

#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "ui/core/FolderPaths.h"

namespace ui {

std::string DrivePart(const std::string& path) {
  return !path.empty() && path[0] == '/' ? "/" : std::string();
}

bool DriveExists(const std::string& drive) { return drive == "/"; }

std::string SystemRootFolder() { return "/"; }

bool IsRootFolder(const std::string& folder) {
  const std::filesystem::path path = img::PathFromUtf8(img::TrimBlanks(folder));
  if (!path.is_absolute()) return false;
  if (!path.lexically_normal().has_relative_path()) return true;
  // Another name of the root (a link to it, /proc/self/root) walks the same disk.
  return img::IsSameFile(path, "/");
}

bool IsBareFileName(const std::string& name) { return name.find('/') == std::string::npos; }

}  // namespace ui

// Windows: drive letters and \\server\share, the logical drive list, "C:\"
// as the root; '\', '/' and the drive colon all leave a folder.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cctype>

#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "ui/core/FolderPaths.h"

namespace ui {

std::string DrivePart(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.rfind("\\\\", 0) == 0) {
    std::size_t server_end = path.find('\\', 2);
    if (server_end == std::string::npos) return path;
    std::size_t share_end = path.find('\\', server_end + 1);
    return path.substr(0, share_end);
  }
  return {};
}

bool DriveExists(const std::string& drive) {
  if (drive.size() != 2 || drive[1] != ':') return false;
  DWORD mask = GetLogicalDrives();
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
  return letter >= 'A' && letter <= 'Z' && (mask & (1u << (letter - 'A')));
}

std::string SystemRootFolder() { return "C:\\"; }

bool IsRootFolder(const std::string& folder) {
  const std::string text = img::TrimBlanks(folder);
  if (text.empty()) return false;
  // "C:\x\.." is "C:\" too; what is left without the closing separators
  // is the drive itself ("C:", "\\server\share") only for a root.
  std::string path = img::PathToUtf8(img::PathFromUtf8(text).lexically_normal());
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return !path.empty() && path == DrivePart(path);
}

bool IsBareFileName(const std::string& name) { return name.find_first_of("\\/:") == std::string::npos; }

}  // namespace ui

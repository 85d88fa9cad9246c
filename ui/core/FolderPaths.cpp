#include "ui/core/FolderPaths.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "engine/FolderWalk.h"
#include "engine/TextUtil.h"
#include "imaging/FileIO.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace ui {

char FolderSeparator() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

std::string SystemRootFolder() {
#ifdef _WIN32
  return "C:\\";
#else
  return "/";
#endif
}

bool IsExistingFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(img::PathFromUtf8(path), ec);
}

std::string PathInFolder(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == FolderSeparator()) return folder + name;
  return folder + FolderSeparator() + name;
}

namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, from.size(), from) == 0) {
      out += to;
      i += from.size();
    } else {
      out += text[i++];
    }
  }
  text = std::move(out);
}

}  // namespace

void NormalizeFolderPath(std::string& path) {
  std::string trimmed = engine::TrimBlanks(path);
  if (trimmed.empty()) return;
  const std::string one(1, FolderSeparator());
  trimmed += one;
  ReplaceAll(trimmed, one + one + one, one);
  ReplaceAll(trimmed, one + one, one);
  path = std::move(trimmed);
}

std::string DrivePart(const std::string& path) {
#ifdef _WIN32
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.rfind("\\\\", 0) == 0) {
    std::size_t server_end = path.find('\\', 2);
    if (server_end == std::string::npos) return path;
    std::size_t share_end = path.find('\\', server_end + 1);
    return path.substr(0, share_end);
  }
  return {};
#else
  return !path.empty() && path[0] == '/' ? "/" : std::string();
#endif
}

bool DriveExists(const std::string& drive) {
#ifdef _WIN32
  if (drive.size() != 2 || drive[1] != ':') return false;
  DWORD mask = GetLogicalDrives();
  char letter = static_cast<char>(toupper(static_cast<unsigned char>(drive[0])));
  return letter >= 'A' && letter <= 'Z' && (mask & (1u << (letter - 'A')));
#else
  return drive == "/";
#endif
}

FolderCreation CreateFolderWithParents(const std::string& folder) {
  const std::string trimmed = engine::TrimBlanks(folder);
  if (trimmed.empty() || DrivePart(trimmed).empty()) return FolderCreation::Unusable;
  const fs::path path = img::PathFromUtf8(trimmed);
  std::error_code ec;
  if (fs::is_directory(path, ec)) return FolderCreation::Ready;
  if (!DriveExists(DrivePart(trimmed))) return FolderCreation::Failed;
  fs::create_directories(path, ec);
  return fs::is_directory(path, ec) ? FolderCreation::Ready : FolderCreation::Failed;
}

std::vector<std::string> ListFolderFiles(const std::string& folder) {
  std::string prefix = folder;
  // '/' ends a folder on Windows too.
  if (!prefix.empty() && prefix.back() != FolderSeparator() && prefix.back() != '/')
    prefix += FolderSeparator();
  std::vector<std::string> paths;
  for (const engine::FolderEntry& entry : engine::ReadFolder(folder))
    if (entry.isFile) paths.push_back(prefix + entry.name);
  return paths;
}

bool RenameWithoutReplacing(const std::string& oldPath, const std::string& newPath) {
  const std::string new_name = engine::FileNamePart(newPath);
  if (new_name.empty() || new_name == "." || new_name == ".." || oldPath == newPath) return false;
  const fs::path from = img::PathFromUtf8(oldPath), to = img::PathFromUtf8(newPath);
  std::error_code ec;
  if (!fs::is_regular_file(from, ec) || fs::exists(fs::symlink_status(to, ec))) return false;
#ifdef _WIN32
  // MoveFileExW without MOVEFILE_REPLACE_EXISTING refuses a taken name.
  return MoveFileExW(from.c_str(), to.c_str(), 0) != 0;
#elif defined(__linux__) && defined(RENAME_NOREPLACE)
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system has no atomic no-replace rename: a hard link fails on a
  // taken name, so it is as safe.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  unlink(from.c_str());
  return true;
#else
  if (link(from.c_str(), to.c_str()) != 0) return false;
  unlink(from.c_str());
  return true;
#endif
}

std::string ShellOpenTarget(const std::string& s) {
  std::string a = engine::AsciiLower(s);
#ifdef _WIN32
  std::replace(a.begin(), a.end(), '/', '\\');
#endif
  const bool web = a.find("http:") != std::string::npos || a.find("https:") != std::string::npos;
  const bool has_colon = a.find(':') != std::string::npos;
  std::error_code ec;
  const bool exists = !s.empty() && fs::exists(img::PathFromUtf8(s), ec);
  const bool is_path = !s.empty() && (s[0] == '/' || s[0] == '\\' || s[0] == '.');
  if (web || exists) return s;
  // A text that is neither an address nor an existing path: a bare host
  // name such as www.example.com is completed; a path that names nothing is
  // not opened.
  if (!has_colon && !is_path) return "http://" + s;
  return {};
}

std::string CompleteWebAddress(const std::string& address) {
  return address.find("://") == std::string::npos ? "http://" + address : address;
}

}  // namespace ui

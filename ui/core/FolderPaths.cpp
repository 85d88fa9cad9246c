#include "ui/core/FolderPaths.h"

#include <filesystem>

#include "platform/FolderSeparator.h"
#include "engine/plan/FolderWalk.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "platform/SystemFiles.h"

namespace fs = std::filesystem;

namespace ui {

char FolderSeparator() { return img::FolderSeparator(); }

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
  std::string trimmed = img::TrimBlanks(path);
  if (trimmed.empty()) return;
  const std::string one(1, FolderSeparator());
  trimmed += one;
  ReplaceAll(trimmed, one + one + one, one);
  ReplaceAll(trimmed, one + one, one);
  path = std::move(trimmed);
}

std::string FolderFromText(const std::string& text, const std::string& current) {
  std::string folder = img::TrimBlanks(text);
  if (!folder.empty() && DrivePart(folder).empty()) {
    if (!IsBareFileName(folder) || current.empty()) return {};
    // ".." is the parent folder, not a folder of that name.
    folder = img::PathToUtf8((img::PathFromUtf8(current) / img::PathFromUtf8(folder)).lexically_normal());
  }
  NormalizeFolderPath(folder);
  return folder;
}

FolderCreation CreateFolderWithParents(const std::string& folder) {
  const std::string trimmed = img::TrimBlanks(folder);
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
  const std::string new_name = img::FileNamePart(newPath);
  if (new_name.empty() || new_name == "." || new_name == ".." || oldPath == newPath) return false;
  const fs::path from = img::PathFromUtf8(oldPath), to = img::PathFromUtf8(newPath);
  std::error_code ec;
  if (!fs::is_regular_file(from, ec) || fs::exists(fs::symlink_status(to, ec))) return false;
  return img::RenameNoReplace(from, to);
}

std::string ShellOpenTarget(const std::string& s) {
  const std::string a = img::AsciiLower(s);
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

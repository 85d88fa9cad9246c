#include "engine/plan/FolderWalk.h"

#include <algorithm>
#include <filesystem>

#include "platform/FolderSeparator.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;

namespace engine {

namespace {

struct Walk {
  const std::vector<std::string>& extensions;
  std::vector<ListedPicture>& out;
  fs::path left_out;
  std::vector<UnreadPath>* unreadable;
  int* other_files;
  const WalkLimits& limits;

  void Folder(const std::string& folder, const std::string& subfolder, int depth) {
    const std::string folder_upper = img::AsciiUpper(folder);
    for (const FolderEntry& entry : ReadFolder(folder, unreadable)) {
      if (entry.isFolder) {
        if (limits.maxDepth >= 0 && depth >= limits.maxDepth) continue;
        const std::string sub = folder + entry.name + img::FolderSeparator();
        if (!left_out.empty() && img::IsSameFile(img::PathFromUtf8(sub), left_out)) continue;
        Folder(sub, subfolder + entry.name + "/", depth + 1);
      } else if (!limits.names.Selects(entry.name)) {
        continue;
      } else if (entry.isFile && HasPictureExtension(entry.name, extensions)) {
        const std::string lower = img::AsciiLower(entry.name);
        out.push_back({folder + entry.name, folder_upper + lower, lower, subfolder});
      } else if (entry.isFile) {
        if (other_files) ++*other_files;
      } else if (entry.isSpecial && unreadable && HasPictureExtension(entry.name, extensions)) {
        unreadable->push_back({folder + entry.name, "not read: not a regular file"});
      }
    }
  }
};

void NoteUnreadable(std::vector<UnreadPath>* unreadable, const fs::path& path, const std::error_code& ec) {
  if (unreadable) unreadable->push_back({img::PathToUtf8(path), "cannot be read: " + ec.message()});
}

}  // namespace

std::vector<FolderEntry> ReadFolder(const std::string& folder, std::vector<UnreadPath>* unreadable) {
  std::vector<FolderEntry> entries;
  std::error_code ec;
  const fs::path path = img::PathFromUtf8(folder);
  fs::directory_iterator it(path, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code type_ec;
    // symlink_status: a link to a folder is not a folder here, so a link
    // cycle can never make the walk endless.
    const fs::file_type own_type = it->symlink_status(type_ec).type();
    if (type_ec) {
      NoteUnreadable(unreadable, it->path(), type_ec);
      continue;
    }
    // Pipes and devices named like pictures would block a read for ever.
    // A link that leads nowhere is no picture; one that cannot be followed
    // (a folder without search permission) is not silently one less.
    const fs::file_type type = it->status(type_ec).type();
    if (type_ec && type != fs::file_type::not_found) NoteUnreadable(unreadable, it->path(), type_ec);
    const bool special = type == fs::file_type::fifo || type == fs::file_type::block ||
                         type == fs::file_type::character || type == fs::file_type::socket;
    entries.push_back({img::PathToUtf8(it->path().filename()), own_type == fs::file_type::directory,
                       type == fs::file_type::regular, special});
  }
  if (ec) NoteUnreadable(unreadable, path.has_filename() ? path : path.parent_path(), ec);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return img::NaturalLess(a.name, b.name); });
  return entries;
}

bool HasPictureExtension(const std::string& name, const std::vector<std::string>& extensions) {
  const std::string ext = img::AsciiLower(img::ExtensionOf(name));
  for (const std::string& candidate : extensions)
    if (ext == img::AsciiLower(img::TrimBlanks(candidate))) return true;
  return false;
}

void ListPictureTree(const std::string& folder, const std::vector<std::string>& extensions,
                     std::vector<ListedPicture>& out, const std::string& leftOut,
                     std::vector<UnreadPath>* unreadable, int* otherFiles, const WalkLimits& limits) {
  std::string start = folder;
  if (!start.empty() && !img::IsFolderSeparator(start.back())) start += img::FolderSeparator();
  Walk{extensions, out, leftOut.empty() ? fs::path() : img::PathFromUtf8(leftOut), unreadable, otherFiles,
       limits}
      .Folder(start, {}, 0);
}

}  // namespace engine

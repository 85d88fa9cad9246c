#include "engine/FolderWalk.h"

#include <algorithm>
#include <filesystem>

#include "engine/TextUtil.h"
#include "imaging/FileIO.h"

namespace fs = std::filesystem;

namespace engine {

namespace {

void Walk(const std::string& folder, const std::vector<std::string>& extensions,
          std::vector<ListedPicture>& out) {
  const std::string folder_upper = AsciiUpper(folder);
  for (const FolderEntry& entry : ReadFolder(folder)) {
    if (entry.isFolder) {
      Walk(folder + entry.name + "/", extensions, out);
    } else if (entry.isFile && HasPictureExtension(entry.name, extensions)) {
      const std::string lower = AsciiLower(entry.name);
      out.push_back({folder + entry.name, folder_upper + lower, lower});
    }
  }
}

}  // namespace

std::vector<FolderEntry> ReadFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  std::error_code ec;
  fs::directory_iterator it(img::PathFromUtf8(folder), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code type_ec;
    // symlink_status: a link to a folder is not a folder here, so a link
    // cycle can never make the walk endless.
    const bool is_folder = it->symlink_status(type_ec).type() == fs::file_type::directory;
    // Pipes and devices named like pictures would block a read for ever.
    const bool is_file = it->status(type_ec).type() == fs::file_type::regular;
    entries.push_back({img::PathToUtf8(it->path().filename()), is_folder, is_file});
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return NaturalLess(a.name, b.name); });
  return entries;
}

bool HasPictureExtension(const std::string& name, const std::vector<std::string>& extensions) {
  const std::string ext = AsciiLower(ExtensionOf(name));
  for (const std::string& candidate : extensions)
    if (ext == AsciiLower(TrimBlanks(candidate))) return true;
  return false;
}

void ListPictureTree(const std::string& folder, const std::vector<std::string>& extensions,
                     std::vector<ListedPicture>& out) {
  std::string start = folder;
  if (!start.empty() && start.back() != '/'
#ifdef _WIN32
      && start.back() != '\\'
#endif
  )
    start += '/';
  Walk(start, extensions, out);
}

}  // namespace engine

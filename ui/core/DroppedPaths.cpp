#include "ui/core/DroppedPaths.h"

#include <filesystem>

#include "ui/core/WindowFormats.h"
#include "engine/formats/PictureFormats.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "ui/core/FolderPaths.h"

namespace ui {

namespace {

bool IsPictureFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(img::PathFromUtf8(path), ec) &&
         IsPictureExtension(img::ExtensionOf(path));
}

}  // namespace

std::optional<DroppedPaths> ReadDrop(const std::vector<std::string>& paths, bool picturesToo) {
  for (const std::string& path : paths) {
    if (IsExistingFolder(path)) return DroppedPaths{FolderFromText(path, {}), {}, {}};
    if (!picturesToo || !IsPictureFile(path)) continue;
    // The first picture names the folder; the others join it when they are
    // in it, and are named as left out when not.
    DroppedPaths drop{img::FolderPart(path), {}, {}};
    for (const std::string& other : paths) {
      if (!IsPictureFile(other)) continue;
      if (img::FolderPart(other) == drop.folder)
        drop.pictures.push_back(img::FileNamePart(other));
      else
        drop.leftOut.push_back(other);
    }
    return drop;
  }
  return std::nullopt;
}

}  // namespace ui

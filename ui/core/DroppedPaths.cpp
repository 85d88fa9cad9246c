#include "ui/core/DroppedPaths.h"

#include <filesystem>

#include "engine/PictureFormats.h"
#include "engine/TextUtil.h"
#include "imaging/FileIO.h"
#include "ui/core/FolderPaths.h"

namespace ui {

namespace {

bool IsPictureFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(img::PathFromUtf8(path), ec) &&
         engine::IsPictureExtension(engine::ExtensionOf(path));
}

}  // namespace

std::optional<DroppedPaths> ReadDrop(const std::vector<std::string>& paths, bool picturesToo) {
  for (const std::string& path : paths) {
    if (IsExistingFolder(path)) return DroppedPaths{FolderFromText(path, {}), {}, {}};
    if (!picturesToo || !IsPictureFile(path)) continue;
    // The first picture names the folder; the others join it when they are
    // in it, and are named as left out when not.
    DroppedPaths drop{engine::FolderPart(path), {}, {}};
    for (const std::string& other : paths) {
      if (!IsPictureFile(other)) continue;
      if (engine::FolderPart(other) == drop.folder)
        drop.pictures.push_back(engine::FileNamePart(other));
      else
        drop.leftOut.push_back(other);
    }
    return drop;
  }
  return std::nullopt;
}

}  // namespace ui

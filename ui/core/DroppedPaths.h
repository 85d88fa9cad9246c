#pragma once
// What a drop of files and folders from a file manager asks of a folder
// side: a folder to list, and on the source side perhaps some of its
// pictures to select. Plain C++: the window turns the drop's URLs into
// paths and acts on the answer.

#include <optional>
#include <string>
#include <vector>

namespace ui {

struct DroppedPaths {
  std::string folder;                 // ending in a separator
  std::vector<std::string> pictures;  // names in folder to select; empty: a folder was dropped
  std::vector<std::string> leftOut;   // dropped pictures of other folders, not selected
};

// The answer for paths dropped in the order given: the first folder among
// them, or, when picturesToo and the first usable path is a picture file,
// that picture's folder with the dropped pictures in it (files of other
// kinds are passed over). Nothing usable: no answer.
std::optional<DroppedPaths> ReadDrop(const std::vector<std::string>& paths, bool picturesToo);

}  // namespace ui

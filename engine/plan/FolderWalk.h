#pragma once
// The folder run's listing: every picture of a folder and, depth-first, of
// its subfolders, complete before the first conversion starts.

#include <string>
#include <vector>

#include "engine/plan/NameSelection.h"

namespace engine {

struct ListedPicture {
  std::string path;         // the file's real path, to open it by
  std::string displayPath;  // folder in upper case + name in lower case, for the hint line
  std::string targetName;   // the name in lower case: the folder run's targets bear it
  std::string subfolder;    // its folder relative to the walked one, ending in '/'; empty there
};

// A file or folder a walk could not read, and why, as imgbatch says it.
struct UnreadPath {
  std::string path;
  std::string reason;
  std::string Line() const { return path + ": " + reason; }
};

struct FolderEntry {
  std::string name;
  bool isFolder;  // a folder itself, not a link to one
  bool isFile;    // a regular file, or a link to one
  bool isSpecial = false;  // a pipe, device or socket, or a link to one: never read
};

// The entries of one folder in natural, case-insensitive name order, the
// same every time for the same content; an unreadable or missing folder
// gives what could be read. When unreadable is given, the folder, or each
// entry whose kind could not be told, is added to it with the reason.
std::vector<FolderEntry> ReadFolder(const std::string& folder,
                                    std::vector<UnreadPath>* unreadable = nullptr);

// True when the name's extension (from its last dot, lower-cased) equals one
// of extensions, each trimmed of blanks and lower-cased.
bool HasPictureExtension(const std::string& name, const std::vector<std::string>& extensions);

// How far a walk goes and which files it takes (imgbatch's --max-depth,
// --include and --exclude); by default all of them, as the window walks.
struct WalkLimits {
  int maxDepth = -1;     // levels of subfolders walked below the start; -1: all
  NameSelection names;   // files of other names are passed over, not counted
};

// Appends every picture file of folder (a path ending in a separator) and of
// its subfolders at any depth. Entries of one folder come in natural,
// case-insensitive name order and a subfolder is listed where it is met.
// Hidden files are listed; symbolic links to folders are not followed; an
// unreadable or missing folder contributes nothing, and is added to
// unreadable when that is given, as is a pipe or device named like a picture. A subfolder that is the folder leftOut (the
// run's output folder, however spelt) is not walked, so a second run never
// takes the first one's targets for sources. When otherFiles is given, it
// is increased by each regular file met whose extension is none of
// extensions.
void ListPictureTree(const std::string& folder, const std::vector<std::string>& extensions,
                     std::vector<ListedPicture>& out, const std::string& leftOut = {},
                     std::vector<UnreadPath>* unreadable = nullptr, int* otherFiles = nullptr,
                     const WalkLimits& limits = {});

}  // namespace engine

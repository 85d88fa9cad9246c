#pragma once
// Folder texts as the window holds them (ending in one separator), the one
// drive of a Unix system, folder creation and listing, and a rename that never
// replaces a file. Plain C++: tested without a window. The drive functions,
// the root and the file-name rule differ between systems: os/FolderPaths*.cpp.

#include <string>
#include <vector>

namespace ui {

// The folder separator of this system ('/' here, '\' on Windows).
char FolderSeparator();

// True when path names an existing folder; false for an empty text.
bool IsExistingFolder(const std::string& path);

// Folder + name, with the separator between them when the folder lacks it.
std::string PathInFolder(const std::string& folder, const std::string& name);

// Blank text: unchanged. Otherwise the trimmed text with one separator
// appended, then every run of three separators made one, then every pair.
void NormalizeFolderPath(std::string& path);

// The folder that a folder edit's text names, current being the folder
// committed before it: a bare name (no separator, no drive) is that
// sub-folder of current, as the edit's hint promises; any other text without
// a drive names no folder, since a folder relative to wherever the program
// was started is never what the user meant. Normalised as above; empty for a
// blank text and for a text that names no folder.
std::string FolderFromText(const std::string& text, const std::string& current);

// True when folder is the root of a drive ("/" here, "C:\" or
// "\\server\share\" on Windows), however it is spelled: walking it walks
// the whole drive.
bool IsRootFolder(const std::string& folder);

// The drive part of a path: "/" for an absolute path on Unix ("C:" or the
// \\server\share on Windows); empty for a relative text.
std::string DrivePart(const std::string& path);
// On Unix "/" is the one drive and always exists; on Windows the drive list is asked.
bool DriveExists(const std::string& drive);
// The system root: what a folder edit gets when its text cannot be used, and
// where the folder browser starts ("/" here, "C:\" on Windows).
std::string SystemRootFolder();

// True when name holds nothing that leads out of its folder: no folder
// separator (and no drive colon on Windows).
bool IsBareFileName(const std::string& name);

enum class FolderCreation {
  Ready,     // the folder exists now
  Unusable,  // blank text, or no drive and no parent folder: the caller tells the user
  Failed,    // it could not be made (no rights, a file in the way): passed silently
};
[[nodiscard]] FolderCreation CreateFolderWithParents(const std::string& folder);

// Full paths of the regular files directly in folder (no subfolders), in
// natural, case-insensitive name order, the same every time for the same content.
std::vector<std::string> ListFolderFiles(const std::string& folder);

// Renames a file without ever replacing another: false (both files left as
// they are) when the new name is taken, equal to the old one, empty, holds a
// folder separator, or the system refuses.
[[nodiscard]] bool RenameWithoutReplacing(const std::string& oldPath, const std::string& newPath);

// What a shell "open" of S should open, following the program's rule: web
// addresses, texts without a colon (completed with "http://"), and existing
// files or folders are opened; a path that names nothing gives an empty text.
std::string ShellOpenTarget(const std::string& s);
// An address for the browser: "http://" in front when it has no "://".
std::string CompleteWebAddress(const std::string& address);

}  // namespace ui

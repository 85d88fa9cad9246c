#pragma once
// Files that have no name until their content is complete, where the system
// offers them: a process killed while writing one leaves nothing behind.

#include <cstdio>
#include <filesystem>

namespace img {

// A new file open for writing in folder, without a name; nullptr where the
// system or the folder's file system offers none (then use a named one).
std::FILE* OpenUnnamedFile(const std::filesystem::path& folder);

// Gives the file a name in its folder: 0, or the errno (EEXIST when path
// exists already). The file stays open.
int LinkUnnamedFile(std::FILE* file, const std::filesystem::path& path);

}  // namespace img

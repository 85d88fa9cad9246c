#pragma once
// The file calls whose form differs between systems: Windows takes wide
// (UTF-16) names and has its own exclusive create and no-replace rename.

#include <cstdio>
#include <filesystem>

namespace img {

// fopen of path with fopen's mode; names in any script.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

// A new file open for writing ("wb"); nullptr when the name is taken or the
// file cannot be made.
std::FILE* OpenNewFile(const std::filesystem::path& path);

// Renames from to to unless to exists, atomically where the system offers
// it; false (both left as they are) when to is taken or the system refuses.
[[nodiscard]] bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// True when name (one component) is no longer than file systems take: 255
// bytes, or 255 UTF-16 units on Windows.
bool FileNameFits(const std::filesystem::path& name);

}  // namespace img

#pragma once
// Every file of the program is opened through these functions: paths are
// UTF-8 texts (Chinese names included) and writes replace a file only once
// the new content is complete.

#include <compare>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/UnfilledBytes.h"

namespace img {

std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// Which file or folder a path names, however spelt (".." and "./", links,
// letter case where the file system ignores it and gives every spelling the
// same file): its device and inode, or volume and file index on Windows.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  auto operator<=>(const FileId&) const = default;
};
// Nothing when the path names nothing or cannot be looked at. One
// definition per system, beside the other system calls (os/SystemFiles*).
std::optional<FileId> IdentifyFile(const std::filesystem::path& path);

// True when both paths name one existing file or folder (IdentifyFile).
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Whole file into memory; throws ImageError(Io) when it cannot be read, and
// TooLarge when it is larger than max_bytes.
std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path,
                                        std::uint64_t max_bytes = 1ULL << 31);
// The same into a buffer that can become a picture's pixels (BMP files).
void ReadWholeFile(const std::filesystem::path& path, UnfilledBytes& data,
                   std::uint64_t max_bytes = 1ULL << 31);

// A regular file opened for reading: nullptr, errno set, for anything else
// (a pipe or a device would block a read for ever) or when it cannot be
// opened. What a path names is told from the open file, so a file swapped
// for a pipe after a check cannot block the program.
std::FILE* OpenSourceFile(const std::filesystem::path& path);

// The first bytes of a regular file, at most count (fewer when the file is
// shorter), to tell its kind by; nothing when it is no regular file or
// cannot be read, which the loader then reports in its own words.
std::vector<std::uint8_t> ReadFileHead(const std::filesystem::path& path, std::size_t count);

class HeldFolder;

// Where a write goes: the file's path, as failures name it; during a run,
// its folder as held open since the run was planned (HeldFolder.h), else
// path's folder as it is at the write; and the modification time the file
// is to have, given before it takes its name.
struct TargetFile {
  TargetFile(std::filesystem::path file) : path(std::move(file)) {}  // a plain path: its folder as it is now
  TargetFile(std::filesystem::path file, const HeldFolder* in) : path(std::move(file)), folder(in) {}

  std::filesystem::path path;
  const HeldFolder* folder = nullptr;
  std::optional<std::filesystem::file_time_type> modified;
};

// Writes data to a file in the target's folder that takes the target's
// name only once complete: unnamed until then where the system allows (a
// killed process leaves nothing), else under a short temporary name. On any
// failure the temporary is removed, the target's name is left as it was,
// and ImageError(Io) is thrown.
void WriteFileAtomically(const TargetFile& target, std::span<const std::uint8_t> data);

// The same for content produced by a callback that writes into an open FILE.
// The callback throws to abandon the write.
void WriteFileAtomically(const TargetFile& target, const std::function<void(std::FILE*)>& produce);

// The most bytes handed to the system in one write. Linux gives a larger
// write of a new file its page cache in large folios, which cost many times
// more to fill (ten times and more, measured on a fresh virtual machine)
// than the small pages a write of this size takes.
inline constexpr std::size_t kWriteBytes = std::size_t{256} << 10;

// Writes bytes into such a FILE, kWriteBytes at a time; a short write
// throws ImageError(Io) that names path and the system's reason.
void WriteBytes(std::FILE* file, std::span<const std::uint8_t> bytes, const std::filesystem::path& path);

}  // namespace img

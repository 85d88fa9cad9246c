#pragma once
// The short-named files a write goes through where it cannot write an
// unnamed one (file systems without O_TMPFILE, Windows): their names, the
// ones being written now, removed when the process is interrupted, and the
// removal of those an ended process left behind.

#include <cstddef>
#include <filesystem>

namespace img {

// A new name in folder, ".imgconvert-PPPPPPPP-N.tmp": the leading dot and
// ".tmp" keep it out of the picture lists, and PPPPPPPP, this process's
// number in hex, tells a later run whether its writer still runs.
std::filesystem::path TemporaryNameIn(const std::filesystem::path& folder);

// While it lives, the temporary at path is removed if the process is
// interrupted (RemoveTemporariesOnInterrupt). Made before the file is.
class TemporaryBeingWritten {
 public:
  explicit TemporaryBeingWritten(const std::filesystem::path& path);
  ~TemporaryBeingWritten();
  TemporaryBeingWritten(const TemporaryBeingWritten&) = delete;
  TemporaryBeingWritten& operator=(const TemporaryBeingWritten&) = delete;

 private:
  int slot_ = -1;  // -1: not registered (every slot taken, or the path too long)
};

// Installs the removal of the temporaries being written on INT, TERM and
// HUP (Ctrl-C and the console closing on Windows), before the process ends.
void RemoveTemporariesOnInterrupt();

// Removes the temporaries of our name pattern in folder whose process no
// longer runs; never another file. Gives how many were removed.
std::size_t RemoveStaleTemporaries(const std::filesystem::path& folder);

}  // namespace img

#pragma once
// A folder held open while targets are written into it. Each file is made
// and named relative to the folder that was opened, so a folder swapped for
// a link to another place meanwhile fails the write instead of reaching the
// files there. One implementation per system (os/HeldFolder*): POSIX holds
// the folder's descriptor and writes through the *at calls; Windows holds a
// handle that keeps the folder from being renamed or removed.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/FileIO.h"

namespace img {

class HeldFolder {
 public:
  // The folder path names (empty: the current one), links in it followed
  // (a user may name a folder through one); nullptr, with the reason in ec,
  // when it is missing, no folder, or cannot be opened.
  static std::unique_ptr<HeldFolder> Open(const std::filesystem::path& path, std::error_code& ec);

  // The folder name (one component) in this one, made when missing; never
  // reached through a link. nullptr with the reason in ec.
  std::unique_ptr<HeldFolder> OpenChild(const std::filesystem::path& name, std::error_code& ec) const;

  ~HeldFolder();
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  const FileId& Id() const { return id_; }

  // The steps of a write into the folder, each name one component; a
  // failure gives the errno. A file without a name until it is complete,
  // where the system offers it (nullptr elsewhere).
  std::FILE* OpenUnnamed() const;
  int NameUnnamed(std::FILE* file, const std::filesystem::path& name) const;  // EEXIST when taken
  std::FILE* OpenNew(const std::filesystem::path& name) const;  // nullptr with errno; EEXIST when taken
  int Replace(const std::filesystem::path& from, const std::filesystem::path& to) const;  // a link at to is replaced
  void Remove(const std::filesystem::path& name) const;
  bool HasFolderNamed(const std::filesystem::path& name) const;  // a link to one too
  // True while the path still names the folder opened: checked just before
  // a file takes its name, so a folder moved or swapped for a link fails
  // its targets rather than filling a folder nobody looks in.
  bool StillInPlace() const;

 private:
  HeldFolder(std::filesystem::path path, FileId id, std::intptr_t handle)
      : path_(std::move(path)), id_(id), handle_(handle) {}

  std::filesystem::path path_;
  FileId id_;
  std::intptr_t handle_;  // the descriptor, or the Windows handle
};

// Gives the open file its modification time, before it is named, so that no
// link at its name is followed to another file: 0 or the errno. The file's
// buffer is flushed first.
int SetModifiedTime(std::FILE* file, std::filesystem::file_time_type time);

}  // namespace img

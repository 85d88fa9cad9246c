// Windows: a handle to the folder that does not share deletion, so the
// folder cannot be renamed or removed while it is held. Files are made
// under a short temporary name and renamed into place by path.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <chrono>

#include "platform/HeldFolder.h"
#include "platform/SystemFiles.h"

namespace img {

namespace {

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    default: return EACCES;
  }
}

// The folder at path held, or INVALID_HANDLE_VALUE with the errno; a link
// (a reparse point) is refused unless follow.
HANDLE HoldFolder(const std::filesystem::path& path, bool follow, FileId& id, int& err) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const HANDLE handle =
      CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    err = ErrnoOf(GetLastError());
    return handle;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT && !follow)) {
    CloseHandle(handle);
    err = ENOTDIR;
    return INVALID_HANDLE_VALUE;
  }
  id = FileId{info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  return handle;
}

std::unique_ptr<HeldFolder> Failed(std::error_code& ec, int err) {
  ec.assign(err, std::generic_category());
  return nullptr;
}

}  // namespace

std::unique_ptr<HeldFolder> HeldFolder::Open(const std::filesystem::path& given, std::error_code& ec) {
  const std::filesystem::path path = given.empty() ? std::filesystem::path(L".") : given;
  FileId id;
  int err = 0;
  const HANDLE handle = HoldFolder(path, true, id, err);
  if (handle == INVALID_HANDLE_VALUE) return Failed(ec, err);
  ec.clear();
  return std::unique_ptr<HeldFolder>(new HeldFolder(path, id, reinterpret_cast<std::intptr_t>(handle)));
}

std::unique_ptr<HeldFolder> HeldFolder::OpenChild(const std::filesystem::path& name, std::error_code& ec) const {
  const std::filesystem::path path = path_ / name;
  if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    return Failed(ec, ErrnoOf(GetLastError()));
  FileId id;
  int err = 0;
  const HANDLE handle = HoldFolder(path, false, id, err);
  if (handle == INVALID_HANDLE_VALUE) return Failed(ec, err);
  ec.clear();
  return std::unique_ptr<HeldFolder>(new HeldFolder(path, id, reinterpret_cast<std::intptr_t>(handle)));
}

HeldFolder::~HeldFolder() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

std::FILE* HeldFolder::OpenUnnamed() const { return nullptr; }

int HeldFolder::NameUnnamed(std::FILE*, const std::filesystem::path&) const { return ENOSYS; }

std::FILE* HeldFolder::OpenNew(const std::filesystem::path& name) const { return OpenNewFile(path_ / name); }

int HeldFolder::Replace(const std::filesystem::path& from, const std::filesystem::path& to) const {
  return MoveFileExW((path_ / from).c_str(), (path_ / to).c_str(), MOVEFILE_REPLACE_EXISTING) ? 0
                                                                                              : ErrnoOf(GetLastError());
}

void HeldFolder::Remove(const std::filesystem::path& name) const { DeleteFileW((path_ / name).c_str()); }

bool HeldFolder::HasFolderNamed(const std::filesystem::path& name) const {
  const DWORD attributes = GetFileAttributesW((path_ / name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int SetModifiedTime(std::FILE* file, std::filesystem::file_time_type time) {
  if (std::fflush(file) != 0) return errno;
  // FILETIME counts 100 ns steps from 1601, the system clock's epoch is 1970.
  constexpr std::int64_t kFrom1601 = 116444736000000000;
  const auto since_epoch = std::chrono::file_clock::to_sys(time).time_since_epoch();
  const std::int64_t steps = std::chrono::floor<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(since_epoch).count() + kFrom1601;
  FILETIME modified;
  modified.dwLowDateTime = static_cast<DWORD>(steps);
  modified.dwHighDateTime = static_cast<DWORD>(steps >> 32);
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return SetFileTime(handle, nullptr, nullptr, &modified) ? 0 : ErrnoOf(GetLastError());
}

}  // namespace img

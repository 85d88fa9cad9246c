// Windows: the wide-character calls, so that names outside the ANSI code
// page (Chinese ones on a Western system) open.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/FileIO.h"
#include "platform/SystemFiles.h"

namespace img {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
  const std::wstring wide_mode(mode, mode + std::strlen(mode));
  return _wfopen(path.c_str(), wide_mode.c_str());
}

std::FILE* OpenSourceFile(const std::filesystem::path& path) {
  std::FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return nullptr;
  struct _stat64 info;
  if (_fstat64(_fileno(file), &info) != 0 || !(info.st_mode & _S_IFREG)) {
    std::fclose(file);
    errno = EINVAL;
    return nullptr;
  }
  return file;
}

std::FILE* OpenNewFile(const std::filesystem::path& path) {
  // An exclusive create (msvcrt's fopen knows no "x" mode), shared for
  // deletion, so an interrupted run can remove its temporary while it is open.
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    switch (GetLastError()) {
      case ERROR_FILE_EXISTS:
      case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
      case ERROR_DISK_FULL: errno = ENOSPC; break;
      default: errno = EACCES; break;
    }
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
}

bool FileNameFits(const std::filesystem::path& name) { return name.native().size() <= 255; }

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  // Without MOVEFILE_REPLACE_EXISTING a taken name is refused.
  return MoveFileExW(from.c_str(), to.c_str(), 0) != 0;
}

// The volume and file index of what path names (a folder too). MinGW's
// std::filesystem::equivalent cannot tell files apart, since its stat gives
// no inode.
std::optional<FileId> IdentifyFile(const std::filesystem::path& path) {
  const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!ok) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace img

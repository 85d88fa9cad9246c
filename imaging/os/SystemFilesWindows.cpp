// Windows: the wide-character calls, so that names outside the ANSI code
// page (Chinese ones on a Western system) open.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "imaging/SystemFiles.h"

namespace img {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
  const std::wstring wide_mode(mode, mode + std::strlen(mode));
  return _wfopen(path.c_str(), wide_mode.c_str());
}

std::FILE* OpenNewFile(const std::filesystem::path& path) {
  // msvcrt's fopen knows no "x" mode: an exclusive create through _wopen.
  const int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
}

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  // Without MOVEFILE_REPLACE_EXISTING a taken name is refused.
  return MoveFileExW(from.c_str(), to.c_str(), 0) != 0;
}

}  // namespace img

// Linux: O_TMPFILE, named with linkat through /proc, which any user may do.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "imaging/UnnamedFile.h"

namespace img {

std::FILE* OpenUnnamedFile(const std::filesystem::path& folder) {
  if (access("/proc/self/fd", X_OK) != 0) return nullptr;  // it could never be named
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;  // file systems without it say EOPNOTSUPP
  std::FILE* file = fdopen(fd, "wb");
  if (!file) close(fd);
  return file;
}

int LinkUnnamedFile(std::FILE* file, const std::filesystem::path& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fileno(file));
  return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

}  // namespace img

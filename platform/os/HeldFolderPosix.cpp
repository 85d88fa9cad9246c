// POSIX: the folder's descriptor, every step relative to it; where Linux
// offers O_TMPFILE, a file without a name, named with linkat through /proc,
// which any user may do.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "platform/HeldFolder.h"

namespace img {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

std::unique_ptr<HeldFolder> Failed(std::error_code& ec, int err) {
  ec.assign(err, std::generic_category());
  return nullptr;
}

}  // namespace

std::unique_ptr<HeldFolder> HeldFolder::Open(const std::filesystem::path& given, std::error_code& ec) {
  const std::filesystem::path path = given.empty() ? std::filesystem::path(".") : given;
  const int fd = open(path.c_str(), kFolderFlags);
  if (fd < 0) return Failed(ec, errno);
  struct stat info;
  if (fstat(fd, &info) != 0) {
    const int err = errno;
    close(fd);
    return Failed(ec, err);
  }
  ec.clear();
  return std::unique_ptr<HeldFolder>(new HeldFolder(
      path, FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)}, fd));
}

std::unique_ptr<HeldFolder> HeldFolder::OpenChild(const std::filesystem::path& name, std::error_code& ec) const {
  const int parent = static_cast<int>(handle_);
  if (mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) return Failed(ec, errno);
  // O_NOFOLLOW: a link in the folder's place is refused, not followed.
  const int fd = openat(parent, name.c_str(), kFolderFlags | O_NOFOLLOW);
  if (fd < 0) return Failed(ec, errno == ELOOP ? ENOTDIR : errno);
  struct stat info;
  if (fstat(fd, &info) != 0) {
    const int err = errno;
    close(fd);
    return Failed(ec, err);
  }
  ec.clear();
  return std::unique_ptr<HeldFolder>(new HeldFolder(
      path_ / name, FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)}, fd));
}

HeldFolder::~HeldFolder() { close(static_cast<int>(handle_)); }

std::FILE* HeldFolder::OpenUnnamed() const {
#ifdef O_TMPFILE  // Linux
  if (access("/proc/self/fd", X_OK) != 0) return nullptr;  // it could never be named
  const int fd = openat(static_cast<int>(handle_), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;  // file systems without it say EOPNOTSUPP
  std::FILE* file = fdopen(fd, "wb");
  if (!file) close(fd);
  return file;
#else
  return nullptr;
#endif
}

int HeldFolder::NameUnnamed(std::FILE* file, const std::filesystem::path& name) const {
  const std::string self = "/proc/self/fd/" + std::to_string(fileno(file));
  return linkat(AT_FDCWD, self.c_str(), static_cast<int>(handle_), name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

std::FILE* HeldFolder::OpenNew(const std::filesystem::path& name) const {
  const int fd = openat(static_cast<int>(handle_), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (!file) {
    const int err = errno;
    close(fd);
    unlinkat(static_cast<int>(handle_), name.c_str(), 0);
    errno = err;
  }
  return file;
}

int HeldFolder::Replace(const std::filesystem::path& from, const std::filesystem::path& to) const {
  const int folder = static_cast<int>(handle_);
  return renameat(folder, from.c_str(), folder, to.c_str()) == 0 ? 0 : errno;
}

void HeldFolder::Remove(const std::filesystem::path& name) const { unlinkat(static_cast<int>(handle_), name.c_str(), 0); }

bool HeldFolder::HasFolderNamed(const std::filesystem::path& name) const {
  struct stat info;
  return fstatat(static_cast<int>(handle_), name.c_str(), &info, 0) == 0 && S_ISDIR(info.st_mode);
}


int SetModifiedTime(std::FILE* file, std::filesystem::file_time_type time) {
  if (std::fflush(file) != 0) return errno;
  const auto since_epoch = std::chrono::file_clock::to_sys(time).time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(since_epoch);
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // the access time is the system's
  times[1].tv_sec = static_cast<time_t>(seconds.count());
  times[1].tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch - seconds).count());
  return futimens(fileno(file), times) == 0 ? 0 : errno;
}

}  // namespace img

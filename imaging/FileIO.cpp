#include "imaging/FileIO.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "imaging/ImageError.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace img {

fs::path PathFromUtf8(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathToUtf8(const fs::path& path) {
  std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

namespace {

std::FILE* OpenFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
  std::wstring wmode(mode, mode + std::strlen(mode));
  return _wfopen(path.c_str(), wmode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

[[noreturn]] void ThrowIo(const std::string& what, const fs::path& path, int err) {
  throw ImageError(ErrorCode::Io, what + " " + PathToUtf8(path) + ": " + std::strerror(err));
}

// A name in the target's own folder, so the final rename never crosses file
// systems; the leading dot keeps it out of the picture lists while it exists.
fs::path TemporaryNameFor(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  std::string name = ".";
  name += PathToUtf8(path.filename());
  name += ".tmp-";
  name += std::to_string(seed);
  name += '-';
  name += std::to_string(counter++);
  return path.parent_path() / PathFromUtf8(name);
}

}  // namespace

bool IsSameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

std::vector<std::uint8_t> ReadWholeFile(const fs::path& path, std::uint64_t max_bytes) {
  // Only regular files: a pipe or a device would block the read for ever.
  std::error_code ec;
  if (fs::status(path, ec).type() != fs::file_type::regular)
    ThrowIo("cannot open", path, ec ? ec.value() : EINVAL);
  std::FILE* f = OpenFile(path, "rb");
  if (!f) ThrowIo("cannot open", path, errno);
  std::vector<std::uint8_t> data;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0 && static_cast<std::uint64_t>(size) > max_bytes) {
      std::fclose(f);
      throw ImageError(ErrorCode::TooLarge, "file too large: " + PathToUtf8(path));
    }
    if (size > 0) data.reserve(static_cast<std::size_t>(size));
    std::rewind(f);
  }
  std::uint8_t buffer[1 << 16];
  for (;;) {
    std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
    data.insert(data.end(), buffer, buffer + n);
    if (data.size() > max_bytes) {
      std::fclose(f);
      throw ImageError(ErrorCode::TooLarge, "file too large: " + PathToUtf8(path));
    }
    if (n < sizeof buffer) break;
  }
  bool failed = std::ferror(f) != 0;
  int err = errno;
  std::fclose(f);
  if (failed) ThrowIo("cannot read", path, err);
  return data;
}

void WriteFileAtomically(const fs::path& path, const std::function<void(std::FILE*)>& produce) {
  // A folder standing where the file should go is refused before anything is written.
  std::error_code ec;
  if (fs::is_directory(path, ec)) ThrowIo("cannot write", path, EISDIR);
  const fs::path temp = TemporaryNameFor(path);
  std::FILE* f = OpenFile(temp, "wb");
  if (!f) ThrowIo("cannot create", path, errno);
  try {
    produce(f);
    if (std::fflush(f) != 0 || std::ferror(f)) ThrowIo("cannot write", path, errno);
  } catch (...) {
    std::fclose(f);
    fs::remove(temp, ec);
    throw;
  }
  if (std::fclose(f) != 0) {
    int err = errno;
    fs::remove(temp, ec);
    ThrowIo("cannot write", path, err);
  }
  fs::rename(temp, path, ec);
  if (ec) {
    int err = ec.value();
    fs::remove(temp, ec);
    ThrowIo("cannot replace", path, err);
  }
}

void WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> data) {
  WriteFileAtomically(path, [&](std::FILE* f) {
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), f) != data.size())
      ThrowIo("cannot write", path, errno);
  });
}

}  // namespace img

#include "imaging/FileIO.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "imaging/ImageError.h"
#include "imaging/SystemFiles.h"
#include "imaging/TemporaryFiles.h"
#include "imaging/UnnamedFile.h"

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

[[noreturn]] void ThrowIo(const std::string& what, const fs::path& path, int err) {
  // A full disk is the one write failure a user can mend at once: say so.
  throw ImageError(err == ENOSPC ? ErrorCode::NoSpace : ErrorCode::Io, what + " " + PathToUtf8(path) + ": " + std::strerror(err));
}

// A new temporary in the target's own folder, so the final rename never
// crosses file systems; made only once registered, so an interruption
// removes it. Taken names (a dead process's of the same number) are passed over.
std::FILE* OpenTemporaryIn(const fs::path& folder, fs::path& temp,
                           std::optional<TemporaryBeingWritten>& registration) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp = TemporaryNameIn(folder);
    registration.emplace(temp);
    if (std::FILE* f = OpenNewFile(temp)) return f;
    const int err = errno;
    registration.reset();
    if (err != EEXIST) {
      errno = err;
      break;
    }
  }
  temp.clear();
  return nullptr;
}

}  // namespace

namespace {

// Reads straight into the buffer, in steps small enough that a plain
// vector's zero-fill of each step stays in the cache.
template <class Bytes>
void ReadInto(const fs::path& path, Bytes& data, std::uint64_t max_bytes) {
  // Only regular files: a pipe or a device would block the read for ever.
  std::error_code ec;
  if (fs::status(path, ec).type() != fs::file_type::regular)
    ThrowIo("cannot open", path, ec ? ec.value() : EINVAL);
  std::FILE* f = OpenFile(path, "rb");
  if (!f) ThrowIo("cannot open", path, errno);
  data.clear();
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0 && static_cast<std::uint64_t>(size) > max_bytes) {
      std::fclose(f);
      throw ImageError(ErrorCode::TooLarge, "file too large: " + PathToUtf8(path));
    }
    // One byte more, so reaching the end costs no second allocation.
    if (size > 0) data.reserve(static_cast<std::size_t>(size) + 1);
    std::rewind(f);
  }
  constexpr std::size_t kStep = 256 * 1024;
  for (;;) {
    // Within the room reserved while the file is as long as it said.
    const std::size_t used = data.size();
    const std::size_t room = data.capacity() - used;
    const std::size_t step = room > 0 ? std::min(room, kStep) : kStep;
    data.resize(used + step);
    const std::size_t n = std::fread(data.data() + used, 1, step, f);
    data.resize(used + n);
    if (data.size() > max_bytes) {
      std::fclose(f);
      throw ImageError(ErrorCode::TooLarge, "file too large: " + PathToUtf8(path));
    }
    if (n < step) break;
  }
  bool failed = std::ferror(f) != 0;
  int err = errno;
  std::fclose(f);
  if (failed) ThrowIo("cannot read", path, err);
}

}  // namespace

std::vector<std::uint8_t> ReadWholeFile(const fs::path& path, std::uint64_t max_bytes) {
  std::vector<std::uint8_t> data;
  ReadInto(path, data, max_bytes);
  return data;
}

void ReadWholeFile(const fs::path& path, UnfilledBytes& data, std::uint64_t max_bytes) {
  ReadInto(path, data, max_bytes);
}

std::vector<std::uint8_t> ReadFileHead(const fs::path& path, std::size_t count) {
  std::vector<std::uint8_t> head;
  std::error_code ec;
  if (fs::status(path, ec).type() != fs::file_type::regular) return head;  // a pipe would block
  std::FILE* f = OpenFile(path, "rb");
  if (!f) return head;
  head.resize(count);
  head.resize(std::fread(head.data(), 1, count, f));
  std::fclose(f);
  return head;
}

void WriteFileAtomically(const fs::path& path, const std::function<void(std::FILE*)>& produce) {
  // A folder standing where the file should go is refused before anything is written.
  std::error_code ec;
  if (fs::is_directory(path, ec)) ThrowIo("cannot write", path, EISDIR);
  const fs::path folder = path.parent_path();
  // Where it can, the content goes into a file without a name, so a killed
  // process leaves nothing behind; elsewhere into a short temporary name.
  fs::path temp;
  std::optional<TemporaryBeingWritten> registration;
  std::FILE* f = OpenUnnamedFile(folder);
  if (!f) {
    f = OpenTemporaryIn(folder, temp, registration);
    if (!f) ThrowIo("cannot create", path, errno);
  }
  try {
    produce(f);
    if (std::fflush(f) != 0 || std::ferror(f)) ThrowIo("cannot write", path, errno);
  } catch (...) {
    std::fclose(f);
    if (!temp.empty()) fs::remove(temp, ec);
    throw;
  }
  int err = 0;
  bool named_as_target = false;
  if (temp.empty()) {
    // Complete: a new target takes the file's name at once; an existing one
    // is replaced by a rename from a short name, since a link never replaces.
    err = LinkUnnamedFile(f, path);
    named_as_target = err == 0;
    if (err == EEXIST) {
      temp = TemporaryNameIn(folder);
      registration.emplace(temp);
      err = LinkUnnamedFile(f, temp);
    }
  }
  if (std::fclose(f) != 0 && err == 0) err = errno;
  if (err) {
    if (named_as_target) fs::remove(path, ec);  // it was new: nothing old is lost
    if (!temp.empty()) fs::remove(temp, ec);
    ThrowIo("cannot write", path, err);
  }
  if (named_as_target) return;
  fs::rename(temp, path, ec);
  if (ec) {
    err = ec.value();
    fs::remove(temp, ec);
    ThrowIo("cannot replace", path, err);
  }
}

bool IsSameFile(const fs::path& a, const fs::path& b) {
  const std::optional<FileId> ia = IdentifyFile(a);
  return ia && ia == IdentifyFile(b);
}

void WriteBytes(std::FILE* file, std::span<const std::uint8_t> bytes, const fs::path& path) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
    ThrowIo("cannot write", path, errno);
}

void WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> data) {
  WriteFileAtomically(path, [&](std::FILE* f) { WriteBytes(f, data, path); });
}

}  // namespace img

#include "platform/FileIO.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/HeldFolder.h"
#include "platform/ImageError.h"
#include "platform/SystemFiles.h"
#include "platform/TemporaryFiles.h"

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
std::FILE* OpenTemporaryIn(const HeldFolder& folder, fs::path& temp,
                           std::optional<TemporaryBeingWritten>& registration) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp = TemporaryNameIn(folder.Path()).filename();
    registration.emplace(folder.Path() / temp);
    if (std::FILE* f = folder.OpenNew(temp)) return f;
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
  std::FILE* f = OpenSourceFile(path);
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
  std::FILE* f = OpenSourceFile(path);
  if (!f) return head;
  head.resize(count);
  head.resize(std::fread(head.data(), 1, count, f));
  std::fclose(f);
  return head;
}

void WriteFileAtomically(const TargetFile& target, const std::function<void(std::FILE*)>& produce) {
  const fs::path& path = target.path;
  const fs::path name = path.filename();
  // Without a folder held since the run was planned, the one the path names now.
  std::unique_ptr<HeldFolder> opened;
  const HeldFolder* folder = target.folder;
  if (!folder) {
    std::error_code ec;
    opened = HeldFolder::Open(path.parent_path(), ec);
    if (!opened) ThrowIo("cannot create", path, ec.value());
    folder = opened.get();
  }
  // A folder standing where the file should go is refused before anything is written.
  if (folder->HasFolderNamed(name)) ThrowIo("cannot write", path, EISDIR);
  // Where it can, the content goes into a file without a name, so a killed
  // process leaves nothing behind; elsewhere into a short temporary name.
  fs::path temp;
  std::optional<TemporaryBeingWritten> registration;
  std::FILE* f = folder->OpenUnnamed();
  if (!f) {
    f = OpenTemporaryIn(*folder, temp, registration);
    if (!f) ThrowIo("cannot create", path, errno);
  }
  try {
    produce(f);
    if (std::fflush(f) != 0 || std::ferror(f)) ThrowIo("cannot write", path, errno);
    // On the open file: a link planted at the name meanwhile is never followed.
    if (target.modified)
      if (const int err = SetModifiedTime(f, *target.modified)) ThrowIo("cannot give the time to", path, err);
  } catch (...) {
    std::fclose(f);
    if (!temp.empty()) folder->Remove(temp);
    throw;
  }
  if (!folder->StillInPlace()) {
    std::fclose(f);
    if (!temp.empty()) folder->Remove(temp);
    throw ImageError(ErrorCode::Io, "cannot write " + PathToUtf8(path) + ": its folder was moved or replaced meanwhile");
  }
  int err = 0;
  bool named_as_target = false;
  if (temp.empty()) {
    // Complete: a new target takes the file's name at once; an existing one
    // is replaced by a rename from a short name, since a link never replaces.
    err = folder->NameUnnamed(f, name);
    named_as_target = err == 0;
    if (err == EEXIST) {
      temp = TemporaryNameIn(folder->Path()).filename();
      registration.emplace(folder->Path() / temp);
      err = folder->NameUnnamed(f, temp);
    }
  }
  if (std::fclose(f) != 0 && err == 0) err = errno;
  if (err) {
    if (named_as_target) folder->Remove(name);  // it was new: nothing old is lost
    if (!temp.empty()) folder->Remove(temp);
    ThrowIo("cannot write", path, err);
  }
  if (named_as_target) return;
  err = folder->Replace(temp, name);
  if (err) {
    folder->Remove(temp);
    ThrowIo("cannot replace", path, err);
  }
}

bool IsSameFile(const fs::path& a, const fs::path& b) {
  const std::optional<FileId> ia = IdentifyFile(a);
  return ia && ia == IdentifyFile(b);
}

void WriteBytes(std::FILE* file, std::span<const std::uint8_t> bytes, const fs::path& path) {
  while (!bytes.empty()) {
    const std::span<const std::uint8_t> piece = bytes.first(std::min(bytes.size(), kWriteBytes));
    if (std::fwrite(piece.data(), 1, piece.size(), file) != piece.size()) ThrowIo("cannot write", path, errno);
    bytes = bytes.subspan(piece.size());
  }
}

void WriteFileAtomically(const TargetFile& target, std::span<const std::uint8_t> data) {
  WriteFileAtomically(target, [&](std::FILE* f) { WriteBytes(f, data, target.path); });
}

}  // namespace img

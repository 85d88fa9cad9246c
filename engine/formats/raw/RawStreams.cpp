#include "engine/formats/raw/RawStreams.h"

#include <limits>

namespace engine {

RawBufferStream::RawBufferStream(std::span<const std::uint8_t> file)
    // Only read through, never written.
    : LibRaw_buffer_datastream(const_cast<std::uint8_t*>(file.data()), file.size()) {}

int RawBufferStream::read(void* into, size_t size, size_t count) {
  const INT64 before = tell();
  const int got = LibRaw_buffer_datastream::read(into, size, count);
  const auto wanted = static_cast<std::uint64_t>(size) * count;
  const auto had = static_cast<std::uint64_t>(tell() - before);
  if (had < wanted) missed_ += wanted - had;
  return got;
}

int RawBufferStream::get_char() {
  const int c = LibRaw_buffer_datastream::get_char();
  if (c < 0) ++missed_;
  return c;
}

RawFileStream::RawFileStream(std::FILE* file) : file_(file) {
  if (file_ && std::fseek(file_, 0, SEEK_END) == 0) {
    const long end = std::ftell(file_);
    if (end >= 0 && std::fseek(file_, 0, SEEK_SET) == 0) size_ = end;
  }
}

int RawFileStream::read(void* into, size_t size, size_t count) {
  return static_cast<int>(std::fread(into, size, count, file_));
}

int RawFileStream::seek(INT64 offset, int whence) {
  const INT64 base = whence == SEEK_CUR ? tell() : whence == SEEK_END ? size_ : 0;
  const INT64 at = base + offset;
  if (at < 0 || at > std::numeric_limits<long>::max()) return -1;
  return std::fseek(file_, static_cast<long>(at), SEEK_SET);
}

INT64 RawFileStream::tell() { return std::ftell(file_); }

int RawFileStream::get_char() { return std::fgetc(file_); }

char* RawFileStream::gets(char* into, int size) { return std::fgets(into, size, file_); }

int RawFileStream::scanf_one(const char* format, void* value) { return std::fscanf(file_, format, value); }

int RawFileStream::eof() { return tell() >= size_ ? 1 : 0; }

}  // namespace engine

#pragma once
// The two ways LibRaw reads a camera raw file here: from the whole file in
// memory (decoding), counting what its decoders ask for past the end, and
// through an open file (the header facts, which read a few kilobytes of a
// file of tens of megabytes).

#include <libraw/libraw.h>

#include <cstdint>
#include <cstdio>
#include <span>

namespace engine {

class RawBufferStream : public LibRaw_buffer_datastream {
 public:
  explicit RawBufferStream(std::span<const std::uint8_t> file);
  int read(void* into, size_t size, size_t count) override;
  int get_char() override;
  // The bytes asked for beyond the file's end so far.
  std::uint64_t MissedBytes() const { return missed_; }

 private:
  std::uint64_t missed_ = 0;
};

// Reads the open file, which stays the caller's; 32-bit offsets where the
// C library has no more (larger files fail to open).
class RawFileStream : public LibRaw_abstract_datastream {
 public:
  explicit RawFileStream(std::FILE* file);
  int valid() override { return size_ >= 0; }
  int read(void* into, size_t size, size_t count) override;
  int seek(INT64 offset, int whence) override;
  INT64 tell() override;
  INT64 size() override { return size_; }
  int get_char() override;
  char* gets(char* into, int size) override;
  int scanf_one(const char* format, void* value) override;
  int eof() override;
  void* make_jas_stream() override { return nullptr; }

 private:
  std::FILE* file_;
  INT64 size_ = -1;
};

}  // namespace engine

#pragma once
// A TIFF file libtiff writes into memory, for the helpers that make test
// files with libtiff's own writer (TiffBytes.h, DngBytes.h).

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace testsupport {

class MemoryTiff {
 public:
  explicit MemoryTiff(const char* name) {
    tiff_ = TIFFClientOpen(name, "w", this, Read, Write, Seek, Close, Size, Map, Unmap);
    if (!tiff_) throw std::runtime_error("TIFFClientOpen failed");
  }
  ~MemoryTiff() {
    if (tiff_) TIFFClose(tiff_);
  }
  MemoryTiff(const MemoryTiff&) = delete;
  MemoryTiff& operator=(const MemoryTiff&) = delete;

  TIFF* get() const { return tiff_; }
  // Closes the file (writing what libtiff still holds) and gives its bytes.
  std::vector<std::uint8_t> Finish() {
    TIFFClose(tiff_);
    tiff_ = nullptr;
    return bytes_;
  }

 private:
  static MemoryTiff& Of(thandle_t h) { return *static_cast<MemoryTiff*>(h); }
  static tmsize_t Read(thandle_t h, void* into, tmsize_t n) {
    MemoryTiff& m = Of(h);
    const std::uint64_t got = m.at_ >= m.bytes_.size() ? 0 : std::min<std::uint64_t>(n, m.bytes_.size() - m.at_);
    std::memcpy(into, m.bytes_.data() + m.at_, got);
    m.at_ += got;
    return static_cast<tmsize_t>(got);
  }
  static tmsize_t Write(thandle_t h, void* from, tmsize_t n) {
    MemoryTiff& m = Of(h);
    if (m.at_ + n > m.bytes_.size()) m.bytes_.resize(m.at_ + n);
    std::memcpy(m.bytes_.data() + m.at_, from, static_cast<std::size_t>(n));
    m.at_ += n;
    return n;
  }
  static toff_t Seek(thandle_t h, toff_t off, int whence) {
    MemoryTiff& m = Of(h);
    m.at_ = (whence == SEEK_CUR ? m.at_ : whence == SEEK_END ? m.bytes_.size() : 0) + off;
    return m.at_;
  }
  static int Close(thandle_t) { return 0; }
  static toff_t Size(thandle_t h) { return Of(h).bytes_.size(); }
  static int Map(thandle_t, void**, toff_t*) { return 0; }
  static void Unmap(thandle_t, void*, toff_t) {}

  std::vector<std::uint8_t> bytes_;
  std::uint64_t at_ = 0;
  TIFF* tiff_ = nullptr;
};

}  // namespace testsupport

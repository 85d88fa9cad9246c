#include "engine/formats/raw/RawCfaCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#include <vector>

namespace engine {

namespace {

// Enough for any camera's file; a loop of directories ends at the first
// seen again.
constexpr std::size_t kMostDirectories = 64;
constexpr std::uint32_t kMostEntries = 4096;
constexpr std::uint32_t kMostSubIfds = 16;

class TiffReader {
 public:
  explicit TiffReader(LibRaw_abstract_datastream& s) : s_(s) {}
  bool Start() {
    std::uint8_t head[8];
    if (!Read(0, head, 8)) return false;
    if (head[0] == 'I' && head[1] == 'I') little_ = true;
    else if (head[0] == 'M' && head[1] == 'M') little_ = false;
    else return false;
    first_ = Get(head + 4, 4);
    return true;
  }
  std::uint32_t First() const { return first_; }
  bool Read(std::uint32_t at, std::uint8_t* into, std::size_t n) { return ReadSome(at, into, n) == n; }
  // The bytes there are of n, up to the file's end.
  std::size_t ReadSome(std::uint32_t at, std::uint8_t* into, std::size_t n) {
    if (s_.seek(at, SEEK_SET) != 0) return 0;
    const int got = s_.read(into, 1, n);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
  }
  std::uint32_t Get(const std::uint8_t* p, int n) const {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[little_ ? n - 1 - i : i];
    return v;
  }

 private:
  LibRaw_abstract_datastream& s_;
  bool little_ = true;
  std::uint32_t first_ = 0;
};

enum : std::uint16_t { kShort = 3, kLong = 4, kIfd = 13 };

}  // namespace

bool HasMisshapenCfaPattern(LibRaw_abstract_datastream& stream) {
  TiffReader tiff(stream);
  if (!tiff.Start()) return false;
  std::vector<std::uint32_t> pending{tiff.First()};
  std::set<std::uint32_t> seen;
  while (!pending.empty() && seen.size() < kMostDirectories) {
    const std::uint32_t at = pending.back();
    pending.pop_back();
    if (at == 0 || !seen.insert(at).second) continue;
    std::uint8_t count[2];
    if (!tiff.Read(at, count, 2)) continue;
    const std::uint32_t n = tiff.Get(count, 2);
    if (n == 0 || n > kMostEntries) continue;
    std::vector<std::uint8_t> entries(12 * std::size_t{n} + 4);
    // A directory cut short is read as far as it goes, as LibRaw does.
    const std::size_t got = tiff.ReadSome(at + 2, entries.data(), entries.size());
    const auto whole = static_cast<std::uint32_t>(std::min<std::size_t>(n, got / 12));
    std::uint32_t pattern = 0, repeat_rows = 0, repeat_columns = 0;
    for (std::uint32_t i = 0; i < whole; ++i) {
      const std::uint8_t* e = entries.data() + 12 * std::size_t{i};
      const std::uint32_t tag = tiff.Get(e, 2), type = tiff.Get(e + 2, 2), values = tiff.Get(e + 4, 4);
      const std::uint8_t* value = e + 8;
      if (tag == 0x828E) {
        pattern = values;
      } else if (tag == 0x828D && values == 2 && type == kShort) {
        repeat_rows = tiff.Get(value, 2);
        repeat_columns = tiff.Get(value + 2, 2);
      } else if (tag == 0x828D && values == 2 && type == kLong) {
        std::uint8_t dims[8];
        if (tiff.Read(tiff.Get(value, 4), dims, 8)) {
          repeat_rows = tiff.Get(dims, 4);
          repeat_columns = tiff.Get(dims + 4, 4);
        }
      } else if ((tag == 0x014A || tag == 0x8769) && (type == kLong || type == kIfd) && values >= 1) {
        if (values == 1) {
          pending.push_back(tiff.Get(value, 4));
        } else {
          std::vector<std::uint8_t> offsets(4 * std::size_t{std::min(values, kMostSubIfds)});
          if (tiff.Read(tiff.Get(value, 4), offsets.data(), offsets.size()))
            for (std::size_t o = 0; o < offsets.size(); o += 4) pending.push_back(tiff.Get(offsets.data() + o, 4));
        }
      }
    }
    if (pattern == 36 && (repeat_rows != 6 || repeat_columns != 6)) return true;
    if (got == entries.size()) pending.push_back(tiff.Get(entries.data() + 12 * std::size_t{n}, 4));
  }
  return false;
}

}  // namespace engine

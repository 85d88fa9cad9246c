#include "engine/formats/raw/RawExif.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <utility>

namespace engine {

namespace {

enum Type : std::uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

struct Entry {
  std::uint16_t tag;
  Type type;
  std::uint32_t count;
  std::vector<std::uint8_t> value;  // little-endian
};

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

Entry Text(std::uint16_t tag, const std::string& text) {
  Entry e{tag, kAscii, 0, {text.begin(), text.end()}};
  e.value.push_back(0);
  e.count = static_cast<std::uint32_t>(e.value.size());
  return e;
}
Entry Short(std::uint16_t tag, std::uint32_t v) {
  Entry e{tag, kShort, 1, {}};
  Put16(e.value, v);
  return e;
}
Entry Long(std::uint16_t tag, std::uint32_t v) {
  Entry e{tag, kLong, 1, {}};
  Put32(e.value, v);
  return e;
}
Entry Rational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator) {
  Entry e{tag, kRational, 1, {}};
  Put32(e.value, numerator);
  Put32(e.value, denominator);
  return e;
}
// Tenths: f-numbers and focal lengths as cameras write them.
Entry Tenths(std::uint16_t tag, float v) {
  return Rational(tag, static_cast<std::uint32_t>(std::lround(std::min(v, 1e8f) * 10)), 10);
}
// 1/n of a second where the time is one, as cameras give short times.
Entry Seconds(std::uint16_t tag, float v) {
  if (v < 1) {
    const double n = std::round(1 / v);
    if (n <= 1e9 && std::abs(1 / n - v) <= v * 0.01) return Rational(tag, 1, static_cast<std::uint32_t>(n));
  }
  return Rational(tag, static_cast<std::uint32_t>(std::lround(std::min(v, 1e5f) * 10000)), 10000);
}

// EXIF's "YYYY:MM:DD HH:MM:SS", in the local time LibRaw read it as.
std::string DateText(std::time_t taken) {
  static std::mutex guard;  // localtime's result is shared
  std::tm t{};
  {
    const std::lock_guard<std::mutex> lock(guard);
    const std::tm* local = std::localtime(&taken);
    if (!local) return {};
    t = *local;
  }
  std::array<char, 32> text{};
  if (std::strftime(text.data(), text.size(), "%Y:%m:%d %H:%M:%S", &t) != 19) return {};
  return text.data();
}

// One IFD at offset, its values past the entries; next: the offset of the
// IFD after it, 0 for none.
void WriteIfd(std::vector<std::uint8_t>& out, std::vector<Entry> entries, std::uint32_t next) {
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
  const auto start = static_cast<std::uint32_t>(out.size());
  std::uint32_t values = start + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
  std::vector<std::uint8_t> tail;
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  for (const Entry& e : entries) {
    Put16(out, e.tag);
    Put16(out, e.type);
    Put32(out, e.count);
    if (e.value.size() <= 4) {
      std::vector<std::uint8_t> inline_value = e.value;
      inline_value.resize(4, 0);
      out.insert(out.end(), inline_value.begin(), inline_value.end());
    } else {
      Put32(out, values + static_cast<std::uint32_t>(tail.size()));
      tail.insert(tail.end(), e.value.begin(), e.value.end());
      if (tail.size() % 2) tail.push_back(0);  // values start on a word
    }
  }
  Put32(out, next);
  out.insert(out.end(), tail.begin(), tail.end());
}

std::uint32_t IfdBytes(const std::vector<Entry>& entries) {
  std::uint32_t bytes = 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
  for (const Entry& e : entries)
    if (e.value.size() > 4) bytes += static_cast<std::uint32_t>((e.value.size() + 1) / 2 * 2);
  return bytes;
}

}  // namespace

std::vector<std::uint8_t> RawExif(const RawShot& shot) {
  std::vector<Entry> exif;
  if (shot.exposure > 0) exif.push_back(Seconds(0x829A, shot.exposure));
  if (shot.aperture > 0) exif.push_back(Tenths(0x829D, shot.aperture));
  if (shot.iso >= 1) exif.push_back(Short(0x8827, static_cast<std::uint32_t>(std::min(shot.iso, 65535.f))));
  if (const std::string date = shot.taken > 0 ? DateText(shot.taken) : ""; !date.empty())
    exif.push_back(Text(0x9003, date));
  if (shot.focalLength > 0) exif.push_back(Tenths(0x920A, shot.focalLength));
  if (!shot.lensMake.empty()) exif.push_back(Text(0xA433, shot.lensMake));
  if (!shot.lens.empty()) exif.push_back(Text(0xA434, shot.lens));

  std::vector<Entry> ifd0;
  if (!shot.make.empty()) ifd0.push_back(Text(0x010F, shot.make));
  if (!shot.model.empty()) ifd0.push_back(Text(0x0110, shot.model));
  ifd0.push_back(Short(0x0112, static_cast<std::uint32_t>(std::clamp(shot.orientation, 1, 8))));
  if (!exif.empty()) {
    // The EXIF IFD follows IFD0, whose size this entry is part of.
    ifd0.push_back(Long(0x8769, 0));
    ifd0.back() = Long(0x8769, 8 + IfdBytes(ifd0));
  }

  std::vector<std::uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
  WriteIfd(out, ifd0, 0);
  if (!exif.empty()) WriteIfd(out, exif, 0);
  return out;
}

int ExifOrientationOfFlip(int flip) {
  // dcraw reads EXIF's 1 to 8 as the flips 0 1 3 2 4 6 7 5.
  static constexpr int kOrientation[8] = {1, 2, 4, 3, 5, 8, 6, 7};
  return flip >= 0 && flip < 8 ? kOrientation[flip] : 1;
}

}  // namespace engine

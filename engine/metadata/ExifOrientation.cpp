#include "engine/metadata/ExifOrientation.h"

#include <optional>
#include <utility>

#include "engine/metadata/ExifTiff.h"
#include "imaging/Mirror.h"
#include "imaging/RightAngleTurn.h"

namespace engine {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;

using TiffReader = ExifTiff;
constexpr std::size_t kEntryBytes = ExifTiff::kEntryBytes;

std::optional<TiffReader> ReaderOf(std::span<const std::uint8_t> exif) { return ExifTiff::Of(exif); }

// Where IFD0's entry for the tag starts in exif, whatever its type; nothing
// when there is none. Only IFD0 is read and no offset is followed but its
// own, so no chain of IFDs can loop.
std::optional<std::size_t> OrientationEntryAt(std::span<const std::uint8_t> exif) {
  const std::optional<TiffReader> tiff = ReaderOf(exif);
  if (!tiff) return std::nullopt;
  const std::uint64_t ifd0 = tiff->U32(4);
  if (ifd0 < 8 || ifd0 + 2 > exif.size()) return std::nullopt;
  const std::uint16_t count = tiff->U16(static_cast<std::size_t>(ifd0));
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t entry = ifd0 + 2 + std::uint64_t{i} * kEntryBytes;
    if (entry + kEntryBytes > exif.size()) return std::nullopt;
    if (tiff->U16(static_cast<std::size_t>(entry)) == kOrientationTag) return static_cast<std::size_t>(entry);
  }
  return std::nullopt;
}

// The first value of the entry at `at`, when its type is a whole number;
// nothing for other types (ASCII, RATIONAL, UNDEFINED ...), no values, a
// negative value or values past the data's end.
std::optional<std::int64_t> FirstWholeValue(const TiffReader& tiff, std::size_t at) {
  const std::uint16_t type = tiff.U16(at + 2);
  const std::uint32_t count = tiff.U32(at + 4);
  std::size_t size = 0;
  bool is_signed = false;
  switch (type) {
    case 1: size = 1; break;                      // BYTE
    case 6: size = 1; is_signed = true; break;    // SBYTE
    case 3: size = 2; break;                      // SHORT
    case 8: size = 2; is_signed = true; break;    // SSHORT
    case 4: size = 4; break;                      // LONG
    case 9: size = 4; is_signed = true; break;    // SLONG
    default: return std::nullopt;
  }
  if (count == 0) return std::nullopt;
  // Values that fit the entry's four bytes are stored there, others at an offset.
  std::uint64_t value_at = at + 8;
  if (std::uint64_t{count} * size > 4) value_at = tiff.U32(at + 8);
  if (value_at + size > tiff.data.size()) return std::nullopt;
  const auto v = static_cast<std::size_t>(value_at);
  switch (size) {
    case 1: return is_signed ? std::int64_t{static_cast<std::int8_t>(tiff.data[v])} : tiff.data[v];
    case 2: return is_signed ? std::int64_t{static_cast<std::int16_t>(tiff.U16(v))} : tiff.U16(v);
    default: return is_signed ? std::int64_t{static_cast<std::int32_t>(tiff.U32(v))} : tiff.U32(v);
  }
}

img::Bitmap Turned(const img::Bitmap& picture, int quarter_turns, img::ParallelParts& parts) {
  const bool sideways = quarter_turns % 2 != 0;
  img::Bitmap result = img::Bitmap::Unfilled(sideways ? picture.height() : picture.width(),
                                             sideways ? picture.width() : picture.height(), picture.format());
  result.palette() = picture.palette();
  img::TurnRightAngle(picture, quarter_turns, result, parts);
  return result;
}

}  // namespace

int ReadExifOrientation(std::span<const std::uint8_t> exif) {
  const std::optional<std::size_t> at = OrientationEntryAt(exif);
  if (!at) return 0;
  const std::optional<std::int64_t> value = FirstWholeValue(*ReaderOf(exif), *at);
  return value && *value >= 1 && *value <= 8 ? static_cast<int>(*value) : 0;
}

bool WriteExifOrientation(std::span<std::uint8_t> exif, int value) {
  const std::optional<std::size_t> at = OrientationEntryAt(exif);
  if (!at || value < 1 || value > 8) return false;
  const bool big_endian = exif[0] == 'M';
  // Type SHORT, count 1, the value in the entry's first two bytes: each
  // field written in the data's byte order.
  auto put16 = [&](std::size_t where, unsigned v) {
    exif[where + (big_endian ? 0 : 1)] = static_cast<std::uint8_t>(v >> 8);
    exif[where + (big_endian ? 1 : 0)] = static_cast<std::uint8_t>(v);
  };
  put16(*at + 2, kTypeShort);
  put16(*at + (big_endian ? 4 : 6), 0);
  put16(*at + (big_endian ? 6 : 4), 1);
  put16(*at + 8, static_cast<unsigned>(value));
  put16(*at + 10, 0);
  return true;
}

void ApplyExifOrientation(img::Bitmap& picture, int orientation, img::ParallelParts& parts) {
  if (orientation < 2 || orientation > 8) return;
  picture.ConvertToWorkFormat();
  // Each orientation as a mirror followed by a clockwise turn.
  static constexpr struct {
    bool left_right, top_bottom;
    int quarter_turns;
  } kSteps[9] = {{},           {},          {true, false, 0}, {false, false, 2}, {false, true, 0},
                 {true, false, 3}, {false, false, 1}, {true, false, 1}, {false, false, 3}};
  const auto& step = kSteps[orientation];
  if (step.left_right) img::MirrorLeftRight(picture, parts);
  if (step.top_bottom) img::MirrorTopBottom(picture);
  if (step.quarter_turns != 0) picture = Turned(picture, step.quarter_turns, parts);
}

int TurnUpright(img::Bitmap& picture, std::span<std::uint8_t> exif, img::ParallelParts& parts) {
  const int orientation = ReadExifOrientation(exif);
  ApplyExifOrientation(picture, orientation, parts);
  WriteExifOrientation(exif, 1);
  return orientation;
}

}  // namespace engine

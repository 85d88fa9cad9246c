#include "engine/ExifOrientation.h"

#include <optional>
#include <utility>

#include "imaging/Mirror.h"
#include "imaging/RightAngleTurn.h"

namespace engine {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::size_t kEntryBytes = 12;

// Reads numbers of the data's byte order; the caller checks every range
// against size first.
struct TiffReader {
  std::span<const std::uint8_t> data;
  bool big_endian = false;

  std::uint16_t U16(std::size_t at) const {
    return big_endian ? static_cast<std::uint16_t>(data[at] << 8 | data[at + 1])
                      : static_cast<std::uint16_t>(data[at + 1] << 8 | data[at]);
  }
  std::uint32_t U32(std::size_t at) const {
    const std::uint32_t hi = U16(at), lo = U16(at + 2);
    return big_endian ? hi << 16 | lo : lo << 16 | hi;
  }
};

// Where the tag's value (a SHORT, in the entry's value field) lies in
// exif; nothing when the data hold no valid tag. Only IFD0 is read and no
// offset is followed but its own, so no chain of IFDs can loop.
std::optional<std::size_t> OrientationValueAt(std::span<const std::uint8_t> exif) {
  if (exif.size() < 8) return std::nullopt;
  TiffReader tiff{exif};
  if (exif[0] == 'M' && exif[1] == 'M')
    tiff.big_endian = true;
  else if (!(exif[0] == 'I' && exif[1] == 'I'))
    return std::nullopt;
  if (tiff.U16(2) != 42) return std::nullopt;
  const std::uint64_t ifd0 = tiff.U32(4);
  if (ifd0 < 8 || ifd0 + 2 > exif.size()) return std::nullopt;
  const std::uint16_t count = tiff.U16(static_cast<std::size_t>(ifd0));
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t entry = ifd0 + 2 + std::uint64_t{i} * kEntryBytes;
    if (entry + kEntryBytes > exif.size()) return std::nullopt;
    const auto at = static_cast<std::size_t>(entry);
    if (tiff.U16(at) != kOrientationTag) continue;
    if (tiff.U16(at + 2) != kTypeShort || tiff.U32(at + 4) != 1) return std::nullopt;
    const std::uint16_t value = tiff.U16(at + 8);
    if (value < 1 || value > 8) return std::nullopt;
    return at + 8;
  }
  return std::nullopt;
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
  const std::optional<std::size_t> at = OrientationValueAt(exif);
  return at ? TiffReader{exif, exif[0] == 'M'}.U16(*at) : 0;
}

bool WriteExifOrientation(std::span<std::uint8_t> exif, int value) {
  const std::optional<std::size_t> at = OrientationValueAt(exif);
  if (!at || value < 1 || value > 8) return false;
  const bool big_endian = exif[0] == 'M';
  exif[*at + (big_endian ? 0 : 1)] = 0;
  exif[*at + (big_endian ? 1 : 0)] = static_cast<std::uint8_t>(value);
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

}  // namespace engine

#pragma once
// Numbers in the TIFF structure of EXIF data, in the data's byte order: the
// reader the EXIF edits share. Callers check every range against the data's
// size first.

#include <cstdint>
#include <optional>
#include <span>

namespace engine {

struct ExifTiff {
  std::span<const std::uint8_t> data;
  bool bigEndian = false;

  static constexpr std::size_t kEntryBytes = 12;  // an IFD entry: tag, type, count, value or offset

  std::uint16_t U16(std::size_t at) const {
    return bigEndian ? static_cast<std::uint16_t>(data[at] << 8 | data[at + 1])
                     : static_cast<std::uint16_t>(data[at + 1] << 8 | data[at]);
  }
  std::uint32_t U32(std::size_t at) const {
    const std::uint32_t hi = U16(at), lo = U16(at + 2);
    return bigEndian ? hi << 16 | lo : lo << 16 | hi;
  }
  void Put16(std::span<std::uint8_t> into, std::size_t at, unsigned v) const {
    into[at + (bigEndian ? 0 : 1)] = static_cast<std::uint8_t>(v >> 8);
    into[at + (bigEndian ? 1 : 0)] = static_cast<std::uint8_t>(v);
  }

  // The reader of exif, when it starts with a TIFF header ("II" or "MM", 42).
  static std::optional<ExifTiff> Of(std::span<const std::uint8_t> exif) {
    if (exif.size() < 8) return std::nullopt;
    ExifTiff tiff{exif};
    if (exif[0] == 'M' && exif[1] == 'M')
      tiff.bigEndian = true;
    else if (!(exif[0] == 'I' && exif[1] == 'I'))
      return std::nullopt;
    if (tiff.U16(2) != 42) return std::nullopt;
    return tiff;
  }
};

}  // namespace engine

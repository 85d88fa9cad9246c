#include "engine/metadata/ExifGps.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "engine/metadata/ExifTiff.h"

namespace engine {

namespace {

constexpr std::uint16_t kGpsIfdTag = 0x8825;
constexpr std::uint64_t kEntryBytes = ExifTiff::kEntryBytes;

// Bytes one value of a TIFF type takes; 0 for a type TIFF does not name.
std::uint64_t TypeBytes(std::uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                  // SHORT, SSHORT
    case 4: case 9: case 11: case 13: return 4;  // LONG, SLONG, FLOAT, IFD
    case 5: case 10: case 12: return 8;        // RATIONAL, SRATIONAL, DOUBLE
    default: return 0;
  }
}

}  // namespace

bool RemoveExifGps(std::span<std::uint8_t> exif) {
  const std::optional<ExifTiff> tiff = ExifTiff::Of(exif);
  if (!tiff) return false;
  const std::uint64_t size = exif.size();
  const std::uint64_t ifd0 = tiff->U32(4);
  if (ifd0 < 8 || ifd0 + 2 > size) return false;
  const std::uint16_t count = tiff->U16(static_cast<std::size_t>(ifd0));
  const std::uint64_t entries_end = ifd0 + 2 + count * kEntryBytes;
  if (entries_end > size) return false;
  std::uint64_t pointer = 0;
  for (std::uint64_t at = ifd0 + 2; at < entries_end && !pointer; at += kEntryBytes)
    if (tiff->U16(static_cast<std::size_t>(at)) == kGpsIfdTag) pointer = at;
  if (!pointer) return false;

  // IFD0 with its next-IFD offset, where the data hold it.
  const std::uint64_t ifd0_end = std::min(entries_end + 4, size);
  auto blank = [&](std::uint64_t from, std::uint64_t bytes) {
    if (from < 8 || bytes > size || from > size - bytes) return;  // a damaged offset: left alone
    if (from < ifd0_end && from + bytes > ifd0) return;
    std::memset(exif.data() + from, 0, static_cast<std::size_t>(bytes));
  };
  const std::uint64_t gps = tiff->U32(static_cast<std::size_t>(pointer + 8));
  if (gps >= 8 && gps + 2 <= size) {
    const std::uint16_t n = tiff->U16(static_cast<std::size_t>(gps));
    for (std::uint64_t at = gps + 2; at < gps + 2 + n * kEntryBytes && at + kEntryBytes <= size; at += kEntryBytes) {
      const std::uint64_t bytes = TypeBytes(tiff->U16(static_cast<std::size_t>(at + 2))) *
                                  tiff->U32(static_cast<std::size_t>(at + 4));
      if (bytes > 4) blank(tiff->U32(static_cast<std::size_t>(at + 8)), bytes);
    }
    blank(gps, std::min(2 + n * kEntryBytes + 4, size - gps));
  }

  // The later entries and the next-IFD offset move up over the pointer's
  // entry; the bytes it frees at the end are zeros.
  std::uint8_t* data = exif.data();
  std::memmove(data + pointer, data + pointer + kEntryBytes, static_cast<std::size_t>(ifd0_end - pointer - kEntryBytes));
  std::memset(data + ifd0_end - kEntryBytes, 0, kEntryBytes);
  tiff->Put16(exif, static_cast<std::size_t>(ifd0), count - 1u);
  return true;
}

}  // namespace engine

#pragma once
// The GPS position in EXIF data (PictureMetadata::exif), taken out before a
// picture is shared.

#include <cstdint>
#include <span>

namespace engine {

// Takes IFD0's pointer to the GPS IFD (tag 0x8825) out of exif in place and
// overwrites the GPS IFD and the values it points to with zeros, so no part
// of the position is left in the bytes. Every other offset stays as it was,
// so the rest of the data stays valid and means what it meant; IFD0 itself is
// never blanked, whatever a damaged pointer says. False, with exif
// unchanged, when IFD0 holds no such pointer.
bool RemoveExifGps(std::span<std::uint8_t> exif);

}  // namespace engine

#pragma once
// The EXIF Orientation tag (0x0112 in IFD0): read from the TIFF structure of
// EXIF data (PictureMetadata::exif), reset in place once the pixels stand
// upright, and applied to a picture's pixels. Every read is checked against
// the data's end; data that hold no valid tag have no orientation.
//
// The tag is meant to be one SHORT. An entry of another whole-number type
// (BYTE, LONG, SSHORT, SLONG ...) or with more values is read all the same,
// by its first value, as lenient viewers read it; whatever the entry held,
// the reset leaves one SHORT of 1, so no viewer turns the upright picture
// again.

#include <cstdint>
#include <span>

#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"

namespace engine {

// The tag's value, 1 to 8; 0 when the data hold no IFD0 entry for it of a
// whole-number type whose first value is in that range.
int ReadExifOrientation(std::span<const std::uint8_t> exif);

// Makes IFD0's entry for the tag one SHORT of value (1 to 8) in place,
// whatever it held (a value no reader takes included); false, with exif
// unchanged, when there is no such entry.
bool WriteExifOrientation(std::span<std::uint8_t> exif, int value);

// Turns and mirrors picture so that a picture stored with this orientation
// stands as it is meant to be seen: 2 mirrored left-right, 3 a half turn,
// 4 mirrored top-bottom, 5 mirrored about the main diagonal (transpose),
// 6 a quarter turn clockwise, 7 mirrored about the other diagonal, 8 three
// quarter turns. 1 and anything else leave picture as it is; the others
// leave it in its work format (Bitmap::ConvertToWorkFormat).
void ApplyExifOrientation(img::Bitmap& picture, int orientation, img::ParallelParts& parts);

// Applies the orientation exif holds to picture and resets the tag to 1;
// gives the orientation applied (0 when there was none).
int TurnUpright(img::Bitmap& picture, std::span<std::uint8_t> exif, img::ParallelParts& parts);

}  // namespace engine

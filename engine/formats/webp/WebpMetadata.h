#pragma once
// The metadata of a WebP file: its container's ICCP, EXIF and "XMP " chunks,
// read through libwebp's demux and added through its mux. WebP has no
// place for a comment.

#include <cstdint>
#include <span>
#include <vector>

#include "engine/metadata/PictureMetadata.h"

namespace engine {

// Replaces metadata's ICC profile, EXIF and XMP packet with those of file
// (a whole WebP file); a file libwebp's demux does not take gives none.
// EXIF that begins with a JPEG marker's "Exif\0\0" name (as some writers
// store it) is taken from its TIFF header on.
void ReadWebpMetadata(std::span<const std::uint8_t> file, PictureMetadata& metadata);

// file (a still WebP as libwebp's encoder makes it) with metadata's ICC
// profile, EXIF and XMP packet in their chunks of the extended format;
// file as it is when metadata holds none of them. Throws img::ImageError
// when libwebp's mux refuses.
std::vector<std::uint8_t> WithWebpMetadata(std::vector<std::uint8_t> file, const PictureMetadata& metadata);

}  // namespace engine

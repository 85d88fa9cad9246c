#pragma once
// A JPEG file's own bytes with only the metadata markers its targets carry:
// what a writer stores that keeps a JPEG's coded data as they are (JPEG
// XL's lossless recompression), so that it carries the same metadata as a
// target encoded from the pixels.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/metadata/PictureMetadata.h"

namespace engine {

struct JpegStream {
  std::vector<std::uint8_t> bytes;  // from SOI to EOI
  int width = 0, height = 0;        // as its frame header says
  int components = 0;               // 1 grey, 3 colour, 4 CMYK
  bool progressive = false;         // its frame is progressive
};

// file's segments and coded data as they are, in their order, but for the
// metadata markers: the first APP1 "Exif" marker, the first APP1 XMP
// marker and the first COM marker (those the loader reads) each carry
// carried's part instead (the same bytes, where the metadata rules left it
// as it was), or go when carried has none; the APP2 "ICC_PROFILE" markers
// stay when carried holds their profile and go when it holds none. Every
// other APPn (IPTC, MPF, a maker's own, a JFXX thumbnail) is left out, as
// every target encoded from the pixels leaves it out, but for JFIF's APP0
// and Adobe's APP14, which say how the data are coded. Nothing past EOI
// (an MPF file's second picture) is kept. nullopt when file is no whole
// JPEG stream (no frame header before the first scan, a segment past its
// end, no EOI), or when carried holds a part the stream cannot carry (one
// the file has no marker for, a profile other than the file's).
std::optional<JpegStream> WithCarriedMarkers(std::span<const std::uint8_t> file, const PictureMetadata& carried);

}  // namespace engine

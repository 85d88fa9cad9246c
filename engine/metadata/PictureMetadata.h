#pragma once
// What a picture file says about its picture besides the pixels, carried
// from a source into its targets as the bytes they are.

#include <cstdint>
#include <vector>

namespace engine {

struct PictureMetadata {
  // The EXIF data from their TIFF header on (byte order, 42, IFD0 offset):
  // a JPEG's APP1 "Exif" marker after its six-byte name, a PNG's eXIf chunk,
  // a WebP's EXIF chunk.
  std::vector<std::uint8_t> exif;
  // The ICC colour profile, whole (a JPEG's APP2 "ICC_PROFILE" markers
  // joined, a PNG's iCCP chunk inflated, a WebP's ICCP chunk).
  std::vector<std::uint8_t> icc;
  // The XMP packet, UTF-8 (a JPEG's APP1 marker after its XMP name, a PNG's
  // iTXt "XML:com.adobe.xmp" text, a WebP's "XMP " chunk).
  std::vector<std::uint8_t> xmp;
  // The picture's comment: a JPEG's COM marker, a PNG's "Comment" text.
  std::vector<std::uint8_t> comment;
  // An ICC profile made from colour the file tells as numbers instead (a
  // HEIF's nclx colour), to convert the picture to sRGB with; never
  // carried (KeepCarried drops it): targets hold no such numbers.
  std::vector<std::uint8_t> codedColour;

  bool empty() const { return exif.empty() && icc.empty() && xmp.empty() && comment.empty() && codedColour.empty(); }
  void clear() {
    exif.clear();
    icc.clear();
    xmp.clear();
    comment.clear();
    codedColour.clear();
  }
};

}  // namespace engine

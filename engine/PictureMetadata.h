#pragma once
// What a picture file says about its picture besides the pixels, carried
// from a source into its targets as the bytes they are.

#include <cstdint>
#include <vector>

namespace engine {

struct PictureMetadata {
  // The EXIF data from their TIFF header on (byte order, 42, IFD0 offset):
  // a JPEG's APP1 "Exif" marker after its six-byte name, a PNG's eXIf chunk.
  std::vector<std::uint8_t> exif;
  // The ICC colour profile, whole (a JPEG's APP2 "ICC_PROFILE" markers
  // joined, a PNG's iCCP chunk inflated).
  std::vector<std::uint8_t> icc;

  bool empty() const { return exif.empty() && icc.empty(); }
  void clear() {
    exif.clear();
    icc.clear();
  }
};

}  // namespace engine

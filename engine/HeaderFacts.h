#pragma once
// What a picture file's header tells before anything is decoded: its size,
// the bytes per pixel its decode and its pixel work take, and what its
// decoder holds beside the picture. The memory estimate (PictureMemory.h)
// reads these through the format table; each format's codec says them.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace engine {

using PictureHead = std::span<const std::uint8_t>;

// The bytes of a file's start every header function is given: enough for
// every header but a JPEG's, which is read through the file.
inline constexpr std::size_t kHeadBytes = 64 * 1024;

// What the header tells; width 0 when it could not be read.
struct HeaderFacts {
  long long width = 0, height = 0;
  int decoded = 3;                 // bytes per pixel of the decoded picture
  int worked = 3;                  // ... of the work picture
  bool alpha = false;              // the picture has alpha
  std::uint64_t decoder = 0;       // bytes the decoder holds beside the picture
  bool oriented = false;           // its EXIF orientation turns it, or may: not told in the header
  int orientation = 0;             // the EXIF orientation, 1 to 8, where the header tells it (JPEG, TIFF); else 0
};

// The facts of the formats this tree has always read; head is the file's
// first kHeadBytes (fewer for a shorter file), file the file itself.
HeaderFacts BmpFacts(PictureHead head, const std::filesystem::path& file);
HeaderFacts JpegFacts(PictureHead head, const std::filesystem::path& file);
HeaderFacts PngFacts(PictureHead head, const std::filesystem::path& file);
HeaderFacts WebpFacts(PictureHead head, const std::filesystem::path& file);

}  // namespace engine

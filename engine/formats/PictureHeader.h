#pragma once
// What a picture file's header tells before anything is decoded, read at
// one of two depths. At the head: its size, the bytes per pixel its decode
// and its pixel work take, what its decoder holds beside the picture, and
// whether its EXIF orientation may turn it (the memory estimate,
// PictureMemory.h). On to the orientation: also the EXIF orientation its
// loader will find, wherever in the file it stands (a run names targets by
// their size, imgbatch's --name with {w} or {h}). Each format's codec reads
// its own header for the format table.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

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
  bool oriented = false;           // its EXIF orientation turns it, or may: not told in the head
  int orientation = 0;             // the EXIF orientation, 1 to 8, where it was read; else 0
  int frames = 1;                  // an animation's frames (GIF, WebP), counted without decoding
};

enum class HeaderDepth {
  Head,         // what the file's first kHeadBytes tell (a JPEG's and a TIFF's orientation too)
  Orientation,  // and the orientation the loader will find, read through the file where it must be
};

// The header of the file at path (UTF-8), read for the loader LoadPicture
// would choose (PictureFormats.h). Nothing when the file is no picture or
// its header cannot be read; its conversion fails then.
std::optional<HeaderFacts> ReadPictureHeader(const std::string& path, HeaderDepth depth);

}  // namespace engine

#pragma once
// What a picture file says of its picture before the pixels: its size and
// its EXIF orientation, read as the loaders read them. A run names targets
// by their size (imgbatch's --name with {w} or {h}) before it decodes them.

#include <filesystem>
#include <optional>
#include <string>

#include "engine/ConversionOptions.h"
#include "engine/HeaderFacts.h"
#include "engine/ResizeRules.h"

namespace engine {

struct PictureHeader {
  int width = 0;
  int height = 0;
  int orientation = 0;  // the EXIF orientation the loader would find, 1 to 8; 0 for none
};

// The header of the file at path (UTF-8), read for the loader LoadPicture
// would choose, through the format table's header reader: a JPEG's frame
// header and first EXIF marker, a PNG's IHDR and first eXIf chunk libpng
// would keep (wherever it stands), a WebP's header and the EXIF chunk of
// its container, a BMP's info header. A kind without a header reader of
// its own is decoded. Nothing when the file is
// no picture or its header cannot be read; its conversion fails then.
std::optional<PictureHeader> ReadPictureHeader(const std::string& path);

// The headers of the formats this tree has always read, for the format
// table: head is the file's first kHeadBytes, file the file itself.
std::optional<PictureHeader> BmpHeader(PictureHead head, const std::filesystem::path& file);
std::optional<PictureHeader> JpegHeader(PictureHead head, const std::filesystem::path& file);
std::optional<PictureHeader> PngHeader(PictureHead head, const std::filesystem::path& file);
std::optional<PictureHeader> WebpHeader(PictureHead head, const std::filesystem::path& file);

// The size of the picture a conversion with options makes of a picture
// with this header: turned upright (autoOrient), resized (PlanResize),
// turned by the rotation.
TargetSize MadePictureSize(const PictureHeader& header, const ProcessingOptions& options);

}  // namespace engine

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
// would choose: its size from the format's header facts, its orientation
// from the format's orientation reader (a PNG's first eXIf chunk libpng
// would keep, wherever it stands; a WebP's EXIF chunk of its container), or
// from the facts (a JPEG's first EXIF marker); a format without either has
// none. Nothing when the file is
// no picture or its header cannot be read; its conversion fails then.
std::optional<PictureHeader> ReadPictureHeader(const std::string& path);

// The EXIF orientation a PNG's or a WebP's loader will find (1 to 8; 0 for
// none), for the format table: head is the file's first kHeadBytes, file
// the file itself.
int PngOrientation(PictureHead head, const std::filesystem::path& file);
int WebpOrientation(PictureHead head, const std::filesystem::path& file);

// The size of the picture a conversion with options makes of a picture
// with this header: turned upright (autoOrient), resized (PlanResize),
// turned by the rotation.
TargetSize MadePictureSize(const PictureHeader& header, const ProcessingOptions& options);

}  // namespace engine

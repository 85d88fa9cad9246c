#pragma once
// A picture decoded to be looked at (the window's previews): upright as its
// EXIF orientation says, as the conversions write it by default.

#include <string>

#include "engine/formats/PictureCodecs.h"
#include "imaging/Bitmap.h"

namespace engine {

// Decodes the picture at path as LoadPicture does (fit and codecs alike),
// then turns it upright; gives the size of the file's picture as it stands
// upright (width and height swapped for a picture lying on its side).
// Throws as LoadPicture does.
PictureSize LoadUprightPicture(const std::string& path, img::Bitmap& picture, PictureSize fit = {},
                               PictureCodecs* codecs = nullptr);

}  // namespace engine

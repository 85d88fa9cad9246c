#pragma once
// HEIF files (HEIC from phones, AVIF) read, and AVIF written, through
// libheif and the decoders and encoders it was built with. A build without
// libheif (IMGCONVERT_HEIF=OFF) has none of this but HeifFormats(), which is
// then empty, so the format table and --version leave the three out.

#include <cstdint>
#include <span>
#include <vector>

#include "engine/formats/PictureHeader.h"
#include "engine/metadata/PictureMetadata.h"
#include "imaging/Bitmap.h"

namespace engine {

struct PictureFormat;

// The format table's entries for AVIF (read and written), HEIC and HEIF
// (read), in that order, as far as the libheif at hand has their decoders
// (AV1, HEVC) and AVIF's encoder; none in a build without libheif.
std::span<const PictureFormat> HeifFormats();

// True when head starts an ISO media file whose main brand is a HEIF
// picture's (HEVC coded or the brand-neutral mif1/msf1), or an AVIF's.
bool IsHeif(PictureHead head);
bool IsAvif(PictureHead head);

// The file's primary picture, turned and cropped as the file's own
// transformations say (they belong to the picture, unlike EXIF's hint):
// 32 bits (Bits32Alpha, colour not premultiplied) with alpha, else 24 bits;
// more than 8 bits a sample are rounded to 8. The size is checked against
// the pixel limit before anything is decoded. With metadata, its ICC
// profile, EXIF data (the Orientation tag reset to 1: the pixels already
// stand as they are meant to) and XMP packet go there. A corrupt, truncated
// or unsupported file throws img::ImageError and leaves out as it was, and
// so does a page (0 the first) other than 0: only the primary is read.
// Gives the file's count of top-level pictures.
int DecodeHeif(std::span<const std::uint8_t> file, img::Bitmap& out, PictureMetadata* metadata = nullptr,
               int page = 0);

// An AVIF file of picture at quality (1 to 100), 8-bit, 4:2:0, with its
// alpha where it is Bits32Alpha. With carried metadata, an RGB ICC profile,
// the EXIF data and the XMP packet go in, and an EXIF orientation other
// than 1 becomes the file's own turn (pixels kept as stored).
std::vector<std::uint8_t> EncodeAvif(const img::Bitmap& picture, int quality,
                                     const PictureMetadata* carried = nullptr);

}  // namespace engine

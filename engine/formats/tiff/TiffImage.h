#pragma once
// TIFF files, read and written through libtiff. Read: one page of the file
// (the first unless asked), 8- or 16-bit samples, RGB, grey, palette or CMYK (and what else
// libtiff's RGBA reader takes), with alpha where the file has it. Written:
// 8-bit RGB, RGB with alpha or grey, Deflate-compressed with the horizontal
// predictor.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "engine/colour/KeptSrgbTransform.h"
#include "engine/formats/PictureHeader.h"
#include "engine/formats/PictureCodecs.h"
#include "engine/metadata/PictureMetadata.h"
#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"
#include "imaging/ProgressSink.h"

namespace engine {

// True when head starts a classic or a big TIFF file, either byte order.
bool IsTiff(PictureHead head);

// The page-th picture of the file (0 the first; a reduced copy of another,
// a thumbnail, is no page), its rows as stored: an 8-bit grey picture
// (the grey ramp as palette) for grey files without alpha, 32 bits with
// alpha (Bits32Alpha, not premultiplied) where the file has alpha, else 24
// bits. 16-bit samples are rounded to 8 bits. CMYK comes into sRGB through
// the file's own CMYK profile (strips of four 8- or 16-bit samples), else
// by libtiff's formula, and then colour_note, when given, says so.
// With metadata, its ICC profile and XMP packet go there, and an
// Orientation tag other than 1 as EXIF data holding that tag alone, so the
// picture is turned upright by the rule of the other formats. The size is
// checked against the pixel limit before anything is allocated; a corrupt
// or truncated file, or one of fewer pages, throws img::ImageError and
// leaves out as it was. Gives the file's count of pages.
// kept, when given, keeps the CMYK profile's transform for the next picture.
int DecodeTiff(std::span<const std::uint8_t> file, img::Bitmap& out, PictureMetadata* metadata = nullptr,
               int page = 0, std::string* colour_note = nullptr, KeptSrgbTransform* kept = nullptr);

// The file for picture: grey pictures as 8-bit grey, Bits32Alpha as RGB
// with unassociated alpha, every other format as 8-bit RGB. With carried
// metadata, an ICC profile that fits the pixels, the XMP packet and the
// EXIF orientation go into the file's own tags.
std::vector<std::uint8_t> EncodeTiff(const img::Bitmap& picture, const PictureMetadata* carried = nullptr);

// The format table's loader, writer and header facts.
PictureSize LoadTiff(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture,
                     PictureSize fit);
void WriteTiff(PictureCodecs& codecs, const img::Bitmap& picture, const img::TargetFile& path,
               img::ProgressSink& sink, img::ParallelParts& parts);
HeaderFacts TiffFacts(PictureHead head, const std::filesystem::path& file);

}  // namespace engine

#pragma once
// Camera raw files (DNG, CR2, CR3, NEF, ARW, RAF, ORF, RW2, PEF, SRW) read
// through LibRaw: developed from the sensor data with the camera's white
// balance into 8-bit sRGB, or taken from the JPEG preview the camera
// embedded where it is large enough. Only read. A build without LibRaw
// (IMGCONVERT_RAW=OFF) has none of this but RawFormats(), which is then
// empty, so the format table and --version leave them out.
//
// Which files are raw: CR3 (an ISO media file of brand "crx "), RAF, ORF
// and RW2 by their own signatures; the others begin as any TIFF file does
// (a DNG is one), so a file with a TIFF header is a raw file when its
// extension names one, and a TIFF otherwise.

#include <cstdint>
#include <filesystem>
#include <span>

#include "engine/formats/PictureCodecs.h"
#include "engine/formats/PictureHeader.h"
#include "engine/metadata/PictureMetadata.h"
#include "imaging/Bitmap.h"

namespace engine {

struct PictureFormat;

// The format table's entries, one per extension, all of one kind.
std::span<const PictureFormat> RawFormats();

bool IsCr3(PictureHead head);
bool IsRaf(PictureHead head);
bool IsOrf(PictureHead head);
bool IsRw2(PictureHead head);

// The picture of a raw file, as stored by the sensor (not yet turned):
// 24 bits, or an 8-bit grey picture from a monochrome sensor. With
// previews, the embedded JPEG preview where it decodes and is at least as
// large as previews says, else the developed picture. With metadata, EXIF
// data made from the camera's fields (RawExif.h) go there, with the
// orientation the pixels are to be turned by. The raw data and the
// developed size are checked against the pixel limit before anything is
// decoded; a corrupt, truncated or unsupported file throws img::ImageError
// and leaves out as it was.
// Gives the developed picture's size, as stored.
PictureSize DecodeRaw(std::span<const std::uint8_t> file, img::Bitmap& out, PictureMetadata* metadata = nullptr,
                      const PictureCodecs::PreviewWanted* previews = nullptr);

// What the header tells: the developed size, the orientation, and what
// LibRaw holds beside the picture while it develops (the raw data and its
// four-sample working picture).
HeaderFacts RawFacts(PictureHead head, const std::filesystem::path& file);

}  // namespace engine

#pragma once
// JPEG XL files read and written through libjxl (0.7), and JPEG files
// recompressed into them without loss. A build without libjxl
// (IMGCONVERT_JXL=OFF) has none of this but JxlFormats(), which is then
// empty, so the format table and --version leave JXL out.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/formats/EncodingOptions.h"
#include "engine/formats/PictureHeader.h"
#include "engine/metadata/PictureMetadata.h"
#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"

namespace engine {

struct PictureFormat;

// The format table's entry for JXL (read and written); none in a build
// without libjxl.
std::span<const PictureFormat> JxlFormats();

// True when head starts a JPEG XL codestream or the container around one.
bool IsJxl(PictureHead head);

// What a JXL file's header tells of the picture its decode gives.
struct JxlHeader {
  long long width = 0, height = 0;  // as shown: the codestream's turn applied
  bool grey = false;
  bool alpha = false;
  int extraChannels = 0;  // alpha among them: each a plane the decoder holds
};
// The header at the start of file; nothing when it is not there whole.
std::optional<JxlHeader> ReadJxlHeader(std::span<const std::uint8_t> file);

// The file's first displayed frame, upright as the codestream says (its
// turn belongs to the picture, unlike EXIF's hint): 24 bits, 32 bits with
// alpha (Bits32Alpha, colour not premultiplied), grey files an 8-bit
// picture with the grey ramp as its palette; more than 8 bits a sample are
// rounded to 8. Lossy colour comes in the colour space the file names
// where libjxl can give it, else in sRGB. The picture and every layer it
// is composed of are checked against the pixel limit before anything is
// decoded. With metadata, the ICC profile of the decoded pixels (none for
// sRGB), the EXIF data (the Orientation tag reset to 1: the pixels already
// stand upright) and the XMP packet go there. A corrupt, truncated or
// unsupported file throws img::ImageError and leaves out as it was.
void DecodeJxl(std::span<const std::uint8_t> file, img::Bitmap& out, PictureMetadata* metadata = nullptr);

// How a picture is encoded: lossy at quality (1 to 100, 100 lossless, as
// libjxl's own mapping makes a distance of it) or lossless, at libjxl's
// effort (1 fastest to 9 smallest).
struct JxlSettings {
  int quality = kDefaultJxlQuality;
  bool lossless = false;
  int effort = kDefaultJxlEffort;
};

// libjxl's distance for quality 1 to 100 (0 for 100: lossless), by the
// mapping libjxl documents for its own quality scale.
float JxlDistance(int quality);

// A JXL file of picture: grey pictures (Bitmap::IsGrey) as grey, alpha
// kept where it is Bits32Alpha. With carried metadata, its ICC profile when
// it fits the pixels and libjxl can read it (else sRGB, and a line in
// left_out says so), its EXIF data and XMP packet go in, and an EXIF
// orientation other than 1 becomes the codestream's own turn (pixels kept
// as stored). libjxl's threads are parts' threads.
std::vector<std::uint8_t> EncodeJxl(const img::Bitmap& picture, const JxlSettings& settings,
                                    const PictureMetadata* carried, img::ParallelParts& parts,
                                    std::vector<std::string>* left_out = nullptr);

// jpeg, a whole JPEG file, recompressed without loss with what libjxl needs
// to give that file back byte for byte: its coded data, every marker and
// the EXIF and XMP it holds (in their boxes). Nothing when libjxl does not
// take that JPEG (CMYK, a coding it does not keep).
std::optional<std::vector<std::uint8_t>> RecompressJpeg(std::span<const std::uint8_t> jpeg, int effort,
                                                        img::ParallelParts& parts);

}  // namespace engine

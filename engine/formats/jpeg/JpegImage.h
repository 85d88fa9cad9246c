#pragma once
// The JPEG codec object, through the libjpeg API (libjpeg-turbo). One object
// is created per converter and reused for every picture; only the pixel
// buffers are per picture.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/formats/EncodingOptions.h"
#include "engine/formats/PictureHeader.h"
#include "engine/metadata/PictureMetadata.h"
#include "imaging/Bitmap.h"

namespace engine {

// How the encoder codes a picture beside its quality. The defaults are the
// library's: sequential, standard Huffman tables, 4:2:0.
struct JpegCoding {
  bool progressive = false;  // libjpeg's simple progression script
  bool optimize = false;     // Huffman tables made for the picture (progressive files always have them)
  ChromaSampling sampling = ChromaSampling::Yuv420;  // colour pictures only

  bool operator==(const JpegCoding&) const = default;
};

class JpegImage {
 public:
  JpegImage();
  ~JpegImage();
  JpegImage(const JpegImage&) = delete;
  JpegImage& operator=(const JpegImage&) = delete;

  // Quality on the 1 to 100 scale used by the next Encode/Save.
  void SetQuality(int quality);
  int quality() const { return quality_; }
  // The coding used by the next Encode/Save.
  void SetCoding(const JpegCoding& coding) { coding_ = coding; }

  // Decodes with the library's defaults (accurate integer DCT, smooth
  // upsampling): colour files give 24 bits, greyscale files an 8-bit picture
  // with a grey palette; CMYK/YCCK (Adobe's inverted inks) come out in sRGB
  // through the file's own CMYK profile, by the formula of CmykByFormula
  // when it has none. scale_denom
  // 1, 2, 4 or 8 decodes at that fraction of the size (previews). A corrupt
  // or truncated file throws img::ImageError and leaves out unchanged; so
  // does a file in which libjpeg had to make up pixels (data ending early or
  // broken coded data), while stray bytes between markers are tolerated.
  // With metadata, a decoded file's EXIF (the first APP1 "Exif" marker), XMP
  // packet (the first APP1 XMP marker), comment (the first COM marker) and
  // ICC profile (its APP2 "ICC_PROFILE" markers, when they form a whole
  // profile) replace metadata's; without, no marker is kept.
  void Load(const std::filesystem::path& path, img::Bitmap& out, int scale_denom = 1,
            PictureMetadata* metadata = nullptr);
  void LoadFromMemory(std::span<const std::uint8_t> data, img::Bitmap& out, int scale_denom = 1,
                      PictureMetadata* metadata = nullptr);

  // After a Load: the picture was CMYK without a CMYK profile that
  // littleCMS reads, so its inks were turned into RGB by a formula (each
  // ink's inverse times black's), not a colour-managed conversion.
  bool CmykByFormula() const { return cmyk_by_formula_; }
  // Width and height from data's header, and with metadata its metadata
  // as Load reads them, without decoding the pixels; a header that cannot
  // be read throws img::ImageError.
  std::pair<int, int> LoadHeader(std::span<const std::uint8_t> data, PictureMetadata* metadata);
  // With keep, a file whose coded data are broken or end early gives what
  // decodes, as other decoders show it (rows past a failure grey), and
  // Damage tells what was lost until the next decode (empty for a whole
  // file). A file whose header cannot be read, or of which no row decodes,
  // fails all the same.
  void KeepDamaged(bool keep);
  const std::string& Damage() const;

  // Width and height from the header alone (JpegFacts); throws
  // img::ImageError when it cannot be read.
  static std::pair<int, int> ReadSize(const std::filesystem::path& path);

  // Encodes picture with the library defaults at quality() and the
  // coding set: baseline tables; a grey picture (Bitmap::IsGrey) as one
  // grey component, any other as a 24-bit copy in three components at the
  // coding's sampling (a picture with alpha laid over white).
  // Returns the whole file. With metadata, the JFIF marker is followed by
  // its EXIF as an APP1 "Exif" marker, its XMP packet as an APP1 XMP marker,
  // its ICC profile, when it describes the coded colour space (grey or RGB),
  // as APP2 "ICC_PROFILE" markers and its comment as a COM marker; a part
  // too large for its markers is left out (LeftOut).
  std::vector<std::uint8_t> Encode(const img::Bitmap& picture,
                                   const PictureMetadata* metadata = nullptr);
  // The parts of metadata that Encode leaves out, one line each saying
  // which and why.
  static std::vector<std::string> LeftOut(const PictureMetadata& metadata);
  // Encode, then write through a temporary file renamed over path.
  void Save(const img::Bitmap& picture, const img::TargetFile& path);

  // The bytes kept between pictures for reuse (pixel buffers, the output
  // buffer), and giving them back.
  std::size_t KeptBytes() const;
  void HandBack();

 private:
  struct Codec;
  std::unique_ptr<Codec> codec_;
  int quality_ = 100;
  JpegCoding coding_;
  bool cmyk_by_formula_ = false;
};

// What the header tells, read through the file up to the first scan (its
// markers may be longer than any head): the format table's header facts.
HeaderFacts JpegFacts(PictureHead head, const std::filesystem::path& file);

}  // namespace engine

#pragma once
// The PNG codec object: libpng reads, PngStreamWriter writes. Created once
// per converter and reused.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/formats/EncodingOptions.h"
#include "engine/metadata/PictureMetadata.h"
#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"
#include "imaging/ProgressSink.h"

namespace engine {

class PngImage {
 public:
  PngImage();
  ~PngImage();
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;

  // Palette files give 1/4/8-bit palette pictures (2-bit as 4-bit), grey
  // files an 8-bit grey picture (the grey ramp as palette; 16-bit channels
  // to 8), colour files 24 bits; any transparency (alpha channel, tRNS) a
  // picture with alpha (Bits32Alpha, greys as colours).
  // Pixels are taken as stored (gamma and colour chunks are not applied).
  // Failures throw img::ImageError and leave out unchanged. With metadata,
  // a decoded file's eXIf and iCCP chunks (the profile inflated) and its
  // "XML:com.adobe.xmp" and "Comment" texts replace metadata's, those after
  // the image data included; without, the file is read only up to the end
  // of its image data.
  void Load(const std::filesystem::path& path, img::Bitmap& out, PictureMetadata* metadata = nullptr);
  void LoadFromMemory(std::span<const std::uint8_t> data, img::Bitmap& out,
                      PictureMetadata* metadata = nullptr);
  // With keep, a file that is not interlaced and whose data break or end
  // part way through its rows gives the rows libpng finished, the rest grey
  // (clear with alpha, index 0 with a palette), and Damage tells what was
  // lost until the next decode (empty for a whole file). A file whose
  // header cannot be read, or of which no row decodes, fails all the same.
  void KeepDamaged(bool keep);
  const std::string& Damage() const;

  // Not interlaced; rows filtered and deflated as SetCompression last said
  // (by default every row with filter type 0, None, at zlib's default
  // level). Grey pictures become 8-bit grey PNGs, other 1, 4 and
  // 8-bit pictures palette PNGs of that depth with their palette, pictures
  // with alpha 8-bit RGBA, every other format 8-bit RGB. Large pictures are
  // deflated in parts, on the parts given (else on the caller alone); the
  // picture must stay unchanged until it returns. Given metadata, Save
  // writes it as PngStreamWriter does.
  std::vector<std::uint8_t> Encode(const img::Bitmap& picture);
  void Save(const img::Bitmap& picture, const img::TargetFile& path);
  void Save(const img::Bitmap& picture, const img::TargetFile& path, img::ParallelParts& parts,
            const PictureMetadata* metadata = nullptr);

  // zlib's level (0 to 9) and the row filters of what is written from now on.
  void SetCompression(int level, PngFiltering filtering);

  // The bytes kept between pictures for reuse (the decode target and its
  // row buffer), and giving them back.
  std::size_t KeptBytes() const;
  void HandBack();

 private:
  struct Codec;
  std::unique_ptr<Codec> codec_;
};

}  // namespace engine

#pragma once
// The WebP codec object, through libwebp. imgbatch reads and writes WebP;
// the window does not. Created once per converter and reused.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "engine/formats/EncodingOptions.h"
#include "engine/formats/PictureCodecs.h"
#include "imaging/Bitmap.h"

namespace engine {

class WebpImage {
 public:
  // Pictures give 24 bits, or 32 bits with alpha (Bits32Alpha) when the
  // file has an alpha channel; an animation gives frame page (0 the first)
  // on its canvas, as a viewer shows it then. The size is checked against
  // the pixel limit before anything is allocated. Corrupt and truncated
  // files, and a page past the last, throw img::ImageError and leave out
  // unchanged. Give the file's count of frames. With animation and page
  // 0, an animation of several frames gives every frame there (32 bits),
  // with its time and the loop count; else it is left empty.
  int Load(const std::filesystem::path& path, img::Bitmap& out, int page = 0, Animation* animation = nullptr);
  int LoadFromMemory(std::span<const std::uint8_t> data, img::Bitmap& out, int page = 0,
                     Animation* animation = nullptr);

  // picture, lossy at quality (1 to 100) or lossless, with its alpha
  // channel when it has one (Bits32Alpha), else from a 24-bit copy, at
  // libwebp's method effort (0 to 6); returns the whole file. At the
  // default effort the bytes are those of libwebp's one-call encoders. A
  // side over 16383 pixels, which WebP cannot hold, throws img::ImageError.
  std::vector<std::uint8_t> Encode(const img::Bitmap& picture, int quality, bool lossless,
                                   int effort = kDefaultWebpEffort);
  // An animated file of the frames (every one of one size), each shown its
  // time, played the animation's loops, encoded as Encode encodes a still
  // picture, through libwebp's animation encoder.
  std::vector<std::uint8_t> EncodeAnimation(const Animation& animation, int quality, bool lossless,
                                            int effort = kDefaultWebpEffort);
  // Encode, then write through a temporary file renamed over path.
  void Save(const img::Bitmap& picture, const img::TargetFile& path, int quality, bool lossless);

  // The bytes kept between pictures for reuse, and giving them back.
  std::size_t KeptBytes() const;
  void HandBack();

 private:
  int LoadFrame(std::span<const std::uint8_t> data, int page, Animation* animation);
  // picture as the encoder imports it (copy24_ for the formats it does not).
  const img::Bitmap& Encodable(const img::Bitmap& picture);

  img::Bitmap spare_;                // decode target, kept to be reused
  img::Bitmap copy24_;               // the encoder's 24-bit copy of other formats
};

}  // namespace engine

#pragma once
// How the encoders write the targets: the settings every writer of the
// format table reads from the codec set.

#include <cstdint>

namespace engine {

inline constexpr int kDefaultJpegQuality = 100;  // as the window has always written
inline constexpr int kDefaultWebpQuality = 90;
inline constexpr int kDefaultAvifQuality = 60;  // avifenc's: AV1 looks as good at lower numbers than JPEG
inline constexpr int kDefaultWebpEffort = 4;  // libwebp's own default method
inline constexpr int kDefaultPngLevel = 6;  // zlib's default, as the window has always written
inline constexpr int kDefaultJxlQuality = 90;  // cjxl's: libjxl's distance 1, visually lossless
inline constexpr int kDefaultJxlEffort = 7;  // libjxl's own default

// How much of the colour a JPEG keeps beside the full-size brightness:
// halved both ways (4:2:0, libjpeg's default and what the window writes),
// halved across only (4:2:2), or all of it (4:4:4).
enum class ChromaSampling { Yuv420, Yuv422, Yuv444 };
// How a PNG's rows are filtered before they are deflated: each with type 0
// (None), as the window has always written, or each with the filter
// libpng's heuristic picks (imgbatch's default: smaller files).
enum class PngFiltering { None, Adaptive };

// How the encoders write the targets (imgbatch's; the window keeps the
// defaults): quality 1 to 100, PNG's zlib level 0 to 9.
struct EncodingOptions {
  int jpegQuality = kDefaultJpegQuality;
  int webpQuality = kDefaultWebpQuality;
  int avifQuality = kDefaultAvifQuality;
  bool webpLossless = false;
  bool jpegProgressive = false;
  bool jpegOptimize = false;  // Huffman tables made for the picture, not the standard ones
  // A JPEG source whose pixels only turn (its EXIF orientation, a rotation)
  // is turned in its coded data, losing nothing, where its size allows; a
  // JPEG target is encoded from the pixels otherwise (and always with a
  // size limit). Off: always from the pixels, as the window writes.
  bool jpegLosslessTurn = false;
  ChromaSampling jpegSampling = ChromaSampling::Yuv420;
  int webpEffort = kDefaultWebpEffort;  // libwebp's method: 0 fastest to 6 smallest
  int pngLevel = kDefaultPngLevel;
  PngFiltering pngFiltering = PngFiltering::None;
  // JPEG XL's quality, 100 lossless; 0 when none was chosen: a JPEG source
  // whose pixels stay as decoded is then recompressed without loss, any
  // other picture encoded at kDefaultJxlQuality. Lossless (or 100)
  // recompresses such a JPEG too, and encodes other pictures without loss.
  int jxlQuality = 0;
  bool jxlLossless = false;
  int jxlEffort = kDefaultJxlEffort;  // libjxl's effort: 1 fastest to 9 smallest
  // The most bytes a JPEG, WebP or AVIF target may hold (0: no limit): it
  // is encoded at the highest quality up to its own that fits.
  std::uint64_t maxBytes = 0;

  bool operator==(const EncodingOptions&) const = default;
};

}  // namespace engine

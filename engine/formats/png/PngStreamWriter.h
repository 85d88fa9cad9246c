#pragma once
// Writes a whole PNG file straight from a Bitmap, with the image data
// deflated in parts that run at once (ParallelParts.h): signature,
// IHDR, the metadata chunks when there is metadata to carry, PLTE for palette
// pictures, IDAT, IEND, each with zlib's CRC-32. The file goes out as it is
// made: IDAT chunks are written as the deflate's pieces are ready, in order.
// Rows are filtered as told (PngRowFilter.h for the adaptive choice; palette
// pictures keep None, as libpng keeps them), nothing is interlaced. Grey
// pictures (Bitmap::IsGrey) become 8-bit grey PNGs, other 1, 4 and 8-bit
// pictures palette PNGs of that depth, pictures with alpha 8-bit RGBA,
// every other format 8-bit RGB.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/formats/EncodingOptions.h"
#include "engine/formats/png/ParallelDeflate.h"
#include "engine/metadata/PictureMetadata.h"
#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"
#include "imaging/ProgressSink.h"

namespace engine {

class PngStreamWriter {
 public:
  // metadata, when given, must outlive the writer: its ICC profile goes
  // into an iCCP chunk (deflated at zlib's default level) when it describes
  // the file's colour space (grey or RGB), its EXIF into an eXIf chunk, its
  // XMP packet into an iTXt "XML:com.adobe.xmp" chunk and its comment into
  // a "Comment" text (iTXt when it is UTF-8 beyond ASCII, else tEXt); empty
  // parts are left out. The image data are deflated at settings.level;
  // filtered rows are deflated with the strategy libpng gives them.
  explicit PngStreamWriter(DeflateSettings settings = {}, const PictureMetadata* metadata = nullptr,
                           PngFiltering filtering = PngFiltering::None)
      : settings_(std::move(settings)), metadata_(metadata), filtering_(filtering) {}

  // Takes the file's next bytes; see StreamSink for when and where it runs.
  using FileSink = StreamSink;

  // The file's bytes, in order, handed to out as they are ready, the
  // deflate's chunks run as parts. An empty picture throws
  // ImageError(InvalidArgument); a failed deflate or out, here or in a
  // part, throws as well.
  void Write(const img::Bitmap& picture, img::ParallelParts& parts, const FileSink& out) const;

  // The whole file in memory.
  std::vector<std::uint8_t> Encode(const img::Bitmap& picture, img::ParallelParts& parts) const;
  // The same on the caller alone.
  std::vector<std::uint8_t> Encode(const img::Bitmap& picture) const;

  // Writes the file through a temporary beside path as it is encoded: on
  // any failure nothing is left at path and the old file stays.
  void Save(const img::Bitmap& picture, const img::TargetFile& path,
            img::ParallelParts& parts) const;
  void Save(const img::Bitmap& picture, const img::TargetFile& path) const;

  // Image data split into IDAT chunks of this many bytes.
  static constexpr std::size_t kIdatBytes = 256 * 1024;

 private:
  DeflateSettings settings_;
  const PictureMetadata* metadata_;
  PngFiltering filtering_;
};

}  // namespace engine

#pragma once
// Picture files with metadata, written and read back through the
// converter's own codecs: sources made for a test, targets checked after.

#include <filesystem>

#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/PictureFormats.h"
#include "engine/metadata/PictureMetadata.h"
#include "engine/formats/png/PngStreamWriter.h"
#include "engine/formats/tiff/TiffImage.h"
#include "engine/formats/webp/WebpImage.h"
#include "engine/formats/webp/WebpMetadata.h"
#include "platform/FileIO.h"

namespace testsupport {

// picture with metadata as a file of the path's kind (.jpg, .webp, .tiff,
// else PNG), its folders made first.
inline void WritePictureWith(const img::Bitmap& picture, const engine::PictureMetadata& metadata,
                             const std::filesystem::path& path) {
  std::filesystem::create_directories(path.parent_path());
  if (path.extension() == ".jpg")
    img::WriteFileAtomically(path, engine::JpegImage().Encode(picture, &metadata));
  else if (path.extension() == ".webp")
    img::WriteFileAtomically(path, engine::WithWebpMetadata(engine::WebpImage().Encode(picture, 90, false), metadata));
  else if (path.extension() == ".tiff")
    img::WriteFileAtomically(path, engine::EncodeTiff(picture, &metadata));
  else
    img::WriteFileAtomically(path, engine::PngStreamWriter({}, &metadata).Encode(picture));
}

// The picture at path, decoded as the converter decodes it, and its metadata.
inline engine::PictureMetadata ReadPictureWith(const std::filesystem::path& path, img::Bitmap& picture) {
  engine::PictureCodecs codecs;
  engine::PictureMetadata metadata;
  codecs.ReadMetadataInto(&metadata);
  engine::LoadPicture(img::PathToUtf8(path), picture, {}, &codecs);
  return metadata;
}

}  // namespace testsupport

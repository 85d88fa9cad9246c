// The camera raw loader (LibRaw) on arbitrary file bytes, its metadata read
// too; an odd last byte asks for the embedded preview as well.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzLimits.h"
#include "engine/formats/raw/RawImage.h"
#include "platform/ImageError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LimitPictures(fuzz::kLoaderPixels);
  img::Bitmap picture;
  engine::PictureMetadata metadata;
  const engine::PictureCodecs::PreviewWanted previews = [](engine::PictureSize, int) {
    return engine::PictureSize{1, 1};
  };
  try {
    engine::DecodeRaw(std::span<const std::uint8_t>(data, size), picture, &metadata,
                      size > 0 && (data[size - 1] & 1) ? &previews : nullptr);
  } catch (const img::ImageError&) {
  }
  return 0;
}

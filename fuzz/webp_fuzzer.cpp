// The WebP loader and the metadata reader on arbitrary file bytes, with the
// codec object reused from one input to the next as a converter reuses it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzLimits.h"
#include "engine/formats/webp/WebpImage.h"
#include "engine/formats/webp/WebpMetadata.h"
#include "platform/ImageError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LimitPictures(fuzz::kLoaderPixels);
  static engine::WebpImage codec;
  img::Bitmap picture;
  try {
    codec.LoadFromMemory(std::span<const std::uint8_t>(data, size), picture);
    engine::PictureMetadata metadata;
    engine::ReadWebpMetadata(std::span<const std::uint8_t>(data, size), metadata);
  } catch (const img::ImageError&) {
  }
  // An animation's later frame too.
  try {
    codec.LoadFromMemory(std::span<const std::uint8_t>(data, size), picture, 1 + static_cast<int>(size % 3));
  } catch (const img::ImageError&) {
  }
  return 0;
}

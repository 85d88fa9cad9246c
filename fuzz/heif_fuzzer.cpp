// The HEIF/AVIF loader (libheif) on arbitrary file bytes, its metadata read too.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzLimits.h"
#include "engine/formats/heif/HeifImage.h"
#include "platform/ImageError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LimitPictures(fuzz::kLoaderPixels);
  img::Bitmap picture;
  engine::PictureMetadata metadata;
  try {
    engine::DecodeHeif(std::span<const std::uint8_t>(data, size), picture, &metadata);
  } catch (const img::ImageError&) {
  }
  return 0;
}

// The TIFF loader on arbitrary file bytes, its metadata read too.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzLimits.h"
#include "engine/formats/tiff/TiffImage.h"
#include "platform/ImageError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LimitPictures(fuzz::kLoaderPixels);
  img::Bitmap picture;
  engine::PictureMetadata metadata;
  try {
    engine::DecodeTiff(std::span<const std::uint8_t>(data, size), picture, &metadata);
  } catch (const img::ImageError&) {
  }
  return 0;
}

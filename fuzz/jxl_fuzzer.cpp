// The JPEG XL loader (libjxl) on arbitrary file bytes, its header and
// metadata read too.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzLimits.h"
#include "engine/formats/jxl/JxlImage.h"
#include "platform/ImageError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LimitPictures(fuzz::kLoaderPixels);
  const std::span<const std::uint8_t> file(data, size);
  img::Bitmap picture;
  engine::PictureMetadata metadata;
  try {
    (void)engine::ReadJxlHeader(file);
    engine::DecodeJxl(file, picture, &metadata);
  } catch (const img::ImageError&) {
  }
  return 0;
}

// The GIF loader on arbitrary file bytes: the first frame and a later one.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzLimits.h"
#include "engine/formats/gif/GifImage.h"
#include "platform/ImageError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LimitPictures(fuzz::kLoaderPixels);
  img::Bitmap picture;
  try {
    engine::DecodeGif(std::span<const std::uint8_t>(data, size), picture);
  } catch (const img::ImageError&) {
  }
  // A later frame too, drawn over those before it.
  try {
    engine::DecodeGif(std::span<const std::uint8_t>(data, size), picture, 1 + static_cast<int>(size % 3));
  } catch (const img::ImageError&) {
  }
  return 0;
}

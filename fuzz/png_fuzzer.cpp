// The PNG loader on arbitrary file bytes, with the codec object reused from
// one input to the next as a converter reuses it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzLimits.h"
#include "engine/formats/png/PngImage.h"
#include "platform/ImageError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LimitPictures(fuzz::kLoaderPixels);
  static engine::PngImage codec;
  img::Bitmap picture;
  try {
    codec.LoadFromMemory(std::span<const std::uint8_t>(data, size), picture);
  } catch (const img::ImageError&) {
  }
  return 0;
}

// The JPEG loader on arbitrary file bytes, with the codec object reused from
// one input to the next as a converter reuses it. The input's size picks the
// scale, so the preview scales are decoded as well.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzLimits.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "platform/ImageError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LimitPictures(fuzz::kLoaderPixels);
  static engine::JpegImage codec;
  static constexpr int kScales[] = {1, 2, 4, 8};
  img::Bitmap picture;
  try {
    codec.LoadFromMemory(std::span<const std::uint8_t>(data, size), picture, kScales[size % 4]);
  } catch (const img::ImageError&) {
  }
  return 0;
}

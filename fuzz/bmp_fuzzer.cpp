// The BMP loader on arbitrary file bytes; a picture that loads is also turned
// to 24 bits, the path every conversion takes next.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzLimits.h"
#include "imaging/Bitmap.h"
#include "platform/ImageError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LimitPictures(fuzz::kLoaderPixels);
  img::Bitmap picture;
  try {
    picture.LoadFromMemory(std::span<const std::uint8_t>(data, size));
    picture.ConvertTo24();
  } catch (const img::ImageError&) {
  }
  return 0;
}

#include "imaging/Bitmap.h"
#include "imaging/ImageError.h"

namespace img {

void Bitmap::LoadFromMemory(std::span<const std::uint8_t>) {
  throw ImageError(ErrorCode::Unsupported, "BMP reading is not built yet");
}

}  // namespace img

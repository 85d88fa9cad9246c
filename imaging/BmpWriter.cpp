#include "imaging/Bitmap.h"
#include "imaging/ImageError.h"

namespace img {

void Bitmap::WriteBmp(std::FILE*) const {
  throw ImageError(ErrorCode::Unsupported, "BMP writing is not built yet");
}

std::vector<std::uint8_t> Bitmap::EncodeBmp() const {
  throw ImageError(ErrorCode::Unsupported, "BMP writing is not built yet");
}

}  // namespace img

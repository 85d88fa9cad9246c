#include "imaging/CentreCrop.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/ImageError.h"

namespace img {

void CropCentre(Bitmap& picture, int width, int height) {
  const int bits = BitsPerPixel(picture.format());
  if (bits != 8 && bits != 24 && bits != 32)
    throw ImageError(ErrorCode::InvalidArgument, "only a picture of 8, 24 or 32 bits can be cropped");
  width = std::clamp(width, 0, picture.width());
  height = std::clamp(height, 0, picture.height());
  if (width == picture.width() && height == picture.height()) return;
  const int left = (picture.width() - width) / 2, top = (picture.height() - height) / 2;
  const std::size_t bytes = static_cast<std::size_t>(bits / 8);
  Bitmap kept = Bitmap::Unfilled(width, height, picture.format());
  kept.palette() = picture.palette();
  for (int y = 0; y < height; ++y)
    std::memcpy(kept.ScanLine(y), picture.ScanLine(top + y) + bytes * static_cast<std::size_t>(left),
                bytes * static_cast<std::size_t>(width));
  picture = std::move(kept);
}

}  // namespace img

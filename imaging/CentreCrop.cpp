#include "imaging/CentreCrop.h"

#include <algorithm>

#include "imaging/Reframe.h"

namespace img {

void CropCentre(Bitmap& picture, int width, int height) {
  width = std::clamp(width, 0, picture.width());
  height = std::clamp(height, 0, picture.height());
  // Nothing of the frame lies outside the picture: the fill is never used.
  Reframe(picture, {(picture.width() - width) / 2, (picture.height() - height) / 2, width, height}, {});
}

}  // namespace img

#pragma once
// The middle part of a picture, cut out: what a resize that fills a box
// keeps of the picture.

#include "imaging/Bitmap.h"

namespace img {

// Keeps the centre width x height part of picture (8, 24 or 32 bits per
// pixel, the work formats among them; its palette stays). What is cut away
// is shared between the two edges, the odd line going to the right or the
// bottom. A side not smaller than the picture's is kept whole. Other
// formats throw ImageError InvalidArgument.
void CropCentre(Bitmap& picture, int width, int height);

}  // namespace img

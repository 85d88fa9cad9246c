#pragma once
// Mirror images of a picture of 8, 24 or 32 bits per pixel (the work
// formats among them), in place: whole pixels swapped, so a mirror applied
// twice gives the picture back; a palette stays as it is. Pictures of other
// formats throw ImageError InvalidArgument.

#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"

namespace img {

// Pixel (x, y) of a W-wide picture moves to (W-1-x, y). Rows go to `parts`
// in bands, which may run at once.
void MirrorLeftRight(Bitmap& picture, ParallelParts& parts);

// Row y of an H-high picture moves to H-1-y.
void MirrorTopBottom(Bitmap& picture);

}  // namespace img

#pragma once
// Mirror images of a 24-bit picture, in place: whole pixels swapped, so a
// mirror applied twice gives the picture back. Pictures of other formats
// throw ImageError InvalidArgument.

#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"

namespace img {

// Pixel (x, y) of a W-wide picture moves to (W-1-x, y). Rows go to `parts`
// in bands, which may run at once.
void MirrorLeftRight(Bitmap& picture, ParallelParts& parts);

// Row y of an H-high picture moves to H-1-y.
void MirrorTopBottom(Bitmap& picture);

}  // namespace img

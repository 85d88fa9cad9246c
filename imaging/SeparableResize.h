#pragma once
// The fast way of a kernel resize in linear light: source rows turned into
// light once each (a table), kept in a ring as long as the kernel reaches
// them, mixed down the columns, then across, and turned back into sRGB
// codes through a table. Edges repeat their last pixel. LinearLightResize
// takes it wherever its ring fits the working memory that resize promises.

#include <cstdint>

#include "imaging/Bitmap.h"

namespace img {

// The working memory a resize of width x height with `channels` to
// outWidth x outHeight holds beside its two pictures, for a kernel reaching
// `reach` target pixels to either side of a centre.
std::uint64_t SeparableResizeBytes(int width, int height, int outWidth, int outHeight, int channels, double reach);

// dest becomes source (in the work format: Bits8 grey, Bits24 or
// Bits32Alpha, whose colours are weighted by alpha) resized by kernel,
// a function of the distance in target pixels, zero from reach on.
// Throws ImageError OutOfMemory when memory runs out.
void SeparableResize(const Bitmap& source, Bitmap& dest, int width, int height, double (*kernel)(double),
                     double reach);

}  // namespace img

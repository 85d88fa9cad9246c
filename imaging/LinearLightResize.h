#pragma once
// A smooth resize in linear light with a chosen kernel (stb_image_resize):
// the quality alternative to ShrinkBitmap for those who ask for it. Each
// target pixel is a weighted mean of the source pixels under the kernel,
// taken on light rather than on sRGB code values, so white stays white,
// fine line patterns keep their brightness and nothing is sharpened after.

#include "imaging/Bitmap.h"

namespace img {

enum class ResizeKernel {
  Mitchell,  // Mitchell-Netravali, B = C = 1/3: soft, no visible ringing
  Lanczos3,  // sinc windowed by sinc over 3 lobes: sharper, a little ringing
};

// Fills dest with source resized to width x height (each at least 1), in
// the source's work format (Bitmap::ConvertToWorkFormat; the source is
// converted in place). A source with alpha has its colours weighted by
// alpha (a transparent pixel lends no colour to its neighbours), a grey one
// is resized as one channel. Throws ImageError: InvalidArgument for an empty size,
// TooLarge when the resize would need far more memory than the pictures
// (a tall picture squeezed to a line, say), OutOfMemory when memory runs
// out. source and dest must be different objects.
void ResizeLinearLight(Bitmap& source, Bitmap& dest, int width, int height, ResizeKernel kernel);

}  // namespace img

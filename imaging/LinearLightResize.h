#pragma once
// A smooth resize in linear light with a chosen kernel: the separable way
// (SeparableResize) where its ring of rows fits, stb_image_resize in bands
// for the extreme squeezes; the quality alternative to ShrinkBitmap. Each
// target pixel is a weighted mean of the source pixels under the kernel,
// taken on light rather than on sRGB code values, so white stays white,
// fine line patterns keep their brightness and nothing is sharpened after.

#include <cstdint>

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
// out. source and dest must be different objects. Beside the two pictures
// it holds at most ResizeWorkingBytes.
void ResizeLinearLight(Bitmap& source, Bitmap& dest, int width, int height, ResizeKernel kernel);

// The most the resize of a width x height picture of `channels` (1 grey,
// 3 colour, 4 with alpha) to outWidth x outHeight holds beside its two
// pictures: the resampler's working memory, which grows with the lines a
// kernel reaches times the target's width; a resize that would take more
// than some tens of MiB at once is made in bands of target columns, each
// within that. 0 for a resize refused before it allocates anything.
std::uint64_t ResizeWorkingBytes(int width, int height, int outWidth, int outHeight, int channels,
                                 ResizeKernel kernel);

}  // namespace img

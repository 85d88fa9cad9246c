#pragma once
// The shrinking resampler behind every resize: each target pixel is the
// average of the box of source pixels it covers (integer step tables and a
// fixed-point reciprocal), then the result is sharpened once with a small
// diagonal kernel. Pictures are only ever made smaller. Pictures with alpha
// are averaged with each colour weighted by its alpha (a clear pixel lends
// its box no colour) and sharpened only where opaque; an opaque one gives
// the colours a 24-bit copy of it gives.

#include <cstdint>
#include <vector>

#include "imaging/Bitmap.h"

namespace img {

// Fills dest with source shrunk to width x height. Both pictures end in the
// source's work format (Bitmap::ConvertToWorkFormat; the source is
// converted in place): 24 bits, 32 bits with alpha, or grey with the grey
// ramp as palette.
// - A side that is not smaller than the source's keeps the source's size on
//   that side: a picture is never enlarged.
// - When neither side shrinks, or a side is 0, dest becomes an exact copy of
//   the source at the source's size.
// Throws only when memory runs out; source and dest may be the same object.
void ShrinkBitmap(Bitmap& source, Bitmap& dest, std::uint16_t width, std::uint16_t height);

// The 32-bit float scale of one direction: source side / target side.
float ShrinkScale(int sourceSide, int targetSide);

// Entry k is the number of source lines that make up target line k:
// trunc((k + 1) * scale) - trunc(k * scale), the boxes lying side by side
// from the source's first line on.
std::vector<int> ShrinkStepTable(int targetSide, float scale);

}  // namespace img

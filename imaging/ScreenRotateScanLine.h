#pragma once
// Rotation of a picture by any angle in whole degrees and hundredths, by
// nearest-neighbour lookup: every result pixel takes the one source pixel that
// lands on it, and pixels that no source pixel covers are pure blue. Angles
// that are whole multiples of 90 degrees give the exact turn instead (every
// source pixel lands exactly once, nothing is lost or painted blue).

#include <memory>

#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"
#include "imaging/ProgressSink.h"

namespace img {

// Result pixels that no source pixel covers (b, g, r): pure blue.
inline constexpr PaletteEntry kRotationBackground{255, 0, 0, 0};

// Turns `source` clockwise by degrees + hundredths / 100. Takes the source
// over and releases it before returning; the source is converted to its
// work format first (Bitmap::ConvertToWorkFormat) for a whole number of
// quarter turns, which the result keeps, and to 24 bits for any other
// angle. The new result is stored in `result` as soon as it is created
// (whatever `result` held before is released by that assignment). Progress:
// a step at the start and a step before the pixels are moved. The exact
// right-angle turn hands its parts of rows to `parts`; without `parts` they
// run in order on the caller. A free angle whose turned picture would exceed the pixel limit throws
// ImageError TooLarge; the slot then holds an empty picture.
void RotateBitmapScanLine(std::unique_ptr<Bitmap> source, int degrees, int hundredths,
                          ProgressSink& progress, ParallelParts& parts,
                          std::unique_ptr<Bitmap>& result);
void RotateBitmapScanLine(std::unique_ptr<Bitmap> source, int degrees, int hundredths,
                          ProgressSink& progress, std::unique_ptr<Bitmap>& result);

// The steps of RotateBitmapScanLine, exposed so tests can hold the exact
// right-angle turn against the general mapping.

// sin and cos of theta = -(degrees + hundredths / 100) * pi / 180.
struct RotationAngle {
  double sin_theta = 0.0;
  double cos_theta = 1.0;
};
RotationAngle AngleOf(int degrees, int hundredths);

// Size of the turned picture: width |nearest(H sin)| + |nearest(W cos)|,
// height |nearest(W sin)| + |nearest(H cos)|, nearest taking halves to even.
struct RotatedSize {
  int width = 0;
  int height = 0;
};
RotatedSize RotatedSizeOf(int width, int height, RotationAngle angle);

// Fills `result` (24 bits, already of RotatedSizeOf the source) from the
// 24-bit `source` by the half-pixel mapping about the centre (W div 2,
// H div 2).
void RotateByMapping(const Bitmap& source, RotationAngle angle, Bitmap& result);

}  // namespace img

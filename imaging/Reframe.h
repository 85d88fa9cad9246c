#pragma once
// A picture's frame moved: a part of it cut out, the picture laid in the
// middle of a larger canvas, or both. What a crop, a cover's centre cut and
// a pad make of a picture.

#include "imaging/Bitmap.h"

namespace img {

// The part of a picture to keep, in its own pixels: it may reach past any
// edge, or lie wholly outside.
struct Frame {
  long long left = 0;
  long long top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Frame&) const = default;
};

// picture becomes frame.width x frame.height, its pixel (x, y) the old
// (left + x, top + y), and fill where that lies outside the old picture
// (8, 24 or 32 bits per pixel, the work formats among them; its palette
// stays). fill is b, g, r with its alpha in `reserved` for Bits32Alpha; an
// 8-bit picture is filled with index fill.red, which on a grey picture's
// ramp is that grey. Other formats throw ImageError InvalidArgument.
void Reframe(Bitmap& picture, const Frame& frame, PaletteEntry fill);

}  // namespace img

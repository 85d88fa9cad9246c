#pragma once
// The exact turn of a picture of 8, 24 or 32 bits per pixel (the work
// formats among them) by a whole number of quarter turns: whole pixels
// moved in cache-sized tiles, no trigonometry.

#include <optional>

#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"

namespace img {

// Clockwise quarter turns (0 to 3) when degrees + hundredths / 100 is a whole
// multiple of 90 (negative and past-360 angles included); none otherwise.
std::optional<int> QuarterTurnsOf(int degrees, int hundredths);

// Fills `result` with `source` turned clockwise by quarter_turns x 90 degrees.
// Source pixel (x, y) of a W by H picture lands at (x, y) for 0 turns,
// (H-1-y, x) for 1, (W-1-x, H-1-y) for 2 and (y, W-1-x) for 3. Both pictures
// have the same format, 8, 24 or 32 bits per pixel (a palette is the
// caller's to give `result`); `result` is already W by H (0 or 2 turns) or
// H by W (1 or 3), else ImageError InvalidArgument. The work goes to `parts` in parts of 64
// result rows, which may run at once.
void TurnRightAngle(const Bitmap& source, int quarter_turns, Bitmap& result,
                    ParallelParts& parts);

}  // namespace img

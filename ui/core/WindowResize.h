#pragma once
// The window's resize controls as the engine's resize: the zoom type's item,
// the two size boxes' texts (a number each, or the hints the keep-ratio box
// and the edits' exits put there) and the keep-ratio box.

#include <string>

#include "engine/convert/Resize.h"

namespace ui {

// Whole number: optional sign then decimal digits only (no blanks, nothing
// else). False otherwise. A number beyond the range of long long saturates.
bool ParseWholeNumber(const std::string& text, long long& value);

// No resize unless zoomType is 1 ("resize to the given size"); then the
// size boxes, each box the number its text is and empty for any other text
// (a hint, blanks, "12a"). What the numbers make is the engine's to decide
// (SizeBoxes).
engine::Resize WindowResize(int zoomType, const std::string& widthText, const std::string& heightText,
                            bool keepRatio);

// False for size boxes holding no usable number (1 or more) in either box:
// a shrink run would write every picture at full size.
bool GivesASize(const engine::Resize& resize);

}  // namespace ui

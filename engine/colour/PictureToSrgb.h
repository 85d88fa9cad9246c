#pragma once
// A decoded picture whose ICC profile is another RGB space's (Adobe RGB,
// Display P3) turned into sRGB's colours, for targets read by pages and
// viewers that ignore profiles (imgbatch's --colour srgb).

#include <cstdint>
#include <span>

#include "imaging/Bitmap.h"

namespace engine {

// True when icc is an RGB profile that gives sRGB's colours, within two
// levels on a cube of sample colours: whatever its bytes (sRGB profiles
// are written in many ways), converting through it would change nothing.
bool IsSrgbProfile(std::span<const std::uint8_t> icc);

// Converts picture's colours from those icc describes to sRGB's and gives
// true; false, the picture as it was, when icc is not an RGB profile that
// littleCMS reads, or is sRGB's. A palette picture has its palette
// converted; 15- and 16-bit pictures become 24-bit; alpha is kept.
bool ConvertToSrgb(img::Bitmap& picture, std::span<const std::uint8_t> icc);

}  // namespace engine

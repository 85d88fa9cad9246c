#pragma once
// The pixel limit the fuzz targets run under. The program accepts pictures
// of up to 134 M pixels, so a few hundred bytes of RLE, PNG or JPEG may
// legitimately ask for 400 MB and more; under the fuzzer that by-design cost
// would count as a memory blow-up and would hide real ones, and its pixel
// loops under the sanitizers would count as hangs. A 4 M pixel picture still
// reaches every decoding path, and every side length up to 65535.

#include "platform/ImageError.h"

namespace fuzz {

inline constexpr long long kLoaderPixels = 1LL << 22;
inline constexpr long long kConversionPixels = 1LL << 20;  // decoded, turned, shrunk, written 3 ways

// Call first in every target; sets the limit once per process.
inline void LimitPictures(long long pixels) {
  static const bool done = (img::SetPixelLimit(pixels), true);
  (void)done;
}

}  // namespace fuzz

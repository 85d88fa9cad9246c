#include "imaging/ImageError.h"

#include <algorithm>
#include <atomic>

namespace img {

namespace {
std::atomic<long long> g_pixel_limit{kMaxPixels};
}  // namespace

long long PixelLimit() { return g_pixel_limit.load(std::memory_order_relaxed); }

void SetPixelLimit(long long pixels) {
  g_pixel_limit.store(std::clamp(pixels, 1LL, kMaxPixels), std::memory_order_relaxed);
}

const char* ErrorCodeName(ErrorCode code) {
  switch (code) {
    case ErrorCode::Io: return "I/O error";
    case ErrorCode::Format: return "not a valid picture";
    case ErrorCode::Truncated: return "picture data ends early";
    case ErrorCode::TooLarge: return "picture too large";
    case ErrorCode::Unsupported: return "unsupported picture variant";
    case ErrorCode::InvalidArgument: return "invalid argument";
  }
  return "error";
}

void CheckPictureSize(long long width, long long height) {
  if (width <= 0 || height <= 0)
    throw ImageError(ErrorCode::Format, "picture has no pixels");
  if (width > kMaxSide || height > kMaxSide || width * height > PixelLimit())
    throw ImageError(ErrorCode::TooLarge,
                     "picture of " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels exceeds the limit");
}

}  // namespace img

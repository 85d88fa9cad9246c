#include "platform/ImageError.h"

#include <algorithm>
#include <atomic>
#include <new>

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
    case ErrorCode::NoSpace: return "no space left";
    case ErrorCode::Format: return "not a valid picture";
    case ErrorCode::Truncated: return "picture data ends early";
    case ErrorCode::TooLarge: return "picture too large";
    case ErrorCode::Unsupported: return "unsupported picture variant";
    case ErrorCode::InvalidArgument: return "invalid argument";
    case ErrorCode::OutOfMemory: return "not enough memory";
    case ErrorCode::SettingsWrite: return "settings not written";
    case ErrorCode::Internal: return "internal failure";
    case ErrorCode::Count: break;
  }
  return "error";
}

ImageError AsImageError(const std::exception& failure) {
  if (const auto* error = dynamic_cast<const ImageError*>(&failure)) return *error;
  if (dynamic_cast<const std::bad_alloc*>(&failure))
    return ImageError(ErrorCode::OutOfMemory, ErrorCodeName(ErrorCode::OutOfMemory));
  return ImageError(ErrorCode::Internal, failure.what());
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

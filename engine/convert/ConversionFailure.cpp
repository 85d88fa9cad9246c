#include "engine/convert/ConversionFailure.h"

#include "platform/ImageError.h"

namespace engine {

using text::FailureCause;

FailureCause CauseOf(const std::exception& failure) {
  switch (img::AsImageError(failure).code()) {
    case img::ErrorCode::Io: return FailureCause::Refused;
    case img::ErrorCode::NoSpace: return FailureCause::DiskFull;
    case img::ErrorCode::Format: return FailureCause::Damaged;
    case img::ErrorCode::Truncated: return FailureCause::Truncated;
    case img::ErrorCode::TooLarge: return FailureCause::TooLarge;
    case img::ErrorCode::Unsupported: return FailureCause::Unsupported;
    case img::ErrorCode::OutOfMemory: return FailureCause::OutOfMemory;
    case img::ErrorCode::InvalidArgument:
    case img::ErrorCode::SettingsWrite:
    case img::ErrorCode::Internal: break;
  }
  return FailureCause::None;
}

FailureCause CauseOf(std::error_code reason) {
  if (!reason) return FailureCause::None;
  if (reason == std::errc::no_space_on_device) return FailureCause::DiskFull;
  if (reason == std::errc::not_enough_memory) return FailureCause::OutOfMemory;
  return FailureCause::Refused;
}

}  // namespace engine

#include "engine/convert/ConversionFailure.h"

#include <array>

#include "platform/ImageError.h"
#include "text/EnumTable.h"

namespace engine {

namespace {

using text::FailureCause;

struct CauseOfCode {
  img::ErrorCode code;
  FailureCause cause;
};

// The cause a user is told for each of the codes the codecs and the system
// layer throw; a code that says nothing a user can act on tells none.
constexpr auto kCauseOfCode = std::to_array<CauseOfCode>({
    {img::ErrorCode::Io, FailureCause::Refused},
    {img::ErrorCode::NoSpace, FailureCause::DiskFull},
    {img::ErrorCode::Format, FailureCause::Damaged},
    {img::ErrorCode::Truncated, FailureCause::Truncated},
    {img::ErrorCode::TooLarge, FailureCause::TooLarge},
    {img::ErrorCode::Unsupported, FailureCause::Unsupported},
    {img::ErrorCode::InvalidArgument, FailureCause::None},
    {img::ErrorCode::OutOfMemory, FailureCause::OutOfMemory},
    {img::ErrorCode::SettingsWrite, FailureCause::None},
    {img::ErrorCode::Internal, FailureCause::None},
});
static_assert(text::OneRowPerCode(kCauseOfCode), "a cause for each img::ErrorCode, in its order");

FailureCause CauseOf(img::ErrorCode code) { return kCauseOfCode[static_cast<std::size_t>(code)].cause; }

}  // namespace

FailureCause CauseOf(const std::exception& failure) { return CauseOf(img::AsImageError(failure).code()); }

// The system's reason, read as the error code it amounts to.
FailureCause CauseOf(std::error_code reason) {
  if (!reason) return FailureCause::None;
  if (reason == std::errc::no_space_on_device) return CauseOf(img::ErrorCode::NoSpace);
  if (reason == std::errc::not_enough_memory) return CauseOf(img::ErrorCode::OutOfMemory);
  return CauseOf(img::ErrorCode::Io);
}

}  // namespace engine

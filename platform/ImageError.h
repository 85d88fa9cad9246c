#pragma once
// The one way the core reports failure: an exception carrying a code and a
// message. The window turns it into silence or a message at its edge.

#include <stdexcept>
#include <string>

namespace img {

enum class ErrorCode {
  Io,           // the file system refused a read or a write
  NoSpace,      // the disk (or the user's quota) is full
  Format,       // the bytes are not a picture of the expected kind
  Truncated,    // the file ends before its picture data does
  TooLarge,     // the picture exceeds the pixel limit
  Unsupported,  // a valid file of a variant this program does not read
  InvalidArgument,
  OutOfMemory,    // the memory a step needs could not be had
  SettingsWrite,  // the settings file refused a write
  Internal,       // anything else that ended a step: a host's failure
  Count           // not a code: how many there are; new codes go above it
};

const char* ErrorCodeName(ErrorCode code);

class ImageError : public std::runtime_error {
 public:
  ImageError(ErrorCode code, const std::string& message)
      : std::runtime_error(message), code_(code) {}
  ErrorCode code() const { return code_; }

 private:
  ErrorCode code_;
};

// A failure caught at the edge of a step, as the one error type: an
// ImageError as it is, exhausted memory as OutOfMemory, anything else as
// Internal with its own message.
ImageError AsImageError(const std::exception& failure);

// Largest picture any loader accepts: both sides at most 65535 and at most
// this many pixels, checked before anything is allocated.
inline constexpr int kMaxSide = 65535;
inline constexpr long long kMaxPixels = 1LL << 27;  // 134 megapixels

// The pixel limit in force, kMaxPixels unless lowered: fuzzing lowers it
// process-wide so that pictures its tiny inputs may legitimately ask for do
// not hide real memory faults behind 400 MB buffers. Values are clamped to
// 1..kMaxPixels.
long long PixelLimit();
void SetPixelLimit(long long pixels);

// Throws TooLarge (or Format for a non-positive side) unless width x height
// is within kMaxSide and PixelLimit().
void CheckPictureSize(long long width, long long height);

}  // namespace img

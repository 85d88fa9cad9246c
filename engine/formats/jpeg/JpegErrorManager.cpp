#include "engine/formats/jpeg/JpegErrorManager.h"

#include <cstring>
#include <string>

#include <jerror.h>

namespace engine {

namespace {

JpegErrorManager& ManagerOf(j_common_ptr cinfo) {
  return *reinterpret_cast<JpegErrorManager*>(cinfo->err);
}

img::ErrorCode CodeFor(int msg_code) {
  switch (msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JERR_INPUT_EOF:
    case JERR_INPUT_EMPTY:
      return img::ErrorCode::Truncated;
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
    case JERR_OUT_OF_MEMORY:
      return img::ErrorCode::TooLarge;
    case JERR_BAD_PRECISION:
    case JERR_NOT_COMPILED:
    case JERR_ARITH_NOTIMPL:
      return img::ErrorCode::Unsupported;
    default:
      return img::ErrorCode::Format;
  }
}

[[noreturn]] void JumpBack(j_common_ptr cinfo) {
  JpegErrorManager& manager = ManagerOf(cinfo);
  // Whatever fails after the data ran out, the cause is their early end,
  // already recorded.
  if (!manager.dataEnded) {
    manager.code = CodeFor(cinfo->err->msg_code);
    cinfo->err->format_message(cinfo, manager.message);
  }
  std::longjmp(manager.jump, 1);
}

// Warnings that mean pixels were made up by the library: the data end early,
// a marker cuts a scan short, or coded data cannot be decoded (the rest of the
// scan turns grey or garbage). Stray bytes between markers and odd progression
// sequences lose nothing visible and are let through, as every decoder does.
bool LosesData(int msg_code) {
  switch (msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
      return true;
    default:
      return false;
  }
}

void EmitMessage(j_common_ptr cinfo, int msg_level) {
  if (msg_level >= 0) return;  // trace messages
  JpegErrorManager& manager = ManagerOf(cinfo);
  if (cinfo->err->msg_code == JWRN_JPEG_EOF && manager.toleratesEnd) {
    manager.dataEnded = true;
    manager.code = img::ErrorCode::Truncated;
    cinfo->err->format_message(cinfo, manager.message);
    ++cinfo->err->num_warnings;
    return;
  }
  if (cinfo->is_decompressor && LosesData(cinfo->err->msg_code)) {
    if (!manager.keepsDamage) JumpBack(cinfo);
    // The first loss is the reason; after the data ended, their end is.
    if (!manager.damaged && !manager.dataEnded) {
      manager.code = CodeFor(cinfo->err->msg_code);
      cinfo->err->format_message(cinfo, manager.message);
    }
    manager.damaged = true;
  }
  ++cinfo->err->num_warnings;
}

void OutputMessage(j_common_ptr) {}

}  // namespace

void JpegErrorManager::Attach(jpeg_common_struct* cinfo) {
  cinfo->err = jpeg_std_error(&pub);
  pub.error_exit = JumpBack;
  pub.emit_message = EmitMessage;
  pub.output_message = OutputMessage;
}

void JpegErrorManager::Fail(img::ErrorCode failure_code, const char* text) {
  code = failure_code;
  std::strncpy(message, text, sizeof message - 1);
  message[sizeof message - 1] = '\0';
}

void JpegErrorManager::Throw() const {
  throw img::ImageError(code, std::string("JPEG: ") + message);
}

}  // namespace engine

#pragma once
// libjpeg's error handling routed back to the caller. libjpeg's own handler
// ends the process; this one jumps back to the setjmp point of the call under
// way, both for fatal errors and for the warnings that mean the picture lost
// data (the file ends early or its coded data are broken), so that such a
// file is a failed load instead of a picture with a grey remainder. Only
// the end of the data may be let through, while the loader asks for it: a
// file that lacks nothing but its end marker keeps every pixel; and the
// damage itself, where the caller asks to keep what decodes.
//
// Use: call setjmp(manager.jump) in a function that has no local objects with
// destructors, then call libjpeg; after a jump, abort the libjpeg object and
// call Throw() from ordinary code.

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#include "platform/ImageError.h"

namespace engine {

struct JpegErrorManager {
  jpeg_error_mgr pub;  // first member: libjpeg holds a pointer to it
  std::jmp_buf jump;
  img::ErrorCode code = img::ErrorCode::Format;
  char message[JMSG_LENGTH_MAX] = {};
  // While toleratesEnd is set, data that end before the end marker set
  // dataEnded instead of jumping back; libjpeg then reads on as if the marker
  // were there, and a scan that still needed data fails all the same.
  bool toleratesEnd = false;
  bool dataEnded = false;
  // While keepsDamage is set, the warnings that mean lost data set damaged
  // (the message kept) instead of jumping back: libjpeg makes up what it
  // lacks, as other decoders show it.
  bool keepsDamage = false;
  bool damaged = false;

  // Fills pub and sets cinfo->err; call before jpeg_create_(de)compress.
  void Attach(jpeg_common_struct* cinfo);

  // Records a failure that ordinary code found between libjpeg calls.
  void Fail(img::ErrorCode failure_code, const char* text);

  [[noreturn]] void Throw() const;
};

}  // namespace engine

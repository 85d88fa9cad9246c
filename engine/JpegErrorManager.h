#pragma once
// libjpeg's error handling routed back to the caller. libjpeg's own handler
// ends the process; this one jumps back to the setjmp point of the call under
// way, both for fatal errors and for the warnings that mean the picture lost
// data (the file ends early or its coded data are broken), so that such a
// file is a failed load instead of a picture with a grey remainder.
//
// Use: call setjmp(manager.jump) in a function that has no local objects with
// destructors, then call libjpeg; after a jump, abort the libjpeg object and
// call Throw() from ordinary code.

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#include "imaging/ImageError.h"

namespace engine {

struct JpegErrorManager {
  jpeg_error_mgr pub;  // first member: libjpeg holds a pointer to it
  std::jmp_buf jump;
  img::ErrorCode code = img::ErrorCode::Format;
  char message[JMSG_LENGTH_MAX] = {};

  // Fills pub and sets cinfo->err; call before jpeg_create_(de)compress.
  void Attach(jpeg_common_struct* cinfo);

  // Records a failure that ordinary code found between libjpeg calls.
  void Fail(img::ErrorCode failure_code, const char* text);

  [[noreturn]] void Throw() const;
};

}  // namespace engine

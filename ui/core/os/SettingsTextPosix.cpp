// POSIX: "\n", and GB18030 through iconv.

#include <iconv.h>

#include <cerrno>

#include "ui/core/SettingsText.h"

namespace ui {

std::string_view NewFileLineEnd() { return "\n"; }

std::optional<std::string> Gb18030ToUtf8(std::string_view in) {
  iconv_t cd = iconv_open("UTF-8", "GB18030");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.reserve(in.size() * 3 / 2 + 16);
  char* in_ptr = const_cast<char*>(in.data());
  std::size_t in_left = in.size();
  char buffer[4096];
  bool faithful = true;
  while (in_left > 0 && faithful) {
    char* out_ptr = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    out.append(buffer, static_cast<std::size_t>(out_ptr - buffer));
    // An invalid or cut-off sequence.
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) faithful = false;
  }
  iconv_close(cd);
  if (!faithful) return std::nullopt;
  return out;
}

}  // namespace ui

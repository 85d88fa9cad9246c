#pragma once
// Names as imgbatch prints them: a file name may hold any byte but '/' and
// NUL, and a control character printed raw would move the cursor, clear
// the screen or set the terminal's title. Controls, DEL, C1 controls and
// bytes that are no UTF-8 are written as escapes (\n, \t, \r, \xHH, \uHHHH);
// every other character, Chinese included, stays as it is.

#include <string>
#include <string_view>

namespace app {

std::string Printable(std::string_view text);

}  // namespace app

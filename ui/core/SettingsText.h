#pragma once
// How the settings file's text differs between systems: the line end a new
// file gets, and the reading of files the older program wrote in GB18030.

#include <optional>
#include <string>
#include <string_view>

namespace ui {

// "\n" here, "\r\n" on Windows; an existing file keeps its own.
std::string_view NewFileLineEnd();

// The text as UTF-8; nothing when some bytes are not GB18030, since such
// text could not be written back as it was read.
std::optional<std::string> Gb18030ToUtf8(std::string_view in);

}  // namespace ui

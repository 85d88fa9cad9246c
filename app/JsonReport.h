#pragma once
// imgbatch's --report json: one JSON object a line for each picture, for
// scripts to read.

#include <string>
#include <string_view>

#include "engine/plan/FolderWalk.h"
#include "engine/convert/PictureConverter.h"

namespace app {

// text as a JSON string, quotes included. Valid UTF-8 is kept as it is; a
// byte that begins no valid UTF-8 character becomes the lone surrogate
// \udcXX (XX the byte), as Python's surrogateescape reads and writes it, so
// a script can get back the exact bytes of any file name.
std::string JsonString(std::string_view text);

// The line (newline included) for a picture of the run:
// {"source":..., "width","height","kind","bytes","milliseconds",
//  "targets":[{"path","width","height","bytes"}...],
//  "skipped":[paths], "failures":[{"path","code","cause","reason"}...],
//  "warnings":[lines]}
std::string PictureJson(const std::string& source, const engine::ConversionReport& report);
// The same line for a source the run could not read (code "not_read").
std::string UnreadJson(const engine::UnreadPath& unread);

}  // namespace app

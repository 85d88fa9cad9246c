#pragma once
// The sources imgbatch's --files-from lists: paths one a line, or separated
// by NUL bytes (find -print0), as UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace app {

// Appends each path of text to out. A line's closing '\r' is dropped (lists
// written on Windows), and entries holding nothing but blanks are skipped.
void SplitSourceList(std::string_view text, bool nulSeparated, std::vector<std::string>& out);

// Appends the paths of the list file name ("-": standard input) to out;
// false, with error set, when the list cannot be read.
bool ReadSourceList(const std::string& name, bool nulSeparated, std::vector<std::string>& out, std::string& error);

}  // namespace app

#pragma once
// Small text helpers on UTF-8 strings. Case folding touches ASCII letters
// only, so Chinese names pass through unchanged.

#include <string>
#include <string_view>

namespace img {

std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

// Without leading and trailing blanks and control characters (bytes <= 32).
std::string TrimBlanks(std::string_view text);
// The same, as a view into text.
std::string_view TrimBlanksView(std::string_view text);

// The part after the last folder separator ('/' everywhere, '\' too on Windows).
std::string FileNamePart(std::string_view path);
// Everything up to and including the last folder separator.
std::string FolderPart(std::string_view path);

// The extension of a file name or path: from the last dot of its file-name
// part, dot included; empty when there is none.
std::string ExtensionOf(std::string_view path);
// The path with the extension (from the last dot of the file name on)
// replaced by extension; a name without a dot gets extension appended.
std::string ReplaceExtension(std::string_view path, std::string_view extension);

// Natural order, ignoring case: "img2" before "img10".
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace img

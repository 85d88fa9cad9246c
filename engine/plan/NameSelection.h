#pragma once
// Which files a batch takes by their names: shell patterns to include and
// to exclude (imgbatch's --include and --exclude).

#include <string>
#include <string_view>
#include <vector>

namespace engine {

// True when name matches pattern as fnmatch would without flags: '*' any
// run of characters, a leading dot included, '?' one character, "[a-z]"
// and "[!...]" (or "[^...]") one of a set, '\' takes the next character as
// it is. Characters are UTF-8 code points; ASCII letters match either case
// on every system, as camera names (IMG_0001.JPG) are meant to. A '[' with
// no closing ']' is itself.
bool MatchesGlob(std::string_view pattern, std::string_view name);

struct NameSelection {
  std::vector<std::string> include;  // none: every name
  std::vector<std::string> exclude;  // wins over include

  // name (no folder) matches an include pattern, or none are given, and no
  // exclude pattern.
  bool Selects(std::string_view name) const;
};

}  // namespace engine

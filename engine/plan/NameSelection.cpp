#include "engine/plan/NameSelection.h"

namespace engine {

namespace {

// Code points, ASCII letters lower-cased; a byte that begins no valid UTF-8
// sequence stands for itself, apart from every character.
std::u32string Folded(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const int length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t c = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
    bool valid = length > 0 && i + length <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = c << 6 | (next & 0x3F);
    }
    if (!valid) {
      out.push_back(0x110000 + b);  // outside Unicode: equals no character
      ++i;
      continue;
    }
    out.push_back(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    i += static_cast<std::size_t>(length);
  }
  return out;
}

// The set at pattern[at] == '[' against c: matched is set and end is just
// past the ']'; false when the set has no closing ']'.
bool MatchSet(const std::u32string& pattern, std::size_t at, char32_t c, bool& matched, std::size_t& end) {
  std::size_t i = at + 1;
  const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negated) ++i;
  bool found = false;
  for (bool first = true; i < pattern.size(); first = false) {
    if (pattern[i] == ']' && !first) {
      matched = found != negated;
      end = i + 1;
      return true;
    }
    char32_t low = pattern[i];
    if (low == '\\' && i + 1 < pattern.size()) low = pattern[++i];
    char32_t high = low;
    if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
      high = pattern[i + 2];
      if (high == '\\' && i + 3 < pattern.size()) high = pattern[++i + 2];
      i += 2;
    }
    found = found || (c >= low && c <= high);
    ++i;
  }
  return false;
}

}  // namespace

bool MatchesGlob(std::string_view patternText, std::string_view nameText) {
  const std::u32string pattern = Folded(patternText), name = Folded(nameText);
  // One '*' remembered at a time: on a mismatch the last star takes one
  // character more, so no pattern takes more than pattern x name steps.
  std::size_t p = 0, n = 0, star = std::u32string::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size()) {
      if (pattern[p] == '*') {
        star = p++;
        star_n = n;
        continue;
      }
      bool matched = false;
      std::size_t next = p + 1;
      if (pattern[p] == '?') {
        matched = true;
      } else if (pattern[p] != '[' || !MatchSet(pattern, p, name[n], matched, next)) {
        char32_t c = pattern[p];
        if (c == '\\' && p + 1 < pattern.size()) {
          c = pattern[p + 1];
          next = p + 2;
        }
        matched = c == name[n];
      }
      if (matched) {
        p = next;
        ++n;
        continue;
      }
    }
    if (star == std::u32string::npos) return false;
    p = star + 1;
    n = ++star_n;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool NameSelection::Selects(std::string_view name) const {
  for (const std::string& pattern : exclude)
    if (MatchesGlob(pattern, name)) return false;
  if (include.empty()) return true;
  for (const std::string& pattern : include)
    if (MatchesGlob(pattern, name)) return true;
  return false;
}

}  // namespace engine

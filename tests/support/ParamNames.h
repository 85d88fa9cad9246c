#pragma once
// Names for the cases of parameterised tests: the suffix gtest gives each
// case, and the printed parameter gtest_discover_tests puts into the CTest
// name. Both come from the case's data alone, so a name never holds an
// address or raw bytes and stays the same from build to build.

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace testsupport {

// text as a case name: letters and digits kept, a '-' or '+' that begins
// a number "minus" or "plus", spaces at either end "space", each other run
// of characters one '_'. Text of none of these: its bytes in hexadecimal
// ("x2D").
inline std::string ParamName(std::string_view text) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  std::string name;
  bool gap = false;
  const auto add = [&](const std::string& word) {
    if (gap && !name.empty()) name += '_';
    gap = false;
    name += word;
  };
  const std::size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
  if (first == std::string_view::npos) return text.empty() ? "Empty" : "space";
  if (first > 0) add("space"), gap = true;
  for (std::size_t i = first; i <= last; ++i) {
    const bool sign = (at(i) == '-' || at(i) == '+') && i < last && std::isdigit(at(i + 1)) &&
                      (i == 0 || !std::isalnum(at(i - 1)));
    if (sign)
      add(at(i) == '-' ? "minus" : "plus");
    else if (std::isalnum(at(i)))
      add(std::string(1, text[i]));
    else
      gap = true;
  }
  if (last + 1 < text.size()) gap = true, add("space");
  if (!name.empty()) return name;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex(1, 'x');
  for (std::size_t i = 0; i < text.size(); ++i) hex += {kHex[at(i) >> 4], kHex[at(i) & 15]};
  return hex;
}

// text as a printed parameter shows it: printable ASCII as it is, each
// other byte as \xHH, so that a CTest name holds ASCII alone.
inline std::string Printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F)
      shown += c;
    else
      shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
  }
  return shown;
}

// The words of a command line as one text, a space between each two.
inline std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

// Names each case by its `name` member.
struct ByName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return ParamName(info.param.name);
  }
};

// Names each case by its value: a text as it is, anything else as gtest
// prints it (a number, or a value whose PrintTo tells it from the others).
struct ByValue {
  template <class Value>
  std::string operator()(const ::testing::TestParamInfo<Value>& info) const {
    if constexpr (std::is_convertible_v<const Value&, std::string_view>)
      return ParamName(info.param);
    else
      return ParamName(::testing::PrintToString(info.param));
  }
};

}  // namespace testsupport

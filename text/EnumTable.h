#pragma once
// A table with one row per enumerator of an enum, in the enum's order, so a
// reader finds a code's row at the code's index. The enum ends with Count,
// the number of codes; a table is checked against it when it compiles:
//   static_assert(text::OneRowPerCode(kRows), "...");

#include <array>
#include <cstddef>

namespace text {

// True when rows has a row for every code of its enum and each row sits at
// its own code's index.
template <typename Row, std::size_t N>
constexpr bool OneRowPerCode(const std::array<Row, N>& rows) {
  using Code = decltype(Row::code);
  if (N != static_cast<std::size_t>(Code::Count)) return false;
  for (std::size_t i = 0; i < N; ++i)
    if (static_cast<std::size_t>(rows[i].code) != i) return false;
  return true;
}

}  // namespace text

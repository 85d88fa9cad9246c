#pragma once
// How much of the update page the window's page view may be given. The page
// comes from the network, and the HTML reader behind the view spends time
// that grows with the number of its tags times their nesting depth, again
// with every style rule, and with the square of its pictures: a few hundred
// KB of nested tables held the window for minutes. A page past the bound is
// shown as plain text instead. Plain C++; every function here is linear in
// the length of its text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace update {

// What the view's work is measured by.
struct MarkupLoad {
  std::size_t bytes = 0;
  // '<' characters: every tag the reader may open or close. No element can
  // nest deeper than this count, whatever the order or closing of the tags,
  // so it bounds the depth without trusting closing tags (the reader closes
  // some elements on its own and ignores some closing tags).
  std::size_t tags = 0;
  // '{', ',' and '&': a style rule's selectors are ended by '{' or ',',
  // written as they are or as character references.
  std::size_t ruleMarks = 0;
};

MarkupLoad MeasureMarkup(std::string_view html);

// Bounds of the view: size, and tags squared times (1 + rule marks), the
// elements times their depth times the rules each is matched with. A page of
// ordinary markup a few KB long is far inside both; the worst markup at the
// bound takes the reader well under a second.
inline constexpr std::size_t kMaxViewBytes = 256 * 1024;
inline constexpr std::uint64_t kMaxViewWork = 4'000'000;

// Whether html may go to the page view.
bool FitsPageView(std::string_view html);

// The most plain text shown in place of a page.
inline constexpr std::size_t kMaxPageTextBytes = 64 * 1024;

// The words of a page body (UTF-8) without its markup: tags, comments,
// scripts and style sheets left out, common character references decoded,
// blanks collapsed, a line break for each paragraph, row, list item or line
// break. At most max_bytes bytes, cut at a character boundary and then
// ended with "…".
std::string PageText(std::string_view body, std::size_t max_bytes = kMaxPageTextBytes);

}  // namespace update

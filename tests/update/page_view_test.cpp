#include "update/core/PageView.h"

#include <gtest/gtest.h>

#include <string>

#include "update/core/UpdateInfo.h"

namespace {

using update::FitsPageView;
using update::PageText;

// lead, then n times unit (built by append: GCC 12 misreports "x" + string).
std::string Repeat(const std::string& unit, std::size_t n, const std::string& lead = {}) {
  std::string text = lead;
  text.reserve(lead.size() + unit.size() * n);
  for (std::size_t i = 0; i < n; ++i) text += unit;
  return text;
}

TEST(PageView, OrdinaryPagesFitAndHostileOnesDoNot) {
  // An update page as the maker writes it: a style sheet, a table, links.
  const std::string ordinary =
      "<html><head><style>body { font: 12px sans-serif; } td, th { padding: 2px; }</style></head><body><table>" +
      Repeat("<tr><td>新功能说明，修正若干问题</td><td><a href=\"https://www.example.com/ic/\">详情</a></td></tr>", 40) +
      "</table><p>" + std::string(update::UpdateSignature) + "</p></body></html>";
  EXPECT_TRUE(FitsPageView(ordinary));
  // The page that held the window, and the same nesting too small for any size limit.
  EXPECT_FALSE(FitsPageView(Repeat("<table><tr><td>", 30000)));
  EXPECT_FALSE(FitsPageView(Repeat("<b>", 3000)));
}

TEST(PageView, BoundIsTagsSquaredTimesRuleMarksAndSize) {
  EXPECT_TRUE(FitsPageView(Repeat("<img>", 2000)));
  EXPECT_FALSE(FitsPageView(Repeat("<img>", 2001)));
  // Style rules multiply the work of every tag, written as they are or as references.
  const std::string tags = Repeat("<b>", 200);
  EXPECT_TRUE(FitsPageView(tags + Repeat("{", 99)));
  EXPECT_FALSE(FitsPageView(tags + Repeat("*,", 100)));
  EXPECT_FALSE(FitsPageView(tags + Repeat("&#123;", 100)));
  EXPECT_TRUE(FitsPageView(std::string(update::kMaxViewBytes, 'x')));
  EXPECT_FALSE(FitsPageView(std::string(update::kMaxViewBytes + 1, 'x')));
}

TEST(PageView, PageTextKeepsTheWordsAndTheirLines) {
  EXPECT_EQ(PageText("<body><h1>Lom 软件</h1><!-- <p>hidden</p> --><script>if (a<b) x();</script>"
                     "<style>p{color:red}</style><p>第一段\n  with   <b>bold</b> words</p>"
                     "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>"
                     "&lt;tag&gt; &amp; &#20013;&#x6587;&nbsp;&unknown; &#xD800; 1<br/>2</body>"),
            "Lom 软件\n第一段 with bold words\na b\nc\n<tag> & 中文 &unknown; &#xD800; 1\n2");
}

TEST(PageView, PageTextIsCutAtACharacterAndReadOnce) {
  const std::string text = PageText("<p>" + Repeat("中", 100) + "</p>", 10);
  EXPECT_EQ(text, "中中…");  // 6 bytes of characters and 3 of the ellipsis
  // Unended tags and references: a reader that searched again from each
  // mark would not finish.
  EXPECT_EQ(PageText(Repeat("<", 200000)), "");
  EXPECT_EQ(PageText(Repeat("&", 200000, "x")).size(), update::kMaxPageTextBytes);
}

}  // namespace

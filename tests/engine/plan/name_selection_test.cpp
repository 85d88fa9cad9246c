#include <gtest/gtest.h>

#include <string>

#include "ParamNames.h"
#include "engine/plan/NameSelection.h"

namespace {

struct GlobCase {
  const char* pattern;
  const char* name;
  bool matches;
  friend void PrintTo(const GlobCase& c, std::ostream* os) {
    *os << "'" << testsupport::Printable(c.pattern) << "' against '" << testsupport::Printable(c.name) << "'";
  }
};

// A case named by its pattern, the pattern's special characters spelt out,
// and the name it is matched against.
std::string GlobName(const ::testing::TestParamInfo<GlobCase>& info) {
  std::string pattern;
  for (const char c : std::string(info.param.pattern)) {
    const char* word = c == '*' ? "star" : c == '?' ? "one" : c == '[' ? "set" : c == ']' ? "end"
                     : c == '!' || c == '^' ? "not" : c == '\\' ? "escaped" : nullptr;
    pattern += word ? std::string("_") + word + "_" : std::string(1, c);
  }
  return testsupport::ParamName(pattern) + "_against_" + testsupport::ParamName(testsupport::Printable(info.param.name));
}

class Glob : public ::testing::TestWithParam<GlobCase> {};

TEST_P(Glob, MatchesAsTheShellWouldIgnoringAsciiCase) {
  EXPECT_EQ(engine::MatchesGlob(GetParam().pattern, GetParam().name), GetParam().matches)
      << GetParam().pattern << " against " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Glob,
    ::testing::Values(GlobCase{"*.jpg", "IMG_0001.JPG", true}, GlobCase{"*.jpg", "a.jpg.png", false},
                      GlobCase{"*", ".hidden.jpg", true},  // hidden files are files like any other
                      GlobCase{"*_small*", "a_small", true}, GlobCase{"a*b*c", "abXbYc", true},
                      GlobCase{"a*b*c", "abXbYcd", false}, GlobCase{"?.png", "照.png", true},
                      GlobCase{"??.png", "照.png", false}, GlobCase{"[a-c]x", "Bx", true},
                      GlobCase{"[!a-c]x", "dx", true}, GlobCase{"[^a-c]x", "ax", false},
                      GlobCase{"[]]x", "]x", true}, GlobCase{"[ab", "[ab", true},  // no closing ']'
                      GlobCase{"\\*.jpg", "*.jpg", true}, GlobCase{"\\*.jpg", "a.jpg", false},
                      GlobCase{"", "", true}, GlobCase{"", "a", false},
                      // ASCII case folded at both ends of the alphabet, in names and patterns alike.
                      GlobCase{"a*", "Apple.bmp", true}, GlobCase{"Z*", "zebra.bmp", true},
                      // A byte that begins no character is itself, and no '?' spans it with its neighbour.
                      GlobCase{"a?b", "a\xff" "b", true}, GlobCase{"a?b", "a\xe7\x85" "b", false}),
    GlobName);

// Many stars against a long name that almost matches: a naive
// backtracking match would take years.
TEST(Glob, ManyStarsOnALongNameEndQuickly) {
  EXPECT_FALSE(engine::MatchesGlob("*a*a*a*a*a*a*a*a*a*a*b", std::string(20000, 'a')));
}

TEST(NameSelection, ExcludeWinsAndNoIncludeTakesEverything) {
  engine::NameSelection s;
  EXPECT_TRUE(s.Selects("x.png"));
  s.include = {"*.jpg", "*.png"};
  s.exclude = {"*_small.*"};
  EXPECT_TRUE(s.Selects("a.PNG"));
  EXPECT_FALSE(s.Selects("a.bmp"));
  EXPECT_FALSE(s.Selects("a_small.jpg"));
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "engine/plan/NameSelection.h"

namespace {

struct GlobCase {
  const char* pattern;
  const char* name;
  bool matches;
};

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
                      // A byte that begins no character is itself, and no '?' spans it with its neighbour.
                      GlobCase{"a?b", "a\xff" "b", true}, GlobCase{"a?b", "a\xe7\x85" "b", false}));

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

// The failure table's JSON names: scripts tell the reasons apart by them.

#include "text/FailureText.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using text::FailureCause;
using text::FailureCode;

// Every code and every cause but None has a name no other reason has;
// None is the report's null.
TEST(FailureNames, AreOneForEachReasonAndNoneShared) {
  std::set<std::string> names;
  const auto add = [&](const char* name) {
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(names.insert(name).second) << name;
  };
  for (int c = 0; c < static_cast<int>(FailureCode::Count); ++c) add(text::JsonName(static_cast<FailureCode>(c)));
  for (int c = 1; c < static_cast<int>(FailureCause::Count); ++c) add(text::JsonName(static_cast<FailureCause>(c)));
  EXPECT_EQ(text::JsonName(FailureCause::None), nullptr);
}

}  // namespace

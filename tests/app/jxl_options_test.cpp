// --quality, --lossless and --effort as they reach JXL targets beside the
// others: one number for every format, each held to its own range.
#include "app/BatchCommandLine.h"
#include "ParamNames.h"
#include "TestSupport.h"

namespace {

struct Case {
  std::vector<std::string> options;
  int jxlQuality;  // 0: none chosen, so an unchanged JPEG is recompressed
  bool jxlLossless;
  int jxlEffort;
  int webpEffort;
  friend void PrintTo(const Case& c, std::ostream* os) {
    *os << (c.options.empty() ? std::string("defaults") : testsupport::Joined(c.options));
  }
};

class JxlOptions : public ::testing::TestWithParam<Case> {};

TEST_P(JxlOptions, SetTheJxlEncoder) {
  const Case& c = GetParam();
  // A WebP target, which every build writes: the options are set alike
  // where the build has no JXL.
  std::vector<std::string> args = {"x.jpg", "-o", "OUT", "-f", "webp"};
  args.insert(args.end(), c.options.begin(), c.options.end());
  std::string error;
  const std::optional<app::BatchCommand> command = app::ParseBatchCommand(args, error);
  ASSERT_TRUE(command) << error;
  EXPECT_EQ(command->options.jxlQuality, c.jxlQuality);
  EXPECT_EQ(command->options.jxlLossless, c.jxlLossless);
  EXPECT_EQ(command->options.jxlEffort, c.jxlEffort);
  EXPECT_EQ(command->options.webpEffort, c.webpEffort);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, JxlOptions,
    ::testing::Values(Case{{}, 0, false, 7, 4}, Case{{"--quality", "55"}, 55, false, 7, 4},
                      Case{{"--lossless"}, 0, true, 7, 4}, Case{{"--effort", "9"}, 0, false, 9, 6},
                      Case{{"--effort", "0"}, 0, false, 1, 0}, Case{{"--effort", "5"}, 0, false, 5, 5}),
    [](const ::testing::TestParamInfo<Case>& info) {
      return info.param.options.empty() ? std::string("defaults")
                                        : testsupport::ParamName(testsupport::Joined(info.param.options));
    });

}  // namespace

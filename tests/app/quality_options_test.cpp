// --quality as one number for every encoder, or per kind for those named:
// what each encoder is given, and the others left at imgbatch's defaults;
// and whether a JPEG's turn keeps its coded data, which a JPEG coding asked
// for (a JPEG quality, sampling, Huffman tables, a size limit) turns off
// unless --jpeg-lossless is given.
#include "app/BatchCommandLine.h"
#include "ParamNames.h"
#include "TestSupport.h"

namespace {

struct Case {
  std::vector<std::string> options;
  int jpeg, webp, avif, jxl;  // jxl 0: none chosen, so an unchanged JPEG is recompressed
  bool losslessTurn = true;
  friend void PrintTo(const Case& c, std::ostream* os) { *os << testsupport::Joined(c.options); }
};

class QualityOption : public ::testing::TestWithParam<Case> {};

TEST_P(QualityOption, GivesEachEncoderItsQuality) {
  const Case& c = GetParam();
  std::vector<std::string> args = {"x.jpg", "-o", "OUT"};
  args.insert(args.end(), c.options.begin(), c.options.end());
  std::string error;
  const std::optional<app::BatchCommand> command = app::ParseBatchCommand(args, error);
  ASSERT_TRUE(command) << error;
  EXPECT_EQ(command->options.jpegQuality, c.jpeg);
  EXPECT_EQ(command->options.webpQuality, c.webp);
  EXPECT_EQ(command->options.avifQuality, c.avif);
  EXPECT_EQ(command->options.jxlQuality, c.jxl);
  EXPECT_EQ(command->options.jpegLosslessTurn, c.losslessTurn);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, QualityOption,
    ::testing::Values(Case{{}, 90, 90, 60, 0}, Case{{"--quality", "70"}, 70, 70, 70, 70, false},
                      Case{{"--quality", "jpg=85,webp=80,avif=55"}, 85, 80, 55, 0, false},
                      Case{{"--quality", "JXL=95"}, 90, 90, 60, 95},
                      Case{{"--quality", "jpeg=40, webp = 30"}, 40, 30, 60, 0, false},
                      // Later words win, kind by kind.
                      Case{{"--quality", "50", "--quality", "avif=45"}, 50, 50, 45, 50, false},
                      Case{{"--quality", "jpg=20,jpg=75"}, 75, 90, 60, 0, false},
                      // The default quality given in so many words is a quality asked for.
                      Case{{"--quality", "jpg=90"}, 90, 90, 60, 0, false},
                      Case{{"--sampling", "444"}, 90, 90, 60, 0, false},
                      Case{{"--max-size", "200k"}, 90, 90, 60, 0, false},
                      Case{{"--quality", "80", "--optimize", "--jpeg-lossless"}, 80, 80, 80, 80, true}),
    [](const ::testing::TestParamInfo<Case>& info) {
      return info.param.options.empty() ? std::string("defaults")
                                        : testsupport::ParamName(testsupport::Joined(info.param.options));
    });

}  // namespace

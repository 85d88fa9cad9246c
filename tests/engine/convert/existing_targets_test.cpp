// Which targets --update leaves alone: a file of its own at least as new as
// its source, its time read at its file system's step.

#include "engine/convert/ExistingTargets.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>

#include "TestSupport.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct StepCase {
  const char* name;
  fs::file_time_type::duration source;  // after a whole, even second
  fs::file_time_type::duration target;
  bool upToDate;
  friend void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }
};

class UpToDateSteps : public ::testing::TestWithParam<StepCase> {};

// A time given to a target (--keep-time) is cut to its file system's step:
// such a target is as new as its source, a target older by a whole step is not.
TEST_P(UpToDateSteps, AreReadAtTheTargetsOwnStep) {
  const fs::file_time_type even = std::chrono::file_clock::from_sys(
      std::chrono::sys_time<std::chrono::nanoseconds>(std::chrono::sys_days{2026y / 12 / 9} + 10h));
  EXPECT_EQ(engine::UpToDate(even + GetParam().source, even + GetParam().target), GetParam().upToDate);
}

INSTANTIATE_TEST_SUITE_P(
    Times, UpToDateSteps,
    ::testing::Values(StepCase{"NewerTarget", 123456789ns, 123456790ns, true},
                      StepCase{"OlderByANanosecond", 123456790ns, 123456789ns, false},
                      StepCase{"CutToTwoSecondsOnFat", 1s + 999ms, 0s, true},
                      StepCase{"CutToWholeSeconds", 1s + 400ms, 1s, true},
                      StepCase{"CutToTenMillisecondsOnExfat", 123456789ns, 120ms, true},
                      StepCase{"OlderByAWholeSecond", 2s + 400ms, 1s, false},
                      StepCase{"OlderByTwoSecondsOnFat", 2s + 1ms, 0s, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A folder, a pipe or a link at a target's name is never up to date: the
// link's time is another file's.
TEST(UpToDate, OnlyAFileOfItsOwnIsUpToDate) {
  testsupport::TempDir tmp;
  testsupport::WriteFile(tmp / "source.png");
  fs::last_write_time(tmp / "source.png", fs::file_time_type::clock::now() - 24h);
  testsupport::WriteFile(tmp / "elsewhere.png");
  engine::ConversionOptions update;
  update.skipUpToDate = true;
  auto alone = [&](const char* name) {
    return engine::LeavesTargetAlone(update, img::PathToUtf8(tmp / "source.png"), img::PathToUtf8(tmp / name));
  };
  testsupport::WriteFile(tmp / "file.png");
  EXPECT_TRUE(alone("file.png"));
  fs::create_directory(tmp / "folder.png");
  EXPECT_FALSE(alone("folder.png"));
  std::error_code ec;
  fs::create_symlink(tmp / "elsewhere.png", tmp / "link.png", ec);
  if (!ec) {
    EXPECT_FALSE(alone("link.png"));
  }
#ifndef _WIN32
  ASSERT_EQ(mkfifo(img::PathToUtf8(tmp / "pipe.png").c_str(), 0600), 0);
  EXPECT_FALSE(alone("pipe.png"));
#endif
}

}  // namespace

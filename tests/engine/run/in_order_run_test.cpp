#include "engine/run/InOrderRun.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "TestSupport.h"
#include "engine/convert/PictureMemory.h"
#include "engine/formats/png/PngImage.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;

namespace {

// Two pictures whose needs add up to the budget are held at once: the
// second is started while the first is written. One byte less, and it
// waits until the first is written.
struct BudgetCase {
  const char* name;
  std::int64_t budgetBeyondBoth;  // bytes the budget has beyond the two needs
  bool sideBySide;
  friend void PrintTo(const BudgetCase& c, std::ostream* os) { *os << c.name; }
};

class PipelineBudget : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(PipelineBudget, HoldsTwoPicturesAtOnceOnlyWhenTheyFit) {
  testsupport::TempDir tmp;
  const engine::ConversionOptions options = testsupport::TickedFormats(false, false, false, true);
  std::vector<engine::RunSource> sources;
  std::uint64_t needs = 0;
  fs::create_directories(tmp / "src");
  fs::create_directories(tmp / "out");
  for (const char* name : {"a.png", "b.png"}) {
    engine::PngImage().Save(testsupport::GradientBitmap(600, 400), tmp / "src" / name);
    sources.push_back({img::PathToUtf8(tmp / "src" / name), {}, {}});
    needs += engine::EstimatedNeedBytes(sources.back().path, options);
  }
  const engine::RunPlan plan = engine::PlanRun(sources, img::PathToUtf8(tmp / "out") + "/", options);
  ASSERT_EQ(plan.pictures.size(), 2u);
  engine::FixedOptionsCallbacks host(options);
  engine::InOrderRun pipeline(host, needs + GetParam().budgetBeyondBoth);

  std::mutex mutex;
  std::condition_variable started;
  bool second_started = false, second_before_first_written = false;
  engine::InOrderRun::Hooks hooks;
  hooks.wanted = [&](const engine::PlannedPicture& picture) {
    std::lock_guard lock(mutex);
    if (picture.source == 1) second_started = true;
    started.notify_all();
    return true;
  };
  hooks.done = [&](const engine::PlannedPicture& picture, const engine::ConversionReport&) {
    if (picture.source != 0) return;
    // The first stays unwritten until the second starts, a while at most.
    std::unique_lock lock(mutex);
    const auto wait = std::chrono::milliseconds(GetParam().sideBySide ? 10000 : 300);
    second_before_first_written = started.wait_for(lock, wait, [&] { return second_started; });
  };
  ASSERT_TRUE(pipeline.Run({&plan.pictures[0], &plan.pictures[1]}, hooks));
  EXPECT_EQ(second_before_first_written, GetParam().sideBySide);
  EXPECT_TRUE(fs::exists(tmp / "out" / "a.png"));
  EXPECT_TRUE(fs::exists(tmp / "out" / "b.png"));
}

INSTANTIATE_TEST_SUITE_P(Budgets, PipelineBudget,
                         ::testing::Values(BudgetCase{"NeedsAddUpToTheBudget", 0, true},
                                           BudgetCase{"OneByteShort", -1, false}),
                         testsupport::ByName());

}  // namespace

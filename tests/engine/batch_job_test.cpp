#include "engine/BatchJob.h"

#include <chrono>
#include <iterator>
#include <thread>

#include "TestSupport.h"
#include "engine/PictureMemory.h"
#include "engine/PngImage.h"
#include "imaging/FileIO.h"

namespace fs = std::filesystem;

namespace {

// Two pictures that do not fit the budget together: the second starts only
// once the first has ended, on two threads as on one.
TEST(BatchJob, PicturesThatDoNotFitTheMemoryBudgetTogetherRunOneAfterTheOther) {
  testsupport::TempDir tmp;
  const engine::ConversionOptions options = testsupport::TickedFormats(true, false, false, false);
  engine::BatchJob job(options, img::PathToUtf8(tmp / "out") + "/", 2);
  for (const char* name : {"a.png", "b.png"}) {
    fs::create_directories(tmp / "src");
    engine::PngImage().Save(testsupport::GradientBitmap(600, 400), tmp / "src" / name);
    job.Add({img::PathToUtf8(tmp / "src" / name), {}, {}});
  }
  job.SetMemoryBudget(engine::EstimatedNeedBytes(img::PathToUtf8(tmp / "src" / "a.png"), options) * 3 / 2);

  int targets_when_first_ended = -1;
  const engine::BatchOutcome outcome = job.Run([&](int done, int) {
    if (done != 1) return;
    // Time enough for a picture run beside this one to end as well.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    targets_when_first_ended =
        static_cast<int>(std::distance(fs::directory_iterator(tmp / "out"), fs::directory_iterator()));
  });
  EXPECT_EQ(outcome.filesWritten, 2);
  EXPECT_EQ(targets_when_first_ended, 1);
}

}  // namespace

#include "engine/run/AnyOrderRun.h"

#include <chrono>
#include <iterator>
#include <thread>

#include "TestSupport.h"
#include "engine/convert/PictureMemory.h"
#include "engine/formats/png/PngImage.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;

namespace {

// Two pictures that do not fit the budget together: the second starts only
// once the first has ended, on two threads as on one.
TEST(AnyOrderRun, PicturesThatDoNotFitTheMemoryBudgetTogetherRunOneAfterTheOther) {
  testsupport::TempDir tmp;
  const engine::ConversionOptions options = testsupport::TickedFormats(true, false, false, false);
  engine::AnyOrderRun job(options, img::PathToUtf8(tmp / "out") + "/", 2);
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

namespace {

// An output subfolder swapped mid-run, moved away and replaced by a link
// to the sources' own folder: the run's later targets fail, every source
// stays as it was, and nothing more lands in the folder moved away. Where
// the system keeps a held folder from being moved (Windows), every target
// is written in its place.
TEST(AnyOrderRun, AnOutputFolderSwappedForALinkMidRunReachesNoOtherFile) {
  testsupport::TempDir tmp;
  const fs::path sources = tmp / "src" / "sub", out = tmp / "out";
  fs::create_directories(sources);
  engine::ConversionOptions turned = testsupport::TickedFormats(false, false, false, true);
  turned.rotation = 1;  // targets unlike their sources
  engine::AnyOrderRun job(turned, img::PathToUtf8(out) + "/", 1);
  std::vector<std::string> originals;
  for (const char* name : {"a.png", "b.png", "c.png"}) {
    engine::PngImage().Save(testsupport::GradientBitmap(40, 30), sources / name);
    originals.push_back(testsupport::ReadFile(sources / name));
    job.Add({img::PathToUtf8(sources / name), {}, "sub/"});
  }
  std::error_code refused, no_links;
  const engine::BatchOutcome outcome = job.Run([&](int done, int) {
    if (done != 1) return;
    fs::rename(out / "sub", out / "moved", refused);
    if (!refused) fs::create_directory_symlink(sources, out / "sub", no_links);
  });
  for (std::size_t i = 0; i < originals.size(); ++i)
    EXPECT_TRUE(testsupport::ReadFile(sources / (std::string(1, static_cast<char>('a' + i)) + ".png")) == originals[i]);
  if (refused) {
    EXPECT_EQ(outcome.filesWritten, 3);
    return;
  }
  if (no_links) GTEST_SKIP() << "no folder links here: " << no_links.message();
  EXPECT_EQ(outcome.filesWritten, 1);
  EXPECT_EQ(outcome.failedPictures, 2);
  EXPECT_EQ(std::distance(fs::directory_iterator(out / "moved"), fs::directory_iterator()), 1);
  ASSERT_FALSE(outcome.failures.empty());
  EXPECT_NE(outcome.failures[0].detail.find("its folder was moved or replaced meanwhile"), std::string::npos)
      << outcome.failures[0].detail;
}

}  // namespace

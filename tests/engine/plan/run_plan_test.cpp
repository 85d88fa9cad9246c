// A run's targets are planned before the first is written: on real folders,
// through the plan and through a whole batch.

#include "engine/plan/RunPlan.h"

#include "TestSupport.h"
#include "engine/run/AnyOrderRun.h"
#include "engine/plan/FolderWalk.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/png/PngImage.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

std::string U(const fs::path& p) { return img::PathToUtf8(p); }

class RunPlanTest : public ::testing::Test {
 protected:
  // A folder path as the runs hand it over: ending in a separator.
  std::string Folder(const std::string& rel) const { return U(tmp_ / img::PathFromUtf8(rel)) + "/"; }
  std::string File(const std::string& rel) const {
    testsupport::WriteFile(tmp_ / img::PathFromUtf8(rel));
    return U(tmp_ / img::PathFromUtf8(rel));
  }
  // The folder run's sources: the walk's real paths and lower-cased names.
  std::vector<RunSource> Walk(const std::string& rel) const {
    std::vector<ListedPicture> listed;
    ListPictureTree(Folder(rel), PictureExtensions(), listed);
    std::vector<RunSource> sources;
    for (const ListedPicture& l : listed) sources.push_back({l.path, l.targetName, {}});
    return sources;
  }
  // Each planned picture's target names, refused ones marked with '!'.
  static std::vector<std::string> Names(const RunPlan& plan) {
    std::vector<std::string> names;
    for (const PlannedPicture& p : plan.pictures)
      for (const PlannedTarget& t : p.targets) {
        std::string name = t.refusal ? "!" : "";
        names.push_back(name.append(img::FileNamePart(t.path)));
      }
    return names;
  }
  std::vector<std::string> Listing(const std::string& rel) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(tmp_ / rel)) names.push_back(U(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
  }

  testsupport::TempDir tmp_;
};

// Camera folders: the first picture keeps the plain names, a later one of
// the same name (case ignored) gets the next free number, a number held by
// a picture the run reads is passed over, a file named twice is planned
// once, and a rerun over the first run's targets gives the same names.
TEST_F(RunPlanTest, PicturesOfOneNameGetNumberedNamesInListingOrder) {
  for (const char* rel : {"src/100CANON/IMG_0001.JPG", "src/100CANON/IMG_0002.JPG", "src/101CANON/IMG_0001.JPG",
                          "src/101CANON/img_0002.jpg", "src/101CANON/IMG_0003.JPG", "src/102/IMG_0001.JPG"})
    File(rel);
  const std::string held = File("out/img_0001 (3).png");
  ConversionOptions jpg_png = testsupport::TickedFormats(false, true, false, true);
  std::vector<RunSource> sources = Walk("src");
  sources.push_back(sources.front());
  sources.push_back({U(tmp_ / "src" / "100CANON" / ".." / "100CANON" / "IMG_0002.JPG"), "img_0002.jpg", {}});

  const RunPlan plan = PlanRun(sources, Folder("out"), jpg_png, {held});
  const std::vector<std::string> expected{
      "img_0001.jpg",     "img_0001.png",     "img_0002.jpg",     "img_0002.png",     "img_0001 (2).jpg",
      "img_0001 (2).png", "img_0002 (2).jpg", "img_0002 (2).png", "img_0003.jpg",     "img_0003.png",
      "img_0001 (4).jpg", "img_0001 (4).png"};
  EXPECT_EQ(Names(plan), expected);
  ASSERT_EQ(plan.pictures.size(), 6u);
  EXPECT_FALSE(plan.pictures[0].renamed);
  EXPECT_TRUE(plan.pictures[2].renamed);
  EXPECT_EQ(plan.pictures[5].source, 5u);

  for (const PlannedPicture& p : plan.pictures)
    for (const PlannedTarget& t : p.targets) testsupport::WriteFile(img::PathFromUtf8(t.path));
  EXPECT_EQ(Names(PlanRun(sources, Folder("out"), jpg_png, {held})), expected);

  // Names kept letter for letter (a selected run's) are numbered ignoring case too.
  File("sel/Pic.png");
  File("sel/pic.png");
  const RunPlan selected = PlanRun({{U(tmp_ / "sel" / "Pic.png"), {}, {}}, {U(tmp_ / "sel" / "pic.png"), {}, {}}}, Folder("out2"),
                                   testsupport::TickedFormats(false, false, false, true));
  if (img::IsSameFile(tmp_ / "sel" / "Pic.png", tmp_ / "sel" / "pic.png"))  // a system that ignores case
    EXPECT_EQ(Names(selected), std::vector<std::string>{"Pic.png"});
  else
    EXPECT_EQ(Names(selected), (std::vector<std::string>{"Pic.png", "pic (2).png"}));
}

// A template that names every picture alike numbers them (a picture's
// names share their number), past a source of that name in the output
// folder, rather than refusing them: none is lost.
TEST_F(RunPlanTest, TemplateNamesAreNumberedPastEverySource) {
  for (const char* rel : {"d/A.JPG", "d/b.png", "d/shot.jpg"}) File(rel);
  ConversionOptions options = testsupport::TickedFormats(false, true, false, true);
  options.nameTemplate = "shot";
  EXPECT_EQ(Names(PlanRun(Walk("d"), Folder("d"), options)),
            (std::vector<std::string>{"shot (2).jpg", "shot (2).png", "shot (3).jpg", "shot (3).png", "shot (4).jpg",
                                      "shot (4).png"}));
}

// With the output folder the source's own: a target on any picture of the
// run is refused with the reason, the picture's other targets and the other
// pictures are written, and the counts are the files that appeared.
TEST_F(RunPlanTest, AnOutputFolderThatIsTheSourceKeepsEveryPicture) {
  const fs::path d = tmp_ / "d";
  fs::create_directories(d);
  PngImage().Save(testsupport::GradientBitmap(100, 50), d / "a.png");
  JpegImage().Save(testsupport::GradientBitmap(60, 80), d / "a.jpg");
  PngImage().Save(testsupport::GradientBitmap(10, 10), d / "b.png");
  const std::vector<std::string> originals{testsupport::ReadFile(d / "a.jpg"), testsupport::ReadFile(d / "a.png"),
                                           testsupport::ReadFile(d / "b.png")};
  const std::string dir = Folder("d");

  for (int run = 1; run <= 2; ++run) {
    const std::size_t files_before = Listing("d").size();
    AnyOrderRun job(testsupport::TickedFormats(true, true, true, true), dir, 2);
    for (RunSource& s : Walk("d")) job.Add(std::move(s));
    const BatchOutcome outcome = job.Run();
    EXPECT_TRUE(testsupport::ReadFile(d / "a.jpg") == originals[0]) << run;
    EXPECT_TRUE(testsupport::ReadFile(d / "a.png") == originals[1]) << run;
    EXPECT_TRUE(testsupport::ReadFile(d / "b.png") == originals[2]) << run;
    EXPECT_EQ(Listing("d").size(), files_before + static_cast<std::size_t>(outcome.filesWritten)) << run;
    if (run == 2) {
      EXPECT_EQ(outcome.filesWritten, 0);  // every name is a picture the run reads now
      continue;
    }
    EXPECT_EQ(outcome.filesWritten, 9);
    EXPECT_EQ(outcome.filesRenamed, 4);
    EXPECT_EQ(outcome.failedPictures, 2);
    EXPECT_EQ(testsupport::FailureLines(outcome.failures),
              (std::vector<std::string>{dir + "a.jpg: the target is the source file itself",
                                        dir + "a.png: it would replace the source picture " + dir + "a.png",
                                        dir + "b.png: the target is the source file itself"}));
    img::Bitmap renamed;
    PngImage().Load(d / "a (2).png", renamed);
    EXPECT_EQ(renamed.width(), 100);
  }
}

}  // namespace

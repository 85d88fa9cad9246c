#include "ui/core/ConversionRuns.h"

#include <functional>
#include <mutex>

#include "RecordingDialogs.h"
#include "TestSupport.h"
#include "engine/formats/png/PngImage.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "text/InterfaceText.h"
#include "ui/core/Dialogs.h"
#include "ui/core/FolderPaths.h"

using namespace ui;
namespace fs = std::filesystem;

namespace {

std::string U(const fs::path& p) { return img::PathToUtf8(p); }

// The main window as the runs see it, with every call recorded. The options
// are read, and targets reported, from the run's threads.
class FakeWindow : public RunWindow {
 public:
  std::mutex optionsMutex;
  engine::ConversionOptions options;
  engine::VectorPictureList source, target;
  std::string sourcePath, targetPath, sourceEdit, outputEdit;
  std::vector<std::string> failures{"?"};
  bool stop = false, keepTree = false;
  std::vector<std::string> hints;
  int progress = -1, pictures = 0, targetClicks = 0, refreshes = 0;
  // Called on the run's thread after each target is written.
  std::function<void(const std::string& path)> onTarget;

  engine::ConversionOptions Options() override {
    std::lock_guard lock(optionsMutex);
    return options;
  }
  engine::PictureList* ConvertedList() override { return &target; }
  void TargetWritten(const std::string& path) override {
    if (onTarget) onTarget(path);
    RunWindow::TargetWritten(path);
  }
  engine::PictureList& SourceList() override { return source; }
  engine::PictureList& TargetList() override { return target; }
  std::string SourcePath() override { return sourcePath; }
  std::string TargetPath() override { return targetPath; }
  std::string SourceEditFolder() override { return sourceEdit; }
  std::string OutputEditFolder() override { return outputEdit; }
  bool KeepTree() override { return keepTree; }
  bool StopRequested() override { return stop; }
  void ClearStopRequest() override { stop = false; }
  void SetHint(const std::string& text) override {
    hints.push_back(text);
    if (text.find(text::TxtConverted) != std::string::npos) ++pictures;
  }
  void OfferFailures(const std::vector<std::string>& offered) override { failures = offered; }
  void ShowProgressBar() override {}
  void SetProgress(int position) override { progress = position; }
  void FocusSourceList() override {}
  void FocusTargetList() override {}
  void TargetListClick() override { ++targetClicks; }
  void RefreshTargetList() override { ++refreshes; }
};

class RunsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    text::ApplyInterfaceText();
    previous_ = InstallDialogs(&dialogs_);
    fs::create_directories(tmp_ / "src");
    window_.sourcePath = U(tmp_ / "src") + "/";
    window_.targetPath = U(tmp_ / "out") + "/";
    window_.sourceEdit = window_.sourcePath;
    window_.outputEdit = window_.targetPath;
  }
  void TearDown() override { InstallDialogs(previous_); }

  void AddSource(const std::string& name, bool selected = true) {
    fs::path p = tmp_ / "src" / img::PathFromUtf8(name);
    fs::create_directories(p.parent_path());
    engine::PngImage().Save(testsupport::GradientBitmap(8, 6), p);
    if (name.find('/') == std::string::npos) {
      window_.source.Append(name);
      window_.source.SetSelected(window_.source.Count() - 1, selected);
      if (selected) window_.source.SetCurrentIndex(window_.source.Count() - 1);
    }
  }
  std::vector<std::string> OutNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto& e : fs::directory_iterator(tmp_ / "out", ec)) names.push_back(U(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
  }

  testsupport::TempDir tmp_;
  testsupport::RecordingDialogs dialogs_;
  Dialogs* previous_ = nullptr;
  FakeWindow window_;
};

TEST_F(RunsTest, SelectedRunConvertsEverySelectedPictureAndSelectsTheLastPng) {
  AddSource("a.png");
  AddSource("skip.png", false);
  AddSource("b.png");
  AddSource("c.png");
  EXPECT_EQ(ConvertSelected(window_), RunEnd::Completed);
  EXPECT_EQ(OutNames().size(), 12u);  // three pictures, four formats
  EXPECT_FALSE(fs::exists(tmp_ / "out" / "skip.bmp"));
  EXPECT_EQ(window_.pictures, 3);
  EXPECT_EQ(window_.hints.back(), text::TxtAllConverted);
  EXPECT_EQ(window_.hints[0], "1 / 3  " + text::TxtConverted + window_.sourcePath + "a.png");
  EXPECT_EQ(window_.hints[2], "3 / 3  " + text::TxtConverted + window_.sourcePath + "c.png");
  // Only the PNG target of the last picture is selected, and it was previewed.
  const int png = engine::FindListItem("c.png", &window_.target);
  ASSERT_GE(png, 0);
  for (int i = 0; i < window_.target.Count(); ++i) EXPECT_EQ(window_.target.IsSelected(i), i == png);
  EXPECT_EQ(window_.target.CurrentIndex(), png);
  EXPECT_EQ(window_.targetClicks, 1);
  EXPECT_EQ(window_.progress, 100);  // the bar filled once
  EXPECT_TRUE(window_.failures.empty());
}

// The window offers no way to raise its memory budget: a picture that needs
// more than the whole of it is converted alone, never refused.
TEST_F(RunsTest, PicturesNeedingMoreThanTheWholeMemoryBudgetAreStillConverted) {
  for (const char* name : {"a.png", "b.png", "c.png"}) AddSource(name);
  RunEnd notStarted = RunEnd::Completed;
  std::optional<ui::Run> run = StartSelectedRun(window_, notStarted);
  ASSERT_TRUE(run);
  EXPECT_EQ(WorkRun(*run, window_, 1), RunEnd::Completed);
  EXPECT_EQ(run->counts.failedPictures, 0);
  EXPECT_EQ(run->converted, 3);
  EXPECT_EQ(OutNames().size(), 12u);
}

TEST_F(RunsTest, NoCurrentEntryOrNoSelectionShowsTheMessage) {
  EXPECT_EQ(ConvertSelected(window_), RunEnd::NoSelection);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0], "请选择一个要转换的图片");

  AddSource("a.png", false);
  window_.source.SetCurrentIndex(0);
  EXPECT_EQ(ConvertSelected(window_), RunEnd::NoSelection);
  EXPECT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_TRUE(window_.source.IsSelected(0));  // the first entry is selected for the user
  EXPECT_TRUE(OutNames().empty());
}

TEST_F(RunsTest, StopBetweenPicturesFinishesTheCurrentOne) {
  for (const char* n : {"1.png", "2.png", "3.png", "4.png", "5.png"}) AddSource(n);
  window_.options.targets = engine::FormatTicks::Named({"png"});
  window_.onTarget = [&](const std::string& path) {
    if (path.ends_with("2.png")) window_.stop = true;  // clicked during the second picture
  };
  EXPECT_EQ(ConvertSelected(window_), RunEnd::Stopped);
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"1.png", "2.png"}));
  EXPECT_EQ(window_.hints.back(), StopHint(2));
  EXPECT_EQ(window_.hints.back(), "你已停止图片转换（已转换2个图片）");
  EXPECT_EQ(window_.targetClicks, 0);
  EXPECT_EQ(window_.progress, 40);
}

// Nothing was left to stop: the run is complete, and its output shown.
TEST_F(RunsTest, StopDuringAFolderRunsLastPictureEndsItAsCompleted) {
  AddSource("a/1.png");
  AddSource("a/2.png");
  window_.sourceEdit = U(tmp_ / "src" / "a") + "/";
  window_.options = testsupport::TickedFormats(true, false, false, false);
  window_.onTarget = [&](const std::string& path) {
    if (path.ends_with("2.bmp")) window_.stop = true;
  };
  EXPECT_EQ(ConvertFolder(window_), RunEnd::Completed);
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"1.bmp", "2.bmp"}));
  EXPECT_EQ(window_.refreshes, 1);
  EXPECT_EQ(window_.hints.back(), text::TxtAllConverted);
}

// Nothing ticked would write nothing and still say all was done: neither
// run starts, and the message says why.
TEST_F(RunsTest, NoTickedFormatIsRefusedWithAMessage) {
  AddSource("a.png");
  window_.options.targets = engine::FormatTicks::Nothing();
  EXPECT_EQ(ConvertSelected(window_), RunEnd::NoFormat);
  EXPECT_EQ(ConvertFolder(window_), RunEnd::NoFormat);
  EXPECT_EQ(dialogs_.messages, (std::vector<std::string>(2, "请至少选择一种转换格式")));
  EXPECT_TRUE(window_.hints.empty());
  EXPECT_TRUE(OutNames().empty());
  EXPECT_EQ(window_.target.Count(), 0);
  EXPECT_EQ(window_.targetClicks, 0);
}

TEST_F(RunsTest, AFailedPictureIsNotReportedAsConverted) {
  AddSource("good.png");
  img::WriteFileAtomically(tmp_ / "src" / "bad.png", std::vector<std::uint8_t>{1, 2, 3});
  window_.source.Append("bad.png");
  window_.source.SetSelected(1, true);
  EXPECT_EQ(ConvertSelected(window_), RunEnd::Completed);
  EXPECT_EQ(window_.pictures, 1);
  EXPECT_EQ(window_.hints[1], "2 / 2  转换失败" + window_.sourcePath + "bad.png");
  EXPECT_EQ(window_.hints.back(), RunEndHint({.failedPictures = 1}));
  EXPECT_NE(window_.hints.back(), text::TxtAllConverted);
  EXPECT_EQ(window_.targetClicks, 0);  // bad.png has no target to select
  // The reason and its cause in the window's words, the decoder's own after them.
  ASSERT_EQ(window_.failures.size(), 1u);
  EXPECT_EQ(window_.failures[0].rfind(window_.sourcePath + "bad.png\n    无法读取图片（文件已损坏或不是这种图片）：", 0), 0u)
      << window_.failures[0];
}

// Into its own source folder, a selected run replaces no picture of the
// folder, selected or not; names taken in the run are numbered, ignoring case.
TEST_F(RunsTest, ASelectedRunIntoItsSourceFolderReplacesNoPicture) {
  AddSource("a.png");
  AddSource("a.bmp", false);
  AddSource("b.png");
  AddSource("B.PNG");
  const std::string a_bmp = testsupport::ReadFile(tmp_ / "src" / "a.bmp");
  window_.targetPath = window_.sourcePath;
  window_.options.targets = engine::FormatTicks::Named({"bmp", "png"});
  EXPECT_EQ(ConvertSelected(window_), RunEnd::Completed);
  EXPECT_EQ(testsupport::ReadFile(tmp_ / "src" / "a.bmp"), a_bmp);
  // Where names ignore case, b.png and B.PNG are one picture.
  const bool ignores_case = img::IsSameFile(tmp_ / "src" / "b.png", tmp_ / "src" / "B.PNG");
  EXPECT_EQ(window_.hints[0], (ignores_case ? "1 / 2  转换失败" : "1 / 3  转换失败") + window_.sourcePath + "a.png");
  if (!ignores_case) {
    EXPECT_TRUE(fs::exists(tmp_ / "src" / "b.bmp"));
    EXPECT_TRUE(fs::exists(tmp_ / "src" / "B (2).bmp"));
    // a.png lost both targets, b.png its PNG only: counted apart.
    EXPECT_EQ(window_.hints.back(), RunEndHint({.failedPictures = 1, .missedTargets = 1, .renamedTargets = 2}));
  }
  ASSERT_FALSE(window_.failures.empty());
  EXPECT_NE(window_.failures[0].find("a.bmp：转换后的图片会覆盖源图片“" + window_.sourcePath + "a.bmp”，没有写入"),
            std::string::npos)
      << window_.failures[0];
}

TEST_F(RunsTest, ASelectedRunKeepsTheFoldersItStartedWith) {
  AddSource("a.png");
  AddSource("b.png");
  window_.onTarget = [this](const std::string&) {
    window_.sourcePath = U(tmp_ / "elsewhere") + "/";
    window_.targetPath = U(tmp_ / "other") + "/";
  };
  EXPECT_EQ(ConvertSelected(window_), RunEnd::Completed);
  EXPECT_EQ(window_.pictures, 2);
  EXPECT_EQ(OutNames().size(), 8u);
  EXPECT_FALSE(fs::exists(tmp_ / "other"));
}

// A rotation chosen while the second picture is written: no picture is
// half turned, the first two are not turned, and a picture started after
// the change is (the two after the second may have started beside it).
TEST_F(RunsTest, AnOptionChangedDuringARunAppliesFromTheNextPicture) {
  for (const char* n : {"1.png", "2.png", "3.png", "4.png", "5.png"}) AddSource(n);
  window_.options.targets = engine::FormatTicks::Named({"bmp", "png"});
  window_.onTarget = [&](const std::string& path) {
    if (!path.ends_with("2.bmp")) return;
    std::lock_guard lock(window_.optionsMutex);
    window_.options.rotation = 1;
  };
  EXPECT_EQ(ConvertSelected(window_), RunEnd::Completed);
  std::vector<bool> turned;
  for (const char* n : {"1", "2", "3", "4", "5"}) {
    img::Bitmap bmp, png;
    bmp.LoadFromFile(tmp_ / "out" / (std::string(n) + ".bmp"));
    engine::PngImage().Load(tmp_ / "out" / (std::string(n) + ".png"), png);
    EXPECT_EQ(bmp.width(), png.width()) << n;
    turned.push_back(bmp.width() == 6);
  }
  EXPECT_EQ(turned[0], false);
  EXPECT_EQ(turned[1], false);
  EXPECT_EQ(turned[4], true);
}

TEST_F(RunsTest, TheFailureListNamesEveryFailedPicture) {
  for (int i = 0; i < 22; ++i) {
    const std::string name = "bad" + std::to_string(100 + i) + ".png";
    img::WriteFileAtomically(tmp_ / "src" / name, std::vector<std::uint8_t>{1, 2, 3});
    window_.source.Append(name);
    window_.source.SetSelected(i, true);
  }
  window_.source.SetCurrentIndex(0);
  ConvertSelected(window_);
  EXPECT_EQ(window_.hints.back(), RunEndHint({.failedPictures = 22}));
  ASSERT_EQ(window_.failures.size(), 22u);
  EXPECT_EQ(window_.failures[21].rfind(window_.sourcePath + "bad121.png\n", 0), 0u);
}

TEST_F(RunsTest, FolderRunConvertsTheTreeWithLowerCaseNamesIntoTheOutputFolder) {
  AddSource("a/Photo.PNG");
  AddSource("a/b/x.png");
  AddSource("a/c/X.png");  // the same names as b/x.png, listed later: numbered
  AddSource("a/.hidden.png");
  window_.sourceEdit = U(tmp_ / "src" / "a") + FolderSeparator();  // as the window's edit reader gives it
  window_.options.targets = engine::FormatTicks::Named({"bmp"});
  EXPECT_EQ(ConvertFolder(window_), RunEnd::Completed);
  EXPECT_EQ(OutNames(), (std::vector<std::string>{".hidden.bmp", "photo.bmp", "x (2).bmp", "x.bmp"}));
  EXPECT_EQ(window_.refreshes, 1);
  EXPECT_EQ(window_.hints.back(), RunEndHint({.renamedTargets = 1}));
  EXPECT_EQ(window_.hints[3],
            "4 / 4  " + text::TxtConverted + img::AsciiUpper(U(tmp_ / "src" / "a")) + FolderSeparator() + "photo.png");
}

TEST_F(RunsTest, ASecondFolderRunDoesNotConvertTheFirstOnesOutput) {
  AddSource("a.png");
  window_.outputEdit = U(tmp_ / "src" / "out") + "/";
  window_.options.targets = engine::FormatTicks::Named({"png"});
  window_.options.rotation = 1;
  ConvertFolder(window_);
  ConvertFolder(window_);
  EXPECT_EQ(window_.pictures, 2);  // a.png once per run, out/a.png never
  EXPECT_EQ(window_.hints.back(), text::TxtAllConverted);
  img::Bitmap turned;
  engine::PngImage().Load(tmp_ / "src" / "out" / "a.png", turned);
  EXPECT_EQ(turned.width(), 6);  // a quarter turn of 8 x 6, not two
}

TEST_F(RunsTest, BlankOutputFolderWritesNothingAnywhere) {
  AddSource("a.png");
  window_.outputEdit = "";
  EXPECT_EQ(ConvertFolder(window_), RunEnd::NoOutputFolder);
  window_.targetPath = "";
  EXPECT_EQ(ConvertSelected(window_), RunEnd::NoOutputFolder);
  EXPECT_EQ(dialogs_.messages, (std::vector<std::string>{text::TxtSelectPath, text::TxtSelectPath}));
  EXPECT_FALSE(fs::exists("a.png.bmp"));
  EXPECT_FALSE(fs::exists("a.bmp"));
}

TEST_F(RunsTest, MissingSourceFolderEndsAsCompleted) {
  window_.sourceEdit = U(tmp_ / "nothing-here") + "/";
  EXPECT_EQ(ConvertFolder(window_), RunEnd::Completed);
  EXPECT_EQ(window_.hints.back(), text::TxtAllConverted);
}

}  // namespace

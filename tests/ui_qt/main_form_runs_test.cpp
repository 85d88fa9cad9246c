// The two batch buttons driven as a user would: runs over selected pictures
// and over a folder tree, a stop clicked during a run, closing the window
// during a run, and the start/stop toggle's glyphs and states.

#include <QAction>
#include <QButtonGroup>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <fstream>
#include <functional>
#include <memory>

#include "MainWindowFixture.h"
#include "engine/formats/PictureFormats.h"
#include "imaging/Bitmap.h"
#include "ui/core/ConversionRuns.h"
#include "ui/core/FolderPaths.h"
#include "ui/WindowHelpers.h"

namespace windowtest {
using namespace testsupport;
namespace {

class RunsTest : public OptionsTest {
 protected:
  void SetUp() override {
    OptionsTest::SetUp();
    for (const char* name : {"CbJPG", "CBBMP", "CBJPEG", "CbPNG", "CbTargetImgPreview"})
      Find<QCheckBox>(name)->setChecked(true);
    form->SetZoomTypeItemIndex(0);
  }

  std::vector<std::string> OutNames() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir / "out")) names.push_back(U(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::string> Items(const char* list) {
    std::vector<std::string> items;
    auto* l = Find<QListWidget>(list);
    for (int i = 0; i < l->count(); ++i) items.push_back(l->item(i)->text().toStdString());
    return items;
  }
  std::vector<int> SelectedRows(const char* list) {
    std::vector<int> rows;
    auto* l = Find<QListWidget>(list);
    for (int i = 0; i < l->count(); ++i)
      if (l->item(i)->isSelected()) rows.push_back(i);
    return rows;
  }
  int Tag(const char* button) { return Find(button)->property("tag").toInt(); }
  QImage Glyph(const char* button) {
    return Find<QToolButton>(button)->icon().pixmap(QSize(122, 25)).toImage();
  }
  static QImage GlyphResource(const char* name) {
    img::Bitmap glyph;
    return ui::LoadGlyph(glyph, name) ? ui::ToQImage(glyph).convertToFormat(QImage::Format_RGB32)
                                      : QImage();
  }
  void SelectSources(std::initializer_list<int> rows) {
    auto* l = Find<QListWidget>("LbDocList");
    l->clearSelection();
    for (int r : rows) l->item(r)->setSelected(true);
    l->setCurrentRow(*rows.begin(), QItemSelectionModel::NoUpdate);
  }

  // Clicks a batch button and waits until the run it started has ended
  // and the converted picture it selected is previewed.
  void RunBy(const char* button) {
    Click(button);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !form->RunUnderWay(); }, 60000));
    WaitForPreviews();
  }

  // Holds the run once it has written the target whose path ends with
  // suffix; when ready() says so, runs action on the window's thread, then
  // lets the run go on (after ten seconds it goes on regardless).
  void AtTarget(const std::string& suffix, std::function<void()> action,
                std::function<bool()> ready = [] { return true; }) {
    auto held = std::make_shared<std::atomic<int>>(0);  // 1 held, 2 let go
    form->SetTargetWrittenHook([held, suffix](const std::string& path) {
      if (!path.ends_with(suffix)) return;
      *held = 1;
      for (int i = 0; i < 10000 && *held != 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    DuringRun([held, action, ready] {
      if (*held != 1 || !ready()) return false;
      action();
      *held = 2;
      return true;
    });
  }

  // Runs action on the window's thread, over and over while a run works,
  // until it says done.
  void DuringRun(std::function<bool()> action) {
    auto* timer = new QTimer(form.get());
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
      if (action()) timer->stop();
    });
    timer->start();
  }
};

TEST_F(RunsTest, NoSelectionShowsTheMessageAndStaysIdle) {
  SavePng(dir / "src" / "a.png", 4, 4);
  ListFolders();
  Show();
  RunBy("BtnImgCovert");
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0], "请选择一个要转换的图片");
  EXPECT_TRUE(OutNames().empty());
  EXPECT_EQ(Tag("BtnImgCovert"), 0);
  EXPECT_FALSE(form->RunUnderWay());
  EXPECT_TRUE(Find("BtnDirImgConvert")->isEnabled());
  const QImage idle = GlyphResource("BtnImgCovert");
  if (!idle.isNull()) {
    EXPECT_EQ(Glyph("BtnImgCovert").convertToFormat(QImage::Format_RGB32), idle);
  }
}

TEST_F(RunsTest, ThreeSelectedPicturesInEveryFormat) {
  for (const char* name : {"a.png", "b.png", "bskip.png", "c.png"})
    SavePng(dir / "src" / name, 12, 8);
  ListFolders();
  Show();
  SelectSources({0, 1, 3});
  bool otherDisabled = false;
  AtTarget("a.bmp", [&] { otherDisabled = form->RunUnderWay() && !Find("BtnDirImgConvert")->isEnabled(); });
  RunBy("BtnImgCovert");

  // Each picture in the order BMP, JPG, JPEG, PNG, as the converted list shows.
  EXPECT_EQ(Items("LbTarget"),
            (std::vector<std::string>{"a.bmp", "a.jpg", "a.jpeg", "a.png", "b.bmp", "b.jpg", "b.jpeg",
                                      "b.png", "c.bmp", "c.jpg", "c.jpeg", "c.png"}));
  EXPECT_EQ(OutNames().size(), 12u);
  EXPECT_EQ(Text("LblHint"), text::TxtAllConverted);
  // Only the PNG target of the last picture is selected, and previewed.
  EXPECT_EQ(SelectedRows("LbTarget"), std::vector<int>{11});
  EXPECT_EQ(form->CurrentTargetPictureValue(), OutFolder() + "c.png");
  EXPECT_EQ(Text("LblWHTarget"), "c.png [宽度:12,高度:8]");
  EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->value(), 100);  // filled once over the run
  EXPECT_TRUE(otherDisabled);
  EXPECT_TRUE(Find("BtnDirImgConvert")->isEnabled());
  EXPECT_EQ(Tag("BtnImgCovert"), 0);
  EXPECT_TRUE(dialogs.messages.empty());
}

// A phone photo stored lying on its side (EXIF orientation 6) is previewed
// upright, named with its upright size, and converted upright into every
// format.
TEST_F(RunsTest, APhonePhotoIsPreviewedAndConvertedUpright) {
  engine::PictureMetadata metadata;
  metadata.exif = ExifWithOrientation(6);
  SaveJpeg(dir / "src" / "phone.jpg", 40, 30, &metadata);
  Find<QCheckBox>("CbPreviewSourceImg")->setChecked(true);
  ListFolders();
  Show();
  ClickItem("LbDocList", 0);
  EXPECT_EQ(Text("LblWHSource"), "phone.jpg [宽度:30,高度:40]");
  EXPECT_EQ(Find<QLabel>("ImgSource")->pixmap().size(), QSize(30, 40));
  RunBy("BtnImgCovert");
  EXPECT_EQ(Text("LblWHTarget"), "phone.png [宽度:30,高度:40]");
  for (const char* name : {"phone.bmp", "phone.jpg", "phone.jpeg", "phone.png"}) {
    img::Bitmap target;
    engine::LoadPicture(U(dir / "out" / name), target);
    EXPECT_EQ(QSize(target.width(), target.height()), QSize(30, 40)) << name;
  }
}

TEST_F(RunsTest, NoFormatTickedWritesAndSelectsNothing) {
  SavePng(dir / "src" / "a.png", 4, 4);
  SavePng(dir / "out" / "old.png", 4, 4);
  ListFolders();
  for (const char* name : {"CbJPG", "CBBMP", "CBJPEG", "CbPNG"}) Find<QCheckBox>(name)->setChecked(false);
  Show();
  SelectSources({0});
  RunBy("BtnImgCovert");
  EXPECT_EQ(OutNames(), std::vector<std::string>{"old.png"});
  EXPECT_EQ(Items("LbTarget"), std::vector<std::string>{"old.png"});
  EXPECT_TRUE(SelectedRows("LbTarget").empty());
}

TEST_F(RunsTest, StopClickedDuringTheSecondOfFivePictures) {
  for (const char* name : {"p1.png", "p2.png", "p3.png", "p4.png", "p5.png"})
    SavePng(dir / "src" / name, 40, 30);
  ListFolders();
  Find<QListWidget>("LbRoateType")->setCurrentRow(1);
  Show();
  SelectSources({0, 1, 2, 3, 4});
  const std::string firstDone = "1 / 5  " + text::TxtConverted + SrcFolder() + "p1.png";
  std::string hintAtClick;
  QImage glyphWhileRunning;
  // Clicked while the second picture is written.
  AtTarget(
      "p2.bmp",
      [&] {
        hintAtClick = Text("LblHint");
        glyphWhileRunning = Glyph("BtnImgCovert");
        Click("BtnImgCovert");
        // The button is idle again, but the picture under way is not
        // finished: a second click now must not start another run.
        Click("BtnImgCovert");
      },
      [&] { return Text("LblHint") == firstDone; });
  RunBy("BtnImgCovert");

  EXPECT_EQ(hintAtClick, firstDone);
  EXPECT_EQ(Text("LblHint"), ui::StopHint(2));
  // The second picture was finished in every format; three to five were not.
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"p1.bmp", "p1.jpeg", "p1.jpg", "p1.png", "p2.bmp",
                                                  "p2.jpeg", "p2.jpg", "p2.png"}));
  EXPECT_EQ(Tag("BtnImgCovert"), 0);
  EXPECT_FALSE(form->RunUnderWay());
  EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->value(), 40);  // two of five
  const QImage stop = GlyphResource("BtnStopImgConvert");
  if (!stop.isNull()) {
    EXPECT_EQ(glyphWhileRunning.convertToFormat(QImage::Format_RGB32), stop);
    EXPECT_EQ(Glyph("BtnImgCovert").convertToFormat(QImage::Format_RGB32),
              GlyphResource("BtnImgCovert"));
  }
  // The rotation applied: 40 x 30 became 30 x 40.
  img::Bitmap p2;
  p2.LoadFromFile(dir / "out" / "p2.bmp");
  EXPECT_EQ(p2.width(), 30);
  EXPECT_EQ(p2.height(), 40);
}

TEST_F(RunsTest, FolderRunOverNestedFolders) {
  const fs::path a = dir / "src";
  SaveJpeg(a / "Photo.JPG", 10, 10);
  SaveJpeg(a / "b" / "inb.jpg", 10, 10);
  SaveJpeg(a / "b" / "c" / "inc.jpg", 10, 10);
  SavePng(a / "b" / "x.png", 8, 6);
  SavePng(a / "c" / "x.png", 10, 7);  // listed after b's: its targets are numbered
  SavePng(a / ".hidden.png", 5, 5);
  { std::ofstream(a / "notes.txt") << "not a picture"; }
  for (const char* name : {"CBJPEG", "CbPNG"}) Find<QCheckBox>(name)->setChecked(false);
  ListFolders();
  Show();
  RunBy("BtnDirImgConvert");

  EXPECT_EQ(OutNames(), (std::vector<std::string>{".hidden.bmp", ".hidden.jpg", "inb.bmp", "inb.jpg",
                                                  "inc.bmp", "inc.jpg", "photo.bmp", "photo.jpg",
                                                  "x (2).bmp", "x (2).jpg", "x.bmp", "x.jpg"}));
  img::Bitmap x;
  x.LoadFromFile(dir / "out" / "x (2).bmp");
  EXPECT_EQ(x.width(), 10);
  EXPECT_EQ(x.height(), 7);
  // The converted list is read again from the folder, nothing selected in it.
  EXPECT_EQ(Items("LbTarget").size(), 12u);
  EXPECT_TRUE(SelectedRows("LbTarget").empty());
  EXPECT_EQ(Text("LblHint"), ui::RunEndHint({.renamedTargets = 2, .passedOver = 1}));  // notes.txt passed over
  EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->value(), 100);
  EXPECT_EQ(Tag("BtnDirImgConvert"), 0);
  EXPECT_TRUE(Find("BtnImgCovert")->isEnabled());
}

// Phones give HEIC and AVIF, web pages WebP, scanners TIFF: the source list
// shows them beside the JPEGs and a folder run converts them all into the
// ticked kinds, counting the files it passed over.
TEST_F(RunsTest, EveryKindTheBuildReadsIsListedAndConverted) {
  std::vector<std::string> sources = {"a.jpg", "b.webp", "c.tif", "d.TIFF", "e.gif"};
  if (engine::FindFormatByName("avif")) sources.push_back("f.avif");  // only where libheif is built in
  for (const std::string& name : sources) SaveAs(dir / "src" / name, 12, 9);
  { std::ofstream(dir / "src" / "notes.txt") << "not a picture"; }
  { std::ofstream(dir / "src" / "layers.psd") << "no codec reads it"; }
  for (const char* name : {"CBBMP", "CBJPEG", "CbPNG"}) Find<QCheckBox>(name)->setChecked(false);
  ListFolders();
  Show();
  EXPECT_EQ(Items("LbDocList"), sources);

  RunBy("BtnDirImgConvert");
  std::vector<std::string> expected;
  for (const std::string& name : sources) expected.push_back(std::string(1, name[0]) + ".jpg");
  EXPECT_EQ(OutNames(), expected);
  img::Bitmap converted;
  for (const std::string& name : expected) {
    engine::LoadPicture(U(dir / "out" / name), converted);
    EXPECT_EQ(converted.width(), 12) << name;
  }
  EXPECT_EQ(Text("LblHint"), ui::RunEndHint({.passedOver = 2}));

  // A selected run takes them as well.
  fs::remove_all(dir / "out");
  SelectSources({1});
  RunBy("BtnImgCovert");
  EXPECT_EQ(OutNames(), std::vector<std::string>{"b.jpg"});
}

// Pictures of one name in two subfolders: flattened into the output folder
// they are numbered; with "保留子文件夹结构" (remembered) each goes into its
// own subfolder there, under its own name.
struct TreeCase {
  const char* name;
  bool keepTree;
  std::vector<std::string> written;  // under the output folder
  int renamed;
  friend void PrintTo(const TreeCase& c, std::ostream* os) { *os << c.name; }
};

class FolderRunTree : public RunsTest, public ::testing::WithParamInterface<TreeCase> {};

TEST_P(FolderRunTree, WritesIntoTheOutputFolderOrItsSubfolders) {
  const TreeCase& c = GetParam();
  SaveJpeg(dir / "src" / "旅行" / "IMG_0001.JPG", 10, 10);
  SaveJpeg(dir / "src" / "家" / "IMG_0001.JPG", 12, 12);
  SaveJpeg(dir / "src" / "top.jpg", 8, 8);
  for (const char* name : {"CBBMP", "CBJPEG", "CbPNG"}) Find<QCheckBox>(name)->setChecked(false);
  ListFolders();
  Show();
  if (c.keepTree) Click("CbKeepTree");
  EXPECT_EQ(Ini("default", "KeepTree"), c.keepTree ? "1" : "<missing>");
  RunBy("BtnDirImgConvert");
  std::vector<std::string> written;
  for (const auto& e : fs::recursive_directory_iterator(dir / "out"))
    if (e.is_regular_file()) written.push_back(U(fs::relative(e.path(), dir / "out")));
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, c.written);
  EXPECT_EQ(Text("LblHint"), ui::RunEndHint({.renamedTargets = c.renamed}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderRunTree,
    ::testing::Values(TreeCase{"Flattened", false, {"img_0001 (2).jpg", "img_0001.jpg", "top.jpg"}, 1},
                      TreeCase{"SubfoldersKept", true, {"top.jpg", "家/img_0001.jpg", "旅行/img_0001.jpg"}, 0}),
    testsupport::ByName());

TEST_F(RunsTest, ClosingDuringARunStopsAfterThePictureThenCloses) {
  for (const char* name : {"p1.png", "p2.png", "p3.png"}) SavePng(dir / "src" / name, 8, 8);
  ListFolders();
  Show();
  SelectSources({0, 1, 2});
  bool closedAtOnce = true;
  // Closed while the first picture is written.
  AtTarget("p1.png", [&] {
    form->close();
    closedAtOnce = !form->isVisible();
    // The other batch button cannot start a second run meanwhile.
    Click("BtnDirImgConvert");
  });
  RunBy("BtnImgCovert");
  EXPECT_FALSE(closedAtOnce);
  EXPECT_EQ(Text("LblHint"), ui::StopHint(1));
  EXPECT_FALSE(fs::exists(dir / "out" / "p2.png"));
  EXPECT_TRUE(fs::exists(dir / "out" / "p1.png"));
  for (int i = 0; i < 100 && form->isVisible(); ++i) QTest::qWait(10);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(OutNames().size(), 4u);
  form.reset();
  EXPECT_EQ(Ini("default", "fr"), "0");
}

TEST_F(RunsTest, AFolderRunOnTheRootAsksFirstAndNoStartsNothing) {
  ListFolders();
  EdtPath()->setText(Q(ui::SystemRootFolder()));
  dialogs.answer = false;
  RunBy("BtnDirImgConvert");
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(dialogs.questions[0].second, "提醒");
  EXPECT_TRUE(Text("LblHint").empty());
  EXPECT_EQ(Tag("BtnDirImgConvert"), 0);
  EXPECT_TRUE(Find("BtnImgCovert")->isEnabled());
}

// Both folders retyped and committed during a folder run: its closing
// refresh still lists its own output folder, which the edit names.
TEST_F(RunsTest, TypingDuringAFolderRunMovesNeitherFolder) {
  for (const char* name : {"p1.png", "p2.png"}) SavePng(dir / "src" / name, 8, 8);
  ListFolders();
  AtTarget("p1.bmp", [&] {
    for (QLineEdit* edit : {EdtPath(), EdtOutput()}) {
      QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(edit, Q(U(dir / "other")));
      QTest::keyClick(edit, Qt::Key_Return);
    }
  });
  RunBy("BtnDirImgConvert");
  EXPECT_EQ(Items("LbTarget").size(), 8u);
  EXPECT_EQ(Text("EdtOutput"), OutFolder());
  EXPECT_EQ(form->SourcePathValue(), SrcFolder());
  EXPECT_FALSE(fs::exists(dir / "other"));
  EXPECT_FALSE(EdtOutput()->isReadOnly());
}

// After a run with failures the closing hint offers their list: each failed
// picture with its reason in Chinese, the decoder's words after them. It
// stays offered while other pictures are clicked, until the next run, and
// no tooltip keeps stale failures.
TEST_F(RunsTest, TheFailedPicturesAreOfferedUntilTheNextRun) {
  { std::ofstream(dir / "src" / "bad.png") << "not a picture"; }
  SavePng(dir / "src" / "good.png", 8, 8);
  ListFolders();
  Show();
  auto* offer = Find<QLabel>("LblShowFailures");
  EXPECT_FALSE(offer->isVisible());
  SelectSources({0, 1});
  RunBy("BtnImgCovert");
  EXPECT_EQ(Text("LblHint"), ui::RunEndHint({.failedPictures = 1}));
  ASSERT_TRUE(offer->isVisible());
  EXPECT_EQ(offer->text().toStdString().find("查看失败的图片") != std::string::npos, true);
  QTest::mouseClick(offer, Qt::LeftButton, {}, offer->rect().center());
  ASSERT_EQ(dialogs.lists.size(), 1u);
  EXPECT_EQ(dialogs.lists[0].first, "转换失败的图片");
  ASSERT_EQ(dialogs.lists[0].second.size(), 1u);
  const std::string entry = dialogs.lists[0].second[0];
  EXPECT_EQ(entry.rfind(SrcFolder() + "bad.png\n    无法读取图片", 0), 0u) << entry;

  QTest::mouseClick(Find<QListWidget>("LbDocList")->viewport(), Qt::LeftButton, {},
                    Find<QListWidget>("LbDocList")->visualItemRect(Find<QListWidget>("LbDocList")->item(1)).center());
  EXPECT_NE(Text("LblHint").find("good.png"), std::string::npos);
  EXPECT_TRUE(Find("LblHint")->toolTip().isEmpty());
  EXPECT_TRUE(offer->isVisible());
  // A run refused at its start is no next run.
  Find<QListWidget>("LbDocList")->setCurrentRow(-1);
  RunBy("BtnImgCovert");
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"请选择一个要转换的图片"});
  EXPECT_TRUE(offer->isVisible());

  SelectSources({1});
  bool offeredDuringTheNextRun = true;
  AtTarget("good.bmp", [&] { offeredDuringTheNextRun = offer->isVisible(); });
  RunBy("BtnImgCovert");
  EXPECT_FALSE(offeredDuringTheNextRun);
  EXPECT_EQ(Text("LblHint"), text::TxtAllConverted);
  EXPECT_FALSE(offer->isVisible());
}

// Options that would make a run seem done when it is not: no format
// ticked (nothing written), or a shrink with no usable size (every picture
// at full size). Neither button starts a run, the root-folder question is
// not asked first, and a message says why.
struct RefusalCase {
  const char* name;
  bool formats;
  const char* width;  // nullptr: no shrink
  const char* height;
  const char* message;
  friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
};

class RefusedRun : public RunsTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedRun, NeitherButtonStartsARun) {
  const RefusalCase& c = GetParam();
  SavePng(dir / "src" / "a.png", 8, 8);
  if (!c.formats)
    for (const char* name : {"CbJPG", "CBBMP", "CBJPEG", "CbPNG"}) Find<QCheckBox>(name)->setChecked(false);
  if (c.width) {
    form->SetZoomTypeItemIndex(1);
    Find<QLineEdit>("EdtWidth")->setText(QString::fromUtf8(c.width));
    Find<QLineEdit>("EdtHeight")->setText(QString::fromUtf8(c.height));
  }
  ListFolders();
  Show();
  SelectSources({0});
  RunBy("BtnImgCovert");
  EdtPath()->setText(Q(ui::SystemRootFolder()));
  RunBy("BtnDirImgConvert");
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>(2, c.message)));
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_FALSE(fs::exists(dir / "out") && !fs::is_empty(dir / "out"));
  EXPECT_EQ(Tag("BtnImgCovert"), 0);
  EXPECT_EQ(Tag("BtnDirImgConvert"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedRun,
    ::testing::Values(RefusalCase{"NoFormatTicked", false, nullptr, nullptr, "请至少选择一种转换格式"},
                      RefusalCase{"NoSizeNumber", true, "", "请选择一个高度", "请在宽度或高度中填写要缩放到的像素数"},
                      RefusalCase{"ZeroSize", true, "0", "0", "请在宽度或高度中填写要缩放到的像素数"}),
    testsupport::ByName());

// Mid-run, the user points the source edit at another folder holding
// pictures of the same names, points the output edit elsewhere, and asks
// for something that would resolve a folder. The run keeps converting from
// and into the folders it started with; the action does nothing.
class MidRunFolderTest : public RunsTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void Act(const std::string& what) {
    if (what == "Enter") {
      QTest::keyClick(Find<QListWidget>("LbDocList"), Qt::Key_Return);
    } else if (what == "Drop") {
      EXPECT_FALSE(DropPaths(Find<QListWidget>("LbDocList")->viewport(), {dir / "other"}, true));
      EXPECT_FALSE(DropPaths(Find("ImgOutput"), {dir / "other"}));
    } else if (QAction* action = form->findChild<QAction*>(Q(what))) {
      action->trigger();
    } else {
      Click(what.c_str());
    }
  }
};

TEST_P(MidRunFolderTest, TheRunKeepsTheFoldersItStartedWith) {
  for (const char* name : {"p1.png", "p2.png", "p3.png"}) {
    SavePng(dir / "src" / name, 12, 8);
    SavePng(dir / "other" / name, 10, 10);
  }
  ListFolders();
  Show();
  SelectSources({0, 1, 2});
  AtTarget(
      "p2.bmp",
      [&] {
        Find<QLineEdit>("EdtPath")->setText(Q(U(dir / "other")));
        Find<QLineEdit>("EdtOutput")->setText(Q(U(dir / "other-out")));
        Act(GetParam());
      },
      [&] { return Text("LblHint").find("p1.png") != std::string::npos; });
  RunBy("BtnImgCovert");

  EXPECT_EQ(Text("LblHint"), text::TxtAllConverted);
  for (const char* name : {"p1.bmp", "p2.bmp", "p3.bmp"}) {
    img::Bitmap target;
    target.LoadFromFile(dir / "out" / name);
    EXPECT_EQ(target.width(), 12) << name;
  }
  EXPECT_EQ(form->SourcePathValue(), SrcFolder());
  EXPECT_EQ(form->TargetPathValue(), OutFolder());
  EXPECT_EQ(form->CurrentTargetPictureValue(), OutFolder() + "p3.png");
  EXPECT_TRUE(shell.opened.empty());
  EXPECT_TRUE(shell.folders.empty());
  EXPECT_TRUE(shell.painted.empty());
  EXPECT_FALSE(fs::exists(dir / "other-out"));
  EXPECT_TRUE(dialogs.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(FolderActions, MidRunFolderTest,
                         ::testing::Values("BtnOpenDir", "N5", "Enter", "PmOpenInPaint", "BtnOpenSaveAsDir", "Drop"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace windowtest

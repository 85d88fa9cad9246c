// The option controls of the main window: keep-ratio texts, size edits,
// zoom type, rotation and preview boxes, each written to the settings file
// the moment it changes, and the error box when that file cannot be written.

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <fstream>
#include <functional>
#include <thread>
#include <utility>

#include "MainWindowFixture.h"

namespace windowtest {
using namespace testsupport;
namespace {

using OptionsTest = OptionsTest;

struct KeepRatioCase {
  const char* name;
  const char* width;
  const char* height;
  const char* widthAfter;   // ticked
  const char* heightAfter;
  const char* heightUnticked;  // unticked again
  friend void PrintTo(const KeepRatioCase& c, std::ostream* os) { *os << c.name; }
};

class KeepRatioTexts : public OptionsTest, public ::testing::WithParamInterface<KeepRatioCase> {};

// Ticked, the box with a number leads and the other is automatic: disabled,
// showing so, its number kept (in the settings too) and back on unticking.
TEST_P(KeepRatioTexts, CheckingAndUncheckingPutTheTexts) {
  const KeepRatioCase& c = GetParam();
  Show();
  Find<QLineEdit>("EdtWidth")->setText(QString::fromUtf8(c.width));
  Find<QLineEdit>("EdtHeight")->setText(QString::fromUtf8(c.height));
  Click("CbZoomAuto");
  EXPECT_EQ(Text("EdtWidth"), c.widthAfter);
  EXPECT_EQ(Text("EdtHeight"), c.heightAfter);
  for (const char* name : {"EdtWidth", "EdtHeight"})
    EXPECT_EQ(Find(name)->isEnabled(), Text(name) != "按原图比例自动调整") << name;
  EXPECT_EQ(Ini("default", "ZoomAuto"), "1");
  if (std::string(c.name) == "BothNumbers") {
    EXPECT_EQ(Ini("default", "edtheight"), "600");
  }
  Click("CbZoomAuto");
  EXPECT_EQ(Text("EdtWidth"), c.widthAfter);
  EXPECT_EQ(Text("EdtHeight"), c.heightUnticked);
  EXPECT_TRUE(Find("EdtWidth")->isEnabled());
  EXPECT_TRUE(Find("EdtHeight")->isEnabled());
  EXPECT_EQ(Ini("default", "ZoomAuto"), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeepRatioTexts,
    ::testing::Values(KeepRatioCase{"BothNumbers", "800", "600", "800", "按原图比例自动调整", "600"},
                      KeepRatioCase{"WidthNoNumber", "宽", "600", "按原图比例自动调整", "600", "600"},
                      KeepRatioCase{"NegativeWidth", "-5", "x", "-5", "按原图比例自动调整", "按原图比例自动调整"},
                      KeepRatioCase{"NeitherANumber", "", "8 00", "请选择一个宽度", "请选择一个高度", "请选择一个高度"}),
    testsupport::ByName());

TEST_F(OptionsTest, UncheckingKeepRatioAfterNeitherNumberKeepsTheHints) {
  Show();
  Find<QLineEdit>("EdtWidth")->setText("a");
  Find<QLineEdit>("EdtHeight")->setText("b");
  Click("CbZoomAuto");
  Click("CbZoomAuto");
  EXPECT_EQ(Text("EdtWidth"), "请选择一个宽度");
  EXPECT_EQ(Text("EdtHeight"), "请选择一个高度");
}

// With keep-ratio ticked, tabbing through the boxes, or clicking into the
// height and elsewhere, replaces no number typed: the width leads, the
// height stays automatic, and a selected shrink run makes the width's size.
TEST_F(OptionsTest, LeavingTheSizeBoxesKeepsTheTypedNumbers) {
  SavePng(dir / "src" / "photo.png", 200, 100);
  form->SetZoomTypeItemIndex(1);
  Find<QCheckBox>("CbPNG")->setChecked(true);
  ListFolders();
  Show();
  auto* width = Find<QLineEdit>("EdtWidth");
  auto* height = Find<QLineEdit>("EdtHeight");
  auto* list = Find<QListWidget>("LbRoateType");
  width->setText("50");
  height->setText("768");
  Click("CbZoomAuto");
  width->setFocus(Qt::TabFocusReason);
  for (int i = 0; i < 3; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QTest::mouseClick(height, Qt::LeftButton);
  list->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(Text("EdtWidth"), "50");
  EXPECT_EQ(Text("EdtHeight"), "按原图比例自动调整");
  EXPECT_FALSE(height->isEnabled());
  Find<QListWidget>("LbDocList")->setCurrentRow(0);
  Click("BtnImgCovert");
  ASSERT_TRUE(QTest::qWaitFor([this] { return !form->RunUnderWay(); }, 60000));
  img::Bitmap shrunk;
  engine::LoadPicture(U(dir / "out" / "photo.png"), shrunk);
  EXPECT_EQ(shrunk.width(), 50);
  EXPECT_EQ(shrunk.height(), 25);

  // Typed into boxes showing no number: the other becomes automatic on leaving.
  Click("CbZoomAuto");
  width->setText("宽");
  height->setText("");
  Click("CbZoomAuto");  // both ask for a number
  QTest::mouseClick(height, Qt::LeftButton);  // selects the hint
  QTest::keyClicks(height, "300");
  list->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(Text("EdtHeight"), "300");
  EXPECT_EQ(Text("EdtWidth"), "按原图比例自动调整");
  EXPECT_FALSE(width->isEnabled());
  // Emptied, the leading box gives the other back.
  height->setFocus(Qt::MouseFocusReason);
  height->clear();
  list->setFocus(Qt::MouseFocusReason);
  EXPECT_TRUE(width->isEnabled());
  // Switching to another window is not leaving the edit.
  height->setText("480");
  height->setFocus(Qt::MouseFocusReason);
  QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(height, &away);
  EXPECT_TRUE(width->isEnabled());
}

TEST_F(OptionsTest, ClickingASizeEditSelectsItsText) {
  Show();
  for (const char* name : {"EdtWidth", "EdtHeight"}) {
    auto* edit = Find<QLineEdit>(name);
    edit->setText("1024");
    QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, QPoint(3, edit->height() / 2));
    EXPECT_EQ(edit->selectedText(), "1024") << name;
    QTest::keyClicks(edit, "5");
    EXPECT_EQ(edit->text(), "5") << name;
  }
}

TEST_F(OptionsTest, ZoomTypeShowsTheSizeGroupAndNeverTheMultiples) {
  Show();
  Click("rgZoomTypeItem1");
  EXPECT_TRUE(Find("GbZoomSize")->isVisible());
  EXPECT_FALSE(Find("GbZoomBei")->isVisible());
  EXPECT_EQ(Ini("default", "zoomtype"), "1");
  Click("rgZoomTypeItem0");
  EXPECT_FALSE(Find("GbZoomSize")->isVisible());
  EXPECT_FALSE(Find("GbZoomBei")->isVisible());
  EXPECT_EQ(Ini("default", "zoomtype"), "0");
  // Set from code (as the stored settings are) runs the handler as well.
  form->SetZoomTypeItemIndex(1);
  EXPECT_TRUE(Find("GbZoomSize")->isVisible());
  EXPECT_EQ(Ini("default", "zoomtype"), "1");
}

class FormatBox : public OptionsTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FormatBox, EveryClickWritesItsKey) {
  Show();
  const char* name = GetParam();
  Click(name);
  EXPECT_EQ(Ini("default", name), "1");
  EXPECT_TRUE(Find<QCheckBox>(name)->isChecked());
  Click(name);
  EXPECT_EQ(Ini("default", name), "0");
}

INSTANTIATE_TEST_SUITE_P(Boxes, FormatBox, ::testing::Values("CbJPG", "CBBMP", "CBJPEG", "CbPNG"),
                         testsupport::ByValue());

TEST_F(OptionsTest, OptionsAreReadFromTheControls) {
  Find<QCheckBox>("CbJPG")->setChecked(true);
  Find<QCheckBox>("CbPNG")->setChecked(true);
  form->SetZoomTypeItemIndex(1);
  Find<QLineEdit>("EdtWidth")->setText("320");
  Find<QLineEdit>("EdtHeight")->setText("200");
  Find<QListWidget>("LbRoateType")->setCurrentRow(3);
  const engine::ConversionOptions o = form->CurrentConversionOptions();
  EXPECT_EQ(o.targets, engine::FormatTicks::Named({"jpg", "png"}));
  EXPECT_EQ(o.resize, (engine::Resize{engine::SizeBoxes{320, 200}}));
  EXPECT_EQ(o.rotation, 3);
  Find<QListWidget>("LbRoateType")->setCurrentRow(-1);
  EXPECT_EQ(form->CurrentConversionOptions().rotation, -1);
}

// Each option control's change on its own reaches a run's threads: a
// control left out would leave a run reading its old value.
TEST_F(OptionsTest, EveryOptionChangeReachesARunsThreads) {
  const auto published = [this] {
    engine::ConversionOptions o;
    std::thread([&] { o = form->Options(); }).join();
    return o;
  };
  const std::pair<const char*, std::function<void()>> changes[] = {
      {"CbJPG", [this] { Find<QCheckBox>("CbJPG")->setChecked(true); }},
      {"CbPNG", [this] { Find<QCheckBox>("CbPNG")->setChecked(true); }},
      {"CBBMP", [this] { Find<QCheckBox>("CBBMP")->setChecked(true); }},
      {"CBJPEG", [this] { Find<QCheckBox>("CBJPEG")->setChecked(true); }},
      {"EdtWidth", [this] { Find<QLineEdit>("EdtWidth")->setText("320"); }},
      {"EdtHeight", [this] { Find<QLineEdit>("EdtHeight")->setText(QString::fromUtf8("按原图比例自动调整")); }},
      // Its handler puts the texts the edits hold already: only the box changes.
      {"CbZoomAuto", [this] { Find<QCheckBox>("CbZoomAuto")->setChecked(true); }},
      {"rgZoomTypeItem0", [this] { Find<QRadioButton>("rgZoomTypeItem0")->setChecked(true); }},
      {"LbRoateType", [this] { Find<QListWidget>("LbRoateType")->setCurrentRow(2); }},
  };
  for (const auto& [control, change] : changes) {
    const engine::ConversionOptions before = form->CurrentConversionOptions();
    change();
    const engine::ConversionOptions now = form->CurrentConversionOptions(), run = published();
    EXPECT_FALSE(SamePicturesAndFormats(now, before)) << control;
    EXPECT_TRUE(SamePicturesAndFormats(run, now)) << control;
  }
}

TEST_F(OptionsTest, RotationWrittenOnTheUsersPicksOnly) {
  Show();
  auto* list = Find<QListWidget>("LbRoateType");
  list->setCurrentRow(1);  // from code, as the stored settings are applied
  EXPECT_EQ(Ini("ImgConvert", "LbRoateType"), "<missing>");
  ClickItem("LbRoateType", 2);
  EXPECT_EQ(Ini("ImgConvert", "LbRoateType"), "2");
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  QApplication::processEvents();
  EXPECT_EQ(list->currentRow(), 3);
  EXPECT_EQ(Ini("ImgConvert", "LbRoateType"), "3");
}

TEST_F(OptionsTest, PreviewBoxesShowAndHideTheirGroups) {
  Show();
  Click("CbPreviewSourceImg");
  EXPECT_TRUE(Find("GbSourcePreview")->isVisible());
  EXPECT_EQ(Ini("default", "PreviewSourceImg"), "1");
  Click("CbPreviewSourceImg");
  EXPECT_FALSE(Find("GbSourcePreview")->isVisible());
  EXPECT_EQ(Ini("default", "PreviewSourceImg"), "0");
  Click("CbTargetImgPreview");
  Click("CbTargetImgPreview");
  EXPECT_FALSE(Find("GbImgTarget")->isVisible());
  EXPECT_EQ(Ini("default", "TargetImgPreview"), "0");
}

TEST_F(OptionsTest, UnwritableSettingsShowTheErrorBoxExceptForZoomType) {
  // A regular file where the settings file's folder should be.
  const fs::path blocker = dir / "blocker";
  { std::ofstream(blocker) << "x"; }
  const fs::path settings = blocker / "defualt.ini";
  form->UseSettingsFile(settings);
  // Handlers run by the stored settings before the window shows stay silent.
  Find<QCheckBox>("CbJPG")->setChecked(true);
  EXPECT_TRUE(dialogs.errors.empty());

  Show();
  const std::string expected = ui::SettingsWriteError(U(settings)).what();
  int boxes = 0;
  for (const char* name : {"CbJPG", "CBBMP", "CBJPEG", "CbPNG", "CbZoomAuto", "CbPreviewSourceImg",
                           "CbTargetImgPreview"}) {
    Click(name);
    ++boxes;
    ASSERT_EQ(dialogs.errors.size(), static_cast<std::size_t>(boxes)) << name;
    EXPECT_EQ(dialogs.errors.back(), expected) << name;
  }
  EXPECT_EQ(expected.rfind("Unable to write to ", 0), 0u);
  // The change itself still applies.
  EXPECT_TRUE(Find<QCheckBox>("CbPNG")->isChecked());
  ClickItem("LbRoateType", 1);
  EXPECT_EQ(dialogs.errors.size(), static_cast<std::size_t>(boxes + 1));
  Click("rgZoomTypeItem0");
  EXPECT_FALSE(Find("GbZoomSize")->isVisible());
  EXPECT_EQ(dialogs.errors.size(), static_cast<std::size_t>(boxes + 1));
}

}  // namespace
}  // namespace windowtest

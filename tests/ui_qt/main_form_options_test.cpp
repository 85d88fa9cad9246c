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
  const char* widthAfter;
  const char* heightAfter;
  friend void PrintTo(const KeepRatioCase& c, std::ostream* os) { *os << c.name; }
};

class KeepRatioTexts : public OptionsTest, public ::testing::WithParamInterface<KeepRatioCase> {};

TEST_P(KeepRatioTexts, CheckingAndUncheckingPutTheTexts) {
  const KeepRatioCase& c = GetParam();
  Show();
  Find<QLineEdit>("EdtWidth")->setText(QString::fromUtf8(c.width));
  Find<QLineEdit>("EdtHeight")->setText(QString::fromUtf8(c.height));
  Click("CbZoomAuto");
  EXPECT_EQ(Text("EdtWidth"), c.widthAfter);
  EXPECT_EQ(Text("EdtHeight"), c.heightAfter);
  EXPECT_EQ(Ini("default", "ZoomAuto"), "1");
  // Unchecking runs the same step on the texts as they are now.
  Click("CbZoomAuto");
  EXPECT_EQ(Text("EdtWidth"), c.widthAfter);
  EXPECT_EQ(Ini("default", "ZoomAuto"), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeepRatioTexts,
    ::testing::Values(KeepRatioCase{"BothNumbers", "800", "600", "800", "按原图比例自动调整"},
                      KeepRatioCase{"WidthNoNumber", "宽", "600", "按原图比例自动调整", "600"},
                      KeepRatioCase{"NegativeWidth", "-5", "x", "-5", "按原图比例自动调整"},
                      KeepRatioCase{"NeitherANumber", "", "8 00", "请选择一个宽度", "请选择一个高度"}),
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

TEST_F(OptionsTest, LeavingASizeEditWithKeepRatioFillsTheOther) {
  Show();
  auto* width = Find<QLineEdit>("EdtWidth");
  auto* height = Find<QLineEdit>("EdtHeight");
  auto* list = Find<QListWidget>("LbRoateType");
  width->setText("800");
  height->setText("600");
  // Unchecked: leaving changes nothing.
  width->setFocus(Qt::MouseFocusReason);
  height->setFocus(Qt::MouseFocusReason);
  list->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(Text("EdtWidth"), "800");
  EXPECT_EQ(Text("EdtHeight"), "600");

  Find<QCheckBox>("CbZoomAuto")->setChecked(true);
  width->setText("640");
  width->setFocus(Qt::TabFocusReason);
  list->setFocus(Qt::TabFocusReason);  // leaves the width edit
  EXPECT_EQ(Text("EdtWidth"), "640");
  EXPECT_EQ(Text("EdtHeight"), "根据宽度自动调整");
  height->setText("480");
  height->setFocus(Qt::MouseFocusReason);
  list->setFocus(Qt::MouseFocusReason);  // leaves the height edit
  EXPECT_EQ(Text("EdtWidth"), "根据宽度自动调整");
  EXPECT_EQ(Text("EdtHeight"), "480");
  // Switching to another window is not leaving the edit.
  width->setText("640");
  width->setFocus(Qt::MouseFocusReason);
  QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(width, &away);
  EXPECT_EQ(Text("EdtHeight"), "480");
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

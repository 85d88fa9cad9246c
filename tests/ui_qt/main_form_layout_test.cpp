// The main window's layout: every control under its fixed name and kind,
// the hidden ones hidden, the lists' items and selection modes, the fixed
// sizes the rest of the program relies on, and the folder-row resize rule.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include "ParamNames.h"
#include "imaging/Bitmap.h"
#include "ui/TMainForm.h"
#include "ui/WindowHelpers.h"

namespace {

template <typename T = QWidget>
T* Find(const QWidget& form, const char* name) {
  return form.findChild<T*>(QString::fromLatin1(name));
}

struct NamedControl {
  const char* name;
  const char* kind;
};

void PrintTo(const NamedControl& c, std::ostream* os) { *os << c.name << " (" << c.kind << ")"; }

class MainFormControl : public ::testing::TestWithParam<NamedControl> {};

TEST_P(MainFormControl, ExistsWithItsNameAndKind) {
  ui::TMainForm form;
  const NamedControl& c = GetParam();
  QObject* object = form.findChild<QObject*>(QString::fromLatin1(c.name));
  ASSERT_NE(object, nullptr) << c.name;
  EXPECT_TRUE(object->inherits(c.kind)) << c.name << " is a " << object->metaObject()->className();
}

INSTANTIATE_TEST_SUITE_P(
    Layout, MainFormControl,
    ::testing::Values(
        NamedControl{"ImgLeft", "QLabel"}, NamedControl{"ImgRight", "QLabel"},
        NamedControl{"PnlTop", "QWidget"}, NamedControl{"Image4", "QLabel"},
        NamedControl{"ImgCenter", "QLabel"}, NamedControl{"ImgTopRight", "QLabel"},
        NamedControl{"Panel1", "QWidget"}, NamedControl{"ImgBottomLeft2", "QLabel"},
        NamedControl{"ImgBottomLeft", "QLabel"}, NamedControl{"bot", "QLabel"},
        NamedControl{"SbMain", "QScrollArea"}, NamedControl{"PnlPath", "QWidget"},
        NamedControl{"ScrollBox1", "QWidget"}, NamedControl{"BtnOpenDir", "QToolButton"},
        NamedControl{"BtnOpenSaveAsDir", "QToolButton"}, NamedControl{"EdtPath", "QLineEdit"},
        NamedControl{"EdtOutput", "QLineEdit"}, NamedControl{"ImgTopBG", "QLabel"},
        NamedControl{"ImgText2", "QLabel"}, NamedControl{"ScrollBox2", "QWidget"},
        NamedControl{"BtnSelectDir", "QToolButton"},
        NamedControl{"BtnSelectSaveAsDir", "QToolButton"}, NamedControl{"PnlMiddle", "QWidget"},
        NamedControl{"PnlHint", "QWidget"}, NamedControl{"ProgressBar1", "QProgressBar"},
        NamedControl{"LblHint", "QLabel"}, NamedControl{"SbToollBar", "QScrollArea"},
        NamedControl{"BtnImgCovert", "QToolButton"},
        NamedControl{"BtnDirImgConvert", "QToolButton"},
        NamedControl{"GbConvertFormat", "QGroupBox"}, NamedControl{"CbJPG", "QCheckBox"},
        NamedControl{"CBBMP", "QCheckBox"}, NamedControl{"CBJPEG", "QCheckBox"},
        NamedControl{"CbPNG", "QCheckBox"}, NamedControl{"CBGIF", "QCheckBox"},
        NamedControl{"CBICO", "QCheckBox"}, NamedControl{"CBEMF", "QCheckBox"},
        NamedControl{"CBWMF", "QCheckBox"}, NamedControl{"CBPCX", "QCheckBox"},
        NamedControl{"CBTIFF", "QCheckBox"}, NamedControl{"rgZoomType", "QGroupBox"},
        NamedControl{"rgZoomTypeItem0", "QRadioButton"},
        NamedControl{"rgZoomTypeItem1", "QRadioButton"}, NamedControl{"GbZoomSize", "QGroupBox"},
        NamedControl{"LblWidth", "QLabel"}, NamedControl{"EdtWidth", "QLineEdit"},
        NamedControl{"LblHeight", "QLabel"}, NamedControl{"EdtHeight", "QLineEdit"},
        NamedControl{"CbZoomAuto", "QCheckBox"}, NamedControl{"LbRoateType", "QListWidget"},
        NamedControl{"CbPreviewSourceImg", "QCheckBox"},
        NamedControl{"CbTargetImgPreview", "QCheckBox"},
        NamedControl{"PnlTarnwelParent", "QWidget"}, NamedControl{"GbZoomBei", "QGroupBox"},
        NamedControl{"EdtZoomPeiW", "QLineEdit"}, NamedControl{"EdtZoomPeiH", "QLineEdit"},
        NamedControl{"LblZoomBeiNote", "QLabel"}, NamedControl{"SplitterMain", "QSplitter"},
        NamedControl{"GbSourceList", "QGroupBox"}, NamedControl{"LbDocList", "QListWidget"},
        NamedControl{"GbSourcePreview", "QGroupBox"}, NamedControl{"LblWHSource", "QLabel"},
        NamedControl{"ImgSource", "QLabel"}, NamedControl{"GbTargetList", "QGroupBox"},
        NamedControl{"LbTarget", "QListWidget"}, NamedControl{"GbImgTarget", "QGroupBox"},
        NamedControl{"LblWHTarget", "QLabel"}, NamedControl{"ImgOutput", "QLabel"},
        NamedControl{"TimerFirstRun", "QTimer"}),
    [](const ::testing::TestParamInfo<NamedControl>& info) { return std::string(info.param.name); });

TEST(MainForm, WindowNameSizeAndBackground) {
  ui::TMainForm form;
  EXPECT_EQ(form.objectName(), "MainForm");
  EXPECT_EQ(form.size(), QSize(1022, 732));
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(245, 250, 254));
  EXPECT_TRUE(form.autoFillBackground());
  EXPECT_EQ(Find(form, "PnlTarnwelParent")->palette().color(QPalette::Window),
            QColor(245, 250, 254));
}

TEST(MainForm, HiddenControlsStayHiddenWhenShown) {
  ui::TMainForm form;
  form.show();
  for (const char* name : {"CBGIF", "CBICO", "CBEMF", "CBWMF", "CBPCX", "CBTIFF", "GbZoomBei"})
    EXPECT_FALSE(Find(form, name)->isVisible()) << name;
  for (const char* name : {"CbJPG", "CBBMP", "CBJPEG", "CbPNG", "LbDocList", "LbTarget",
                           "EdtPath", "EdtOutput", "ProgressBar1", "LblHint"})
    EXPECT_TRUE(Find(form, name)->isVisible()) << name;
}

TEST(MainForm, FormatBoxesFromTopInOrder) {
  ui::TMainForm form;
  form.show();
  int previous = -1;
  for (const char* name : {"CbJPG", "CBBMP", "CBJPEG", "CbPNG"}) {
    const int y = Find(form, name)->y();
    EXPECT_GT(y, previous) << name;
    previous = y;
  }
}

TEST(MainForm, RotationListItemsExactly) {
  ui::TMainForm form;
  auto* list = Find<QListWidget>(form, "LbRoateType");
  ASSERT_EQ(list->count(), 4);
  const char* expected[] = {"不旋转", "旋转90度", "旋转180度", "旋转270度 "};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(list->item(i)->text(), QString::fromUtf8(expected[i]));
}

TEST(MainForm, PictureListsAreWhiteAndMultiSelect) {
  ui::TMainForm form;
  for (const char* name : {"LbDocList", "LbTarget"}) {
    auto* list = Find<QListWidget>(form, name);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection) << name;
    EXPECT_EQ(list->palette().color(QPalette::Base), QColor(Qt::white)) << name;
  }
  // Shift-click selects a range, Ctrl-click adds one.
  auto* list = Find<QListWidget>(form, "LbDocList");
  list->addItems({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
  form.show();
  auto click = [list](int row, Qt::KeyboardModifiers mods) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                      list->visualItemRect(list->item(row)).center());
  };
  click(0, Qt::NoModifier);
  click(2, Qt::ShiftModifier);
  click(3, Qt::ControlModifier);
  EXPECT_EQ(list->selectedItems().size(), 4);
}

TEST(MainForm, ProgressBarRangeAndSize) {
  ui::TMainForm form;
  auto* bar = Find<QProgressBar>(form, "ProgressBar1");
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(bar->minimumSize(), QSize(161, 16));
  EXPECT_EQ(bar->maximumSize(), QSize(161, 16));
}

TEST(MainForm, FixedSizesOfTheLayout) {
  ui::TMainForm form;
  form.show();
  EXPECT_EQ(Find(form, "PnlTop")->height(), 11);
  EXPECT_EQ(Find(form, "Panel1")->height(), 11);
  EXPECT_EQ(Find(form, "ImgLeft")->width(), 10);
  EXPECT_EQ(Find(form, "ImgRight")->width(), 14);
  EXPECT_EQ(Find(form, "PnlPath")->height(), 65);
  EXPECT_EQ(Find(form, "ScrollBox1")->width(), 153);
  EXPECT_EQ(Find(form, "ScrollBox2")->width(), 158);
  EXPECT_EQ(Find(form, "PnlHint")->height(), 22);
  EXPECT_EQ(Find(form, "BtnImgCovert")->size(), QSize(123, 26));
  EXPECT_EQ(Find(form, "BtnDirImgConvert")->size(), QSize(123, 26));
  EXPECT_EQ(Find(form, "PnlTarnwelParent")->size(), QSize(127, 243));
  EXPECT_EQ(Find(form, "GbSourcePreview")->height(), 187);
  EXPECT_EQ(Find(form, "GbImgTarget")->height(), 187);
  EXPECT_EQ(Find(form, "SbToollBar")->width(), 160);
  EXPECT_EQ(Find(form, "GbSourceList")->width(), 275);
  EXPECT_EQ(Find<QSplitter>(form, "SplitterMain")->handleWidth(), 6);
}

TEST(MainForm, HintsOfTheFolderRow) {
  ui::TMainForm form;
  EXPECT_EQ(Find(form, "BtnOpenSaveAsDir")->toolTip(), QString::fromUtf8("打开输出路径"));
  EXPECT_EQ(Find(form, "EdtPath")->toolTip(),
            QString::fromUtf8("直接写入子文件夹名，按回车键，新路径将自动生成"));
  EXPECT_FALSE(Find<QLineEdit>(form, "EdtPath")->hasFrame());
  EXPECT_FALSE(Find<QLineEdit>(form, "EdtOutput")->hasFrame());
  EXPECT_EQ(Find(form, "EdtPath")->font().pixelSize(), 16);
  EXPECT_EQ(Find(form, "LblHint")->font().pixelSize(), 15);
  EXPECT_EQ(Find(form, "LblHint")->palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST(MainForm, BatchButtonsAreFlatWithoutCaption) {
  ui::TMainForm form;
  for (const char* name : {"BtnOpenDir", "BtnOpenSaveAsDir", "BtnSelectDir", "BtnSelectSaveAsDir",
                           "BtnImgCovert", "BtnDirImgConvert"}) {
    auto* button = Find<QToolButton>(form, name);
    EXPECT_TRUE(button->autoRaise()) << name;
    EXPECT_TRUE(button->text().isEmpty()) << name;
  }
}

TEST(MainForm, FirstRunTimerArmedAtCreation) {
  ui::TMainForm form;
  QTimer* timer = form.TimerFirstRun();
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isSingleShot());
  EXPECT_EQ(timer->interval(), 100);
  EXPECT_TRUE(timer->isActive());
}

TEST(MainForm, HintEmptyAfterCreation) {
  ui::TMainForm form;
  EXPECT_TRUE(Find<QLabel>(form, "LblHint")->text().isEmpty());
}

class PathRowWidth : public ::testing::TestWithParam<int> {};

TEST_P(PathRowWidth, LayoutPathRowSetsBackgroundsAndEdits) {
  ui::TMainForm form;
  const int w = GetParam();
  form.LayoutPathRow(w);
  EXPECT_EQ(Find(form, "ImgTopBG")->width(), w - 350);
  EXPECT_EQ(Find(form, "ImgText2")->width(), w - 350);
  EXPECT_EQ(Find(form, "EdtPath")->width(), w - 370);
  EXPECT_EQ(Find(form, "EdtOutput")->width(), w - 370);
}

TEST_P(PathRowWidth, ResizingTheWindowAppliesTheRule) {
  ui::TMainForm form;
  form.show();
  const int w = GetParam();
  form.resize(w, 700);
  QApplication::processEvents();
  ASSERT_EQ(form.width(), w);
  EXPECT_EQ(Find(form, "ImgTopBG")->width(), w - 350);
  EXPECT_EQ(Find(form, "EdtOutput")->width(), w - 370);
  // The backgrounds stay inside the middle of the row, clear of the right box.
  EXPECT_LE(Find(form, "ImgTopBG")->geometry().right(), Find(form, "PnlPathEdits")->width());
}

INSTANTIATE_TEST_SUITE_P(Widths, PathRowWidth, ::testing::Values(800, 1022, 1280, 1920), testsupport::ByValue());

TEST(MainForm, ZoomTypeItemIndex) {
  ui::TMainForm form;
  // The layout starts at item 0, as the stored default has it.
  EXPECT_EQ(form.ZoomTypeItemIndex(), 0);
  form.SetZoomTypeItemIndex(1);
  EXPECT_EQ(form.ZoomTypeItemIndex(), 1);
  EXPECT_TRUE(Find<QRadioButton>(form, "rgZoomTypeItem1")->isChecked());
  form.SetZoomTypeItemIndex(0);
  EXPECT_EQ(form.ZoomTypeItemIndex(), 0);
  form.SetZoomTypeItemIndex(-1);
  EXPECT_EQ(form.ZoomTypeItemIndex(), -1);
  form.SetZoomTypeItemIndex(1);
  form.SetZoomTypeItemIndex(7);
  EXPECT_EQ(form.ZoomTypeItemIndex(), -1);
  // Clicking an item (on its indicator: a radio item takes clicks on its
  // indicator and text only) still checks only that one afterwards.
  form.show();
  QWidget* item0 = Find(form, "rgZoomTypeItem0");
  QTest::mouseClick(item0, Qt::LeftButton, {}, QPoint(6, item0->height() / 2));
  EXPECT_EQ(form.ZoomTypeItemIndex(), 0);
}

TEST(MainForm, DesignCaptions) {
  ui::TMainForm form;
  EXPECT_EQ(Find<QGroupBox>(form, "GbConvertFormat")->title(), QString::fromUtf8("转换格式"));
  EXPECT_EQ(Find<QGroupBox>(form, "GbZoomBei")->title(), QString::fromUtf8("图片缩放倍数"));
  EXPECT_EQ(Find<QLabel>(form, "LblZoomBeiNote")->text(), QString::fromUtf8("请输入大于0的数字"));
  EXPECT_EQ(Find<QCheckBox>(form, "CbZoomAuto")->text(), QString::fromUtf8("按原图比例"));
  EXPECT_EQ(Find<QCheckBox>(form, "CbPreviewSourceImg")->text(), QString::fromUtf8("预览源图片"));
  EXPECT_EQ(Find<QCheckBox>(form, "CbTargetImgPreview")->text(),
            QString::fromUtf8("预览目标图片"));
  EXPECT_EQ(Find<QGroupBox>(form, "GbSourcePreview")->title(), QString::fromUtf8("转换前图片预览"));
  EXPECT_EQ(Find<QGroupBox>(form, "GbImgTarget")->title(), QString::fromUtf8("转换后图片预览"));
}

TEST(MainForm, ButtonGlyphsLoadedAtCreation) {
  img::Bitmap probe;
  if (!ui::LoadGlyph(probe, "BtnImgCovert"))
    GTEST_SKIP() << "the BMP loader cannot read glyphs yet (Bitmap::LoadFromMemory)";
  ui::TMainForm form;
  for (const char* name : {"BtnOpenDir", "BtnSelectDir", "BtnImgCovert", "BtnDirImgConvert",
                           "BtnOpenSaveAsDir", "BtnSelectSaveAsDir"})
    EXPECT_FALSE(Find<QToolButton>(form, name)->icon().isNull()) << name;
  EXPECT_EQ(Find<QToolButton>(form, "BtnImgCovert")->iconSize(), QSize(122, 25));
}

}  // namespace

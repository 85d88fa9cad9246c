// The main window as the user sees it: the windows it owns keep their
// designed fonts under its style sheet, every control stays usable at the
// smallest size, and the design size shows the whole tool column.

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStyleOptionFrame>
#include <QTextBrowser>
#include <QToolButton>

#include "MainWindowFixture.h"
#include "ParamNames.h"
#include "brand/LinksPanelFactory.h"
#include "brand/aboutus.h"
#include "update/TFrmUpdate.h"

namespace mainform_test {
using namespace testsupport;
namespace {

// The real window with its links panel; the update page never loads.
class WindowLook : public MainFormTest {
 protected:
  void SetUp() override {
    MainFormTest::SetUp();
    qputenv("IMGCONVERT_UPDATE_URL", "http://127.0.0.1:9/update/ic/");
    ui::LinksPanelFactory = brand::CreateLinksPanel;
  }
  void TearDown() override {
    MainFormTest::TearDown();
    ui::LinksPanelFactory = nullptr;
    qunsetenv("IMGCONVERT_UPDATE_URL");
  }

  void ShowAt(int width, int height) {
    form->show();
    form->resize(width, height);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
  }

  // widget's rectangle in the viewport of the scroll area that holds it.
  static QRect InViewport(const QScrollArea* area, const QWidget* widget) {
    return QRect(widget->mapTo(area->viewport(), QPoint(0, 0)), widget->size());
  }
};

TEST_F(WindowLook, OwnedWindowsKeepTheirDesignedFonts) {
  Create();
  ShowAt(1022, 732);
  brand::TFrmVersion* about = brand::ShowAboutBox(form.get());
  ASSERT_NE(about, nullptr);
  for (const char* name : {"Label2", "LblVersion", "Label3", "Label4"}) {
    const QFont font = about->findChild<QLabel*>(QString::fromLatin1(name))->font();
    EXPECT_EQ(font.pixelSize(), 21) << name;
    EXPECT_EQ(font.families().value(0).toStdString(), "Arial") << name;
  }
  EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("Label1"))->font().pixelSize(), 28);

  QTest::mouseClick(Find<QToolButton>("BtnOnlineUpdate"), Qt::LeftButton);
  auto* update = form->findChild<update::TFrmUpdate*>();
  ASSERT_NE(update, nullptr);
  EXPECT_EQ(update->findChild<QTextBrowser*>(QStringLiteral("WebBrowser1"))->font().pixelSize(), 15);
  EXPECT_EQ(update->findChild<QLabel*>(QStringLiteral("LblHint"))->font().pixelSize(), 13);
  update->close();
}

// The width a line edit has for its text: its contents less the frame and
// the edit's own two-pixel margins.
int TextRoom(const QLineEdit* edit) {
  QStyleOptionFrame option;
  option.initFrom(edit);
  option.rect = edit->rect();
  option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
  const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
  return contents.marginsRemoved(edit->textMargins()).width() - 2 * 2;
}

TEST_F(WindowLook, DesignSizeShowsTheWholeToolColumnAndSizeHints) {
  Start();
  form->SetZoomTypeItemIndex(1);
  const QString hint = QString::fromUtf8("按原图比例自动调整");
  Find<QLineEdit>("EdtWidth")->setText(hint);
  Find<QLineEdit>("EdtHeight")->setText(hint);
  // The room a 1022 x 732 screen leaves under a window manager's title bar.
  ShowAt(1022, 708);
  ASSERT_TRUE(Find("GbZoomSize")->isVisible());
  auto* column = Find<QScrollArea>("SbToollBar");
  EXPECT_FALSE(column->verticalScrollBar()->isVisible());
  for (const char* name : {"BtnImgCovert", "CbPNG", "CbZoomAuto", "LbRoateType", "CbTargetImgPreview",
                           "PnlTarnwelParent", "LblLink3", "LblLink4"})
    EXPECT_TRUE(column->viewport()->rect().contains(InViewport(column, Find(name)))) << name;
  for (const char* name : {"EdtWidth", "EdtHeight"}) {
    const auto* edit = Find<QLineEdit>(name);
    EXPECT_GE(TextRoom(edit), edit->fontMetrics().horizontalAdvance(hint)) << name;
  }
}

TEST_F(WindowLook, SmallestSizeKeepsEveryControlUsable) {
  Start();
  form->SetZoomTypeItemIndex(1);
  ShowAt(480, 360);
  EXPECT_GT(form->width(), 480);
  EXPECT_GT(form->height(), 360);
  auto* main = Find<QScrollArea>("SbMain");
  EXPECT_FALSE(main->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(main->verticalScrollBar()->isVisible());
  // Even with the tool column dragged as narrow as it goes, its scroll bar
  // sits beside the controls, never over them.
  auto* column = Find<QScrollArea>("SbToollBar");
  for (int toolWidth : {160, 0}) {
    Find<QSplitter>("SplitterMain")->setSizes({toolWidth, 275, 2000});
    QApplication::processEvents();
    for (const char* name : {"BtnImgCovert", "BtnDirImgConvert", "EdtWidth", "PnlTarnwelParent"}) {
      const QRect r = InViewport(column, Find(name));
      EXPECT_LE(r.right(), column->viewport()->width() - 1) << name << " at " << toolWidth;
    }
  }
  for (const char* name : {"LbDocList", "LbTarget", "EdtPath", "EdtOutput"})
    EXPECT_GE(Find(name)->width(), 150) << name;
}

// The window opens within the screen's room however small or scaled up the
// screen is (the offscreen screen is smaller than the design size).
TEST_F(WindowLook, OpensWithinTheScreensRoom) {
  Create();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  const QRect room = form->screen()->availableGeometry();
  EXPECT_LE(form->frameGeometry().width(), room.width());
  EXPECT_LE(form->frameGeometry().height(), room.height());
  EXPECT_LE(form->minimumWidth(), room.width());
  EXPECT_LE(form->minimumHeight(), room.height());
}

// The window comes back with the size, place and splitter it closed with;
// a place on no screen there is now is not taken.
TEST_F(WindowLook, ReopensWhereItClosedWhenThatIsOnAScreen) {
  // The offscreen screen is all but filled by the design's minimum size.
  const auto CreateSmallable = [this] { Create().setMinimumSize(400, 300); };
  CreateSmallable();
  ShowAt(700, 500);
  form->move(30, 40);
  auto* splitter = Find<QSplitter>("SplitterMain");
  splitter->setSizes({150, 200, 300});
  QApplication::processEvents();
  const QList<int> panes = splitter->sizes();
  form->close();
  form.reset();
  EXPECT_EQ(Ini("ImgConvert", "WindowRect"), "30,40,700,500");

  CreateSmallable();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  EXPECT_EQ(form->size(), QSize(700, 500));
  EXPECT_EQ(form->pos(), QPoint(30, 40));
  EXPECT_EQ(Find<QSplitter>("SplitterMain")->sizes(), panes);
  form->close();
  form.reset();

  {
    ui::SettingsFile settings(SettingsPath());
    settings.WriteString("ImgConvert", "WindowRect", "-5000,-5000,700,500");
  }
  CreateSmallable();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  EXPECT_TRUE(form->screen()->availableGeometry().contains(form->pos())) << form->pos().x();
  EXPECT_EQ(form->size(), QSize(700, 500));
}

// Tab reaches each picture button; Space would press it, so the focus
// must show on the glyph.
class GlyphButtonFocus : public WindowLook, public ::testing::WithParamInterface<const char*> {};

TEST_P(GlyphButtonFocus, ShowsAFrame) {
  Start();
  ShowAt(1022, 732);
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  auto* button = Find<QToolButton>(GetParam());
  ASSERT_TRUE(button->focusPolicy() & Qt::TabFocus);
  Find("LbDocList")->setFocus(Qt::TabFocusReason);
  QApplication::processEvents();
  const QImage unfocused = button->grab().toImage();
  button->setFocus(Qt::TabFocusReason);
  QApplication::processEvents();
  ASSERT_TRUE(button->hasFocus());
  EXPECT_NE(button->grab().toImage(), unfocused);
}

INSTANTIATE_TEST_SUITE_P(WindowLook, GlyphButtonFocus,
                         ::testing::Values("BtnOpenDir", "BtnSelectDir", "BtnOpenSaveAsDir", "BtnSelectSaveAsDir",
                                           "BtnImgCovert", "BtnDirImgConvert"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return ParamName(info.param); });

}  // namespace
}  // namespace mainform_test

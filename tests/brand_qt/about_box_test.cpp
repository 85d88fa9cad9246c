// The about box: its texts and caption, the home page opened by a
// mouse-down on the window or its texts (never by the close button), and
// one box reused with the texts of its creation.

#include <gtest/gtest.h>

#include <QLabel>
#include <QToolButton>
#include <QtTest/QTest>

#include "ParamNames.h"
#include "RecordingShell.h"
#include "brand/aboutus.h"
#include "text/InterfaceText.h"
#include "text/WebAddresses.h"

namespace {

using testsupport::ShellCall;

class AboutBox : public ::testing::Test {
 protected:
  void SetUp() override {
    text::ApplyInterfaceText();
    previousShell_ = ui::InstallShell(&shell_);
    box_ = brand::ShowAboutBox(&main_);
    ASSERT_NE(box_, nullptr);
  }
  void TearDown() override { ui::InstallShell(previousShell_); }

  QLabel* Label(const char* name) const { return box_->findChild<QLabel*>(QString::fromLatin1(name)); }

  testsupport::RecordingShell shell_;
  ui::Shell* previousShell_ = nullptr;
  QWidget main_;
  brand::TFrmVersion* box_ = nullptr;
};

TEST_F(AboutBox, ShowsTheProductVersionAuthorAndHomePage) {
  EXPECT_EQ(box_->windowTitle(), QStringLiteral("关于 Lom图片批量转换器"));
  EXPECT_EQ(Label("Label1")->text(), QStringLiteral("     Lom图片批量转换器"));
  EXPECT_EQ(Label("Label2")->text(), QStringLiteral("版本号："));
  EXPECT_EQ(Label("LblVersion")->text(), QStringLiteral("2.2"));
  EXPECT_EQ(Label("Label3")->text(), QStringLiteral("作者：Lom软件工作室"));
  EXPECT_EQ(Label("Label4")->text(), QStringLiteral("官方主页：www.example.com/ic"));
  EXPECT_EQ(Label("LblVersion")->palette().color(QPalette::WindowText), QColor(34, 34, 34));
  EXPECT_EQ(Label("Label1")->font().pixelSize(), 28);
  EXPECT_TRUE(Label("Label1")->font().bold());
  EXPECT_EQ(Label("Label3")->font().pixelSize(), 21);
  EXPECT_EQ(box_->size(), QSize(394, 354));
  EXPECT_EQ(box_->palette().color(QPalette::Window), QColor(245, 250, 254));
  EXPECT_FALSE(box_->findChild<QToolButton*>(QStringLiteral("BtnClose"))->icon().isNull());
}

class AboutBoxText : public AboutBox, public ::testing::WithParamInterface<const char*> {};

TEST_P(AboutBoxText, MouseDownOpensTheHomePage) {
  QTest::mousePress(Label(GetParam()), Qt::LeftButton);
  EXPECT_EQ(shell_.calls, (std::vector<ShellCall>{{"open", text::UrlProductHome}}));
}

INSTANTIATE_TEST_SUITE_P(Labels, AboutBoxText,
                         ::testing::Values("Label1", "Label2", "LblVersion", "Label3", "Label4"),
                         testsupport::ByValue());

TEST_F(AboutBox, MouseDownOnTheBackgroundOpensTheHomePage) {
  ASSERT_EQ(box_->childAt(30, 300), nullptr);
  QTest::mousePress(box_, Qt::LeftButton, {}, QPoint(30, 300));
  EXPECT_EQ(shell_.calls, (std::vector<ShellCall>{{"open", text::UrlProductHome}}));
}

TEST_F(AboutBox, FramePicturesOpenNothing) {
  QTest::mousePress(Label("ImgCenter"), Qt::LeftButton);
  QTest::mousePress(Label("ImgLeft"), Qt::LeftButton);
  EXPECT_TRUE(shell_.calls.empty());
}

TEST_F(AboutBox, CloseButtonOnlyCloses) {
  ASSERT_TRUE(box_->isVisible());
  QTest::mouseClick(box_->findChild<QToolButton*>(QStringLiteral("BtnClose")), Qt::LeftButton);
  EXPECT_FALSE(box_->isVisible());
  EXPECT_TRUE(shell_.calls.empty());
}

TEST_F(AboutBox, SecondShowingReusesTheBoxWithItsFirstTexts) {
  box_->close();
  const std::string productName = text::TxtProductName;
  text::TxtProductName = "changed";
  brand::TFrmVersion* again = brand::ShowAboutBox(&main_);
  text::TxtProductName = productName;
  EXPECT_EQ(again, box_);
  EXPECT_TRUE(again->isVisible());
  EXPECT_EQ(again->windowTitle(), QStringLiteral("关于 Lom图片批量转换器"));
  EXPECT_EQ(main_.findChildren<brand::TFrmVersion*>().size(), 1);
}

}  // namespace

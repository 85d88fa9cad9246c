// The links panel: where its parts sit, what every link and menu item
// opens, the link highlight, the update window and "update.txt".

#include <gtest/gtest.h>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QTest>

#include <memory>

#include "RecordingDialogs.h"
#include "RecordingShell.h"
#include "brand/LinksPanelFactory.h"
#include "brand/TarnwelUnit.h"
#include "brand/aboutus.h"
#include "text/InterfaceText.h"
#include "text/WebAddresses.h"
#include "update/TFrmUpdate.h"

namespace {

using testsupport::ShellCall;

// Stands in for the main window: counts its closes.
class MainWindow : public QWidget {
 public:
  int closes = 0;

 protected:
  void closeEvent(QCloseEvent* event) override {
    ++closes;
    QWidget::closeEvent(event);
  }
};

class LinksPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    text::ApplyInterfaceText();
    previousShell_ = ui::InstallShell(&shell_);
    previousDialogs_ = ui::InstallDialogs(&dialogs_);
    ASSERT_TRUE(folder_.isValid());
    host_ = new QWidget(&main_);
    host_->setObjectName(QStringLiteral("PnlTarnwelParent"));
    host_->setFixedSize(127, 243);
    panel_ = new brand::TPnlTarnwel(host_, DataFolder());
  }
  void TearDown() override {
    ui::InstallShell(previousShell_);
    ui::InstallDialogs(previousDialogs_);
  }

  std::filesystem::path DataFolder() const { return folder_.path().toStdString(); }
  QByteArray UpdateNote() const {
    QFile file(folder_.filePath(QStringLiteral("update.txt")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
  }

  testsupport::RecordingShell shell_;
  testsupport::RecordingDialogs dialogs_;
  ui::Shell* previousShell_ = nullptr;
  ui::Dialogs* previousDialogs_ = nullptr;
  QTemporaryDir folder_;
  MainWindow main_;
  QWidget* host_ = nullptr;
  brand::TPnlTarnwel* panel_ = nullptr;
};

TEST_F(LinksPanel, SideButtonsStackOnTheHostAboveThePanel) {
  const QToolButton* buttons[] = {panel_->BtnHelp(), panel_->BtnOnlineUpdate(), panel_->BtnExit()};
  const char* names[] = {"BtnHelp", "BtnOnlineUpdate", "BtnExit"};
  const int tops[] = {3, 32, 61};
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(buttons[i], nullptr) << names[i];
    EXPECT_EQ(buttons[i]->objectName(), QString::fromLatin1(names[i]));
    EXPECT_EQ(buttons[i]->parentWidget(), host_) << names[i];
    EXPECT_EQ(buttons[i]->geometry(), QRect(0, tops[i], 122, 26)) << names[i];
    EXPECT_TRUE(buttons[i]->autoRaise()) << names[i] << " is flat";
    EXPECT_FALSE(buttons[i]->icon().isNull()) << names[i] << " has its glyph";
  }
  EXPECT_EQ(panel_->parentWidget(), host_);
  EXPECT_EQ(panel_->geometry(), QRect(3, 90, 120, 152));
}

TEST_F(LinksPanel, ArrangeSideButtonsFollowsTheButtonHeights) {
  panel_->BtnOnlineUpdate()->resize(122, 40);
  panel_->ArrangeSideButtons(10, 5, 0);
  EXPECT_EQ(panel_->BtnHelp()->pos(), QPoint(10, 5));
  EXPECT_EQ(panel_->BtnOnlineUpdate()->pos(), QPoint(10, 31));
  EXPECT_EQ(panel_->BtnExit()->pos(), QPoint(10, 71));
  EXPECT_EQ(panel_->pos(), QPoint(13, 97));
}

TEST_F(LinksPanel, PanelAndLinkAreaColours) {
  EXPECT_EQ(panel_->palette().color(QPalette::Window), QColor(249, 255, 255));
  EXPECT_EQ(panel_->frameShape(), QFrame::NoFrame);
  const QWidget* area = panel_->Link(1)->parentWidget();
  EXPECT_EQ(area->palette().color(QPalette::Window), QColor(245, 250, 254));
  EXPECT_EQ(area->height(), 85);
  auto* heading = panel_->findChild<QLabel*>(QStringLiteral("LblHeading"));
  ASSERT_NE(heading, nullptr);
  EXPECT_EQ(heading->text(), QStringLiteral("热点推荐"));
  EXPECT_EQ(heading->pos(), QPoint(20, 0));
  EXPECT_EQ(heading->palette().color(QPalette::WindowText), QColor(25, 76, 97));
  EXPECT_TRUE(heading->font().bold());
  EXPECT_EQ(heading->font().pointSize(), 10);
}

TEST_F(LinksPanel, PictureShowsTheJpegAndOpensTheMakerSite) {
  const QLabel* picture = panel_->Picture();
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->toolTip(), QStringLiteral("点击可查看更多软件更新"));
  EXPECT_FALSE(picture->pixmap().isNull());
  EXPECT_EQ(picture->pos(), QPoint(0, 0));
  QTest::mousePress(panel_->Picture(), Qt::LeftButton);
  EXPECT_EQ(shell_.calls, (std::vector<ShellCall>{{"open", text::MakerSiteRoot()}}));
}

struct LinkCase {
  int tag;
  const char* caption;
  int top;
  const char* address;
};

void PrintTo(const LinkCase& c, std::ostream* os) { *os << "tag " << c.tag; }

class PartnerLink : public LinksPanel, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(PartnerLink, SitsInPlaceAndOpensItsPartnerOnMouseDown) {
  const LinkCase& c = GetParam();
  QLabel* link = panel_->Link(c.tag);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->text(), QString::fromUtf8(c.caption));
  EXPECT_EQ(link->property("tag").toInt(), c.tag);
  EXPECT_EQ(link->pos(), QPoint(18, c.top));
  QTest::mousePress(link, Qt::LeftButton);
  EXPECT_EQ(shell_.calls, (std::vector<ShellCall>{{"open", c.address}}));
}

INSTANTIATE_TEST_SUITE_P(
    Links, PartnerLink,
    ::testing::Values(LinkCase{1, "今日热点新闻", 17, "https://news.example.org/#hotnew"},
                      LinkCase{2, "热门游戏推荐", 34, "https://games.example.net/yx/"},
                      LinkCase{3, "网上购物折扣", 51, "https://shop.example.org/?tarnwel"},
                      LinkCase{4, "同城交友论坛", 68, "https://forum.example.net/jy/"}),
    [](const auto& info) { return "Tag" + std::to_string(info.param.tag); });

TEST_F(LinksPanel, LinkHighlightsOnEnterAndRestoresOnLeave) {
  QLabel* link = panel_->Link(2);
  const auto expectNormal = [link](const char* when) {
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(69, 107, 130)) << when;
    EXPECT_TRUE(link->font().underline()) << when;
    EXPECT_FALSE(link->font().bold()) << when;
    EXPECT_EQ(link->font().pointSize(), 9) << when;
    EXPECT_FALSE(link->testAttribute(Qt::WA_SetCursor)) << when;
  };
  expectNormal("at start");

  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QCoreApplication::sendEvent(link, &enter);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 128, 0));
  EXPECT_TRUE(link->font().bold());
  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  // Bold text is wider: the label grows with it instead of cutting it off.
  EXPECT_GE(link->width(), link->fontMetrics().horizontalAdvance(link->text()));

  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(link, &leave);
  expectNormal("after leaving");
  EXPECT_TRUE(shell_.calls.empty());
}

TEST_F(LinksPanel, MenuHoldsItsFiveItemsInOrder) {
  const QList<QAction*> items = panel_->LinksMenu()->actions();
  ASSERT_EQ(items.size(), 5);
  const char* captions[] = {"实例说明(&D)", "官方主页(&H)", "", "软件捐助(&J)", "关于(&A)..."};
  const int tags[] = {1, 2, 0, 3, 4};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(items[i]->text(), QString::fromUtf8(captions[i])) << i;
    EXPECT_EQ(items[i]->property("tag").toInt(), tags[i]) << i;
    EXPECT_EQ(items[i]->isSeparator(), i == 2) << i;
  }
}

TEST_F(LinksPanel, HelpButtonPopsUpTheMenu) {
  QTest::mouseClick(panel_->BtnHelp(), Qt::LeftButton);
  EXPECT_TRUE(panel_->LinksMenu()->isVisible());
  panel_->LinksMenu()->hide();
}

struct MenuCase {
  int index;
  std::string (*address)();
};

void PrintTo(const MenuCase& c, std::ostream* os) { *os << "item " << c.index; }

class MenuItemLink : public LinksPanel, public ::testing::WithParamInterface<MenuCase> {};

TEST_P(MenuItemLink, OpensItsAddressUnchanged) {
  panel_->LinksMenu()->actions().at(GetParam().index)->trigger();
  EXPECT_EQ(shell_.calls, (std::vector<ShellCall>{{"open", GetParam().address()}}));
}

INSTANTIATE_TEST_SUITE_P(
    Menu, MenuItemLink,
    ::testing::Values(MenuCase{0, [] { return text::MakerPageAddress("/demo/ic/") + "#detail"; }},
                      MenuCase{1, [] { return text::MakerPageAddress("/ic/"); }},
                      MenuCase{3, [] { return text::MakerPageAddress("/jz/"); }}),
    [](const auto& info) { return "Item" + std::to_string(info.param.index); });

TEST_F(LinksPanel, MenuLinkWithAnEmptyAddressStartsNothing) {
  // The traditional Chinese and English tables leave the donation address empty.
  text::UrlDonate.clear();
  panel_->LinksMenu()->actions().at(3)->trigger();
  EXPECT_TRUE(shell_.calls.empty());
}

TEST_F(LinksPanel, AboutItemShowsOneAboutBoxOwnedByTheMainWindow) {
  QAction* about = panel_->LinksMenu()->actions().at(4);
  about->trigger();
  auto* box = main_.findChild<brand::TFrmVersion*>();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_TRUE(box->isWindow());
  box->close();
  about->trigger();
  EXPECT_EQ(main_.findChildren<brand::TFrmVersion*>().size(), 1);
  EXPECT_TRUE(box->isVisible());
  EXPECT_TRUE(shell_.calls.empty());
}

TEST_F(LinksPanel, UpdateButtonShowsTheSameUpdateWindowEachTime) {
  EXPECT_EQ(panel_->UpdateWindow(), nullptr);
  QTest::mouseClick(panel_->BtnOnlineUpdate(), Qt::LeftButton);
  update::TFrmUpdate* first = panel_->UpdateWindow();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  EXPECT_TRUE(first->isWindow());
  EXPECT_FALSE(first->isModal());
  EXPECT_EQ(first->parent(), panel_);
  EXPECT_EQ(QFileInfo(first->UpdateTarget()).absolutePath(), QFileInfo(folder_.path()).absoluteFilePath());
  first->close();
  QTest::mouseClick(panel_->BtnOnlineUpdate(), Qt::LeftButton);
  EXPECT_EQ(panel_->UpdateWindow(), first);
  EXPECT_TRUE(first->isVisible());
  first->close();
}

TEST_F(LinksPanel, ExitButtonClosesTheMainWindow) {
  main_.show();
  QTest::mouseClick(panel_->BtnExit(), Qt::LeftButton);
  EXPECT_EQ(main_.closes, 1);
  EXPECT_FALSE(main_.isVisible());
}

TEST_F(LinksPanel, UpdateNoteHoldsTheProgramNameAndCrLf) {
  const QByteArray expected =
      QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + "\r\n";
  EXPECT_EQ(UpdateNote(), expected);
  ASSERT_TRUE(expected == "brand_qt_tests\r\n" || expected == "brand_qt_tests.exe\r\n") << expected.toStdString();
}

TEST_F(LinksPanel, UpdateNoteIsRewrittenAtEveryStart) {
  {
    QFile stale(folder_.filePath(QStringLiteral("update.txt")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly | QIODevice::Truncate));
    stale.write("an older and much longer note\r\nwith two lines\r\n");
  }
  QWidget otherHost;
  brand::TPnlTarnwel again(&otherHost, DataFolder());
  EXPECT_EQ(UpdateNote(), QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + "\r\n");
}

TEST_F(LinksPanel, UnwritableDataFolderStillBuildsThePanel) {
  QWidget otherHost;
  brand::TPnlTarnwel panel(&otherHost, DataFolder() / "missing" / "deeper");
  EXPECT_EQ(panel.BtnExit()->y(), 61);
  EXPECT_EQ(panel.pos(), QPoint(3, 90));
  EXPECT_FALSE(QFileInfo::exists(folder_.filePath(QStringLiteral("missing"))));
}

TEST(LinksPanelFactory, BuildsAShownPanelInTheHost) {
  text::ApplyInterfaceText();
  QWidget host;
  brand::CreateLinksPanel(&host);
  auto* panel = host.findChild<brand::TPnlTarnwel*>();
  ASSERT_NE(panel, nullptr);
  EXPECT_FALSE(panel->isHidden());
  EXPECT_NE(host.findChild<QToolButton*>(QStringLiteral("BtnExit")), nullptr);
  brand::CreateLinksPanel(nullptr);
}

}  // namespace

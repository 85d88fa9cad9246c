// Clicks in the two picture lists: the current picture, the hint, the
// preview with its size label, and the source list's position written at once.

#include <QGroupBox>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <fstream>

#include "MainWindowFixture.h"
#include "ui/ElidedLabel.h"
#include "imaging/OverWhite.h"

namespace windowtest {
using namespace testsupport;
namespace {

class PreviewTest : public OptionsTest {
 protected:
  void SetUp() override {
    OptionsTest::SetUp();
    Find<QCheckBox>("CbPreviewSourceImg")->setChecked(true);
    Find<QCheckBox>("CbTargetImgPreview")->setChecked(true);
  }
  QSize Shown(const char* box) { return Find<QLabel>(box)->pixmap().size(); }
};

TEST_F(PreviewTest, ClickingTheThirdSourcePictureShowsItWithItsSize) {
  SavePng(dir / "src" / "a.png", 5, 4);
  SaveBmp(dir / "src" / "b.bmp", 6, 3);
  SaveJpeg(dir / "src" / "c.jpg", 40, 30);
  ListFolders();
  Show();
  ClickItem("LbDocList", 2);
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "2");
  EXPECT_EQ(Text("LblHint"), "源图片：" + SrcFolder() + "c.jpg");
  EXPECT_EQ(form->CurrentSourcePictureValue(), SrcFolder() + "c.jpg");
  EXPECT_EQ(Text("LblWHSource"), "c.jpg [宽度:40,高度:30]");
  EXPECT_EQ(Shown("ImgSource"), QSize(40, 30));
  ClickItem("LbDocList", 1);
  EXPECT_EQ(Text("LblWHSource"), "b.bmp [宽度:6,高度:3]");
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "1");
  // The keyboard moves the current picture as a click does.
  Find<QListWidget>("LbDocList")->setFocus();
  QTest::keyClick(Find("LbDocList"), Qt::Key_Up);
  QApplication::processEvents();
  WaitForPreviews();
  EXPECT_EQ(Text("LblWHSource"), "a.png [宽度:5,高度:4]");
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "0");
}

TEST_F(PreviewTest, ALargeJpegShowsItsRealSize) {
  SaveJpeg(dir / "src" / "big.jpeg", 3000, 2000);
  ListFolders();
  Show();
  ClickItem("LbDocList", 0);
  EXPECT_EQ(Text("LblWHSource"), "big.jpeg [宽度:3000,高度:2000]");
  // Decoded at an eighth, still larger than the box's design size.
  EXPECT_EQ(Shown("ImgSource"), QSize(375, 250));
  const QImage shown = Find<QLabel>("ImgSource")->pixmap().toImage();
  EXPECT_NE(shown.pixelColor(0, 0), shown.pixelColor(374, 249));
}

// A picture with transparency is previewed as it lies over white.
TEST_F(PreviewTest, TransparencyIsShownOverWhite) {
  const img::Bitmap logo = AlphaGradientBitmap(40, 30);
  fs::create_directories(dir / "src");
  engine::PngImage().Save(logo, dir / "src" / "logo.png");
  ListFolders();
  Show();
  ClickItem("LbDocList", 0);
  const QImage shown = Find<QLabel>("ImgSource")->pixmap().toImage();
  ASSERT_EQ(shown.size(), QSize(40, 30));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const img::PaletteEntry p = logo.PixelColor(x, y);
      ASSERT_EQ(shown.pixelColor(x, y), QColor(img::OverWhite(p.red, p.reserved), img::OverWhite(p.green, p.reserved),
                                               img::OverWhite(p.blue, p.reserved)))
          << x << "," << y;
    }
}

TEST_F(PreviewTest, TargetClickShowsTheConvertedPictureWithoutWritingItsPosition) {
  SavePng(dir / "out" / "a.png", 9, 7);
  SavePng(dir / "out" / "b.png", 11, 5);
  ListFolders();
  Show();
  ClickItem("LbTarget", 1);
  EXPECT_EQ(Text("LblHint"), "当前图片：" + OutFolder() + "b.png");
  EXPECT_EQ(form->CurrentTargetPictureValue(), OutFolder() + "b.png");
  EXPECT_EQ(Text("LblWHTarget"), "b.png [宽度:11,高度:5]");
  EXPECT_EQ(Ini("ImgConvert", "LbTargetInd"), "<missing>");
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "<missing>");
}

TEST_F(PreviewTest, WithThePreviewOffOnlyTheHintAndCurrentPictureChange) {
  SavePng(dir / "out" / "a.png", 9, 7);
  ListFolders();
  Show();
  Click("CbTargetImgPreview");
  ClickItem("LbTarget", 0);
  EXPECT_EQ(Text("LblHint"), "当前图片：" + OutFolder() + "a.png");
  EXPECT_EQ(form->CurrentTargetPictureValue(), OutFolder() + "a.png");
  EXPECT_EQ(Text("LblWHTarget"), "");
  EXPECT_TRUE(Find<QLabel>("ImgOutput")->pixmap().isNull());
}

TEST_F(PreviewTest, ADeletedPictureLeavesThePreviewAsItWas) {
  SavePng(dir / "src" / "a.png", 5, 4);
  SavePng(dir / "src" / "gone.png", 8, 8);
  ListFolders();
  Show();
  ClickItem("LbDocList", 0);
  fs::remove(dir / "src" / "gone.png");
  ClickItem("LbDocList", 1);
  EXPECT_EQ(Text("LblHint"), "源图片：" + SrcFolder() + "gone.png");
  EXPECT_EQ(Text("LblWHSource"), "a.png [宽度:5,高度:4]");
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "1");
}

TEST_F(PreviewTest, UndecodablePictures) {
  SavePng(dir / "src" / "a.png", 5, 4);
  { std::ofstream(dir / "src" / "b.jpg") << "not a jpeg"; }
  { std::ofstream(dir / "src" / "c.png") << "not a png"; }
  { std::ofstream(dir / "src" / "d.bmp") << "BM not a bitmap"; }
  ListFolders();
  Show();
  ClickItem("LbDocList", 0);
  // A JPEG we cannot decode goes to the desktop's program; the box keeps
  // the previous picture and its label.
  ClickItem("LbDocList", 1);
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], SrcFolder() + "b.jpg");
  EXPECT_TRUE(Find("ImgSource")->isVisible());
  EXPECT_EQ(Text("LblWHSource"), "a.png [宽度:5,高度:4]");
  // A PNG that fails is passed over quietly.
  ClickItem("LbDocList", 2);
  EXPECT_TRUE(Find("ImgSource")->isVisible());
  EXPECT_EQ(Text("LblWHSource"), "a.png [宽度:5,高度:4]");
  // A BMP that fails hides the box until the next picture shown.
  ClickItem("LbDocList", 3);
  EXPECT_FALSE(Find("ImgSource")->isVisible());
  ClickItem("LbDocList", 0);
  EXPECT_TRUE(Find("ImgSource")->isVisible());
  EXPECT_EQ(shell.opened.size(), 1u);
  EXPECT_TRUE(dialogs.messages.empty() && dialogs.errors.empty());
}

TEST_F(PreviewTest, ALongNameNeverMovesThePanes) {
  if (testsupport::kWindows) GTEST_SKIP() << "Wine fails to rename a picture to this 80-character Chinese name";
  const std::string name = [] {
    std::string n;
    for (int i = 0; i < 10; ++i) n += "很长的中文文件名称";
    return n.substr(0, 80 * 3) + ".png";
  }();
  // Written under a short name first: the writer's temporary name is longer.
  for (const char* folder : {"src", "out"}) {
    SavePng(dir / folder / "long.png", 6, 3);
    fs::rename(dir / folder / "long.png", dir / folder / name);
  }
  SavePng(dir / "out" / "IMG_20240512_183045.png", 6, 3);
  ListFolders();
  Show();
  QApplication::processEvents();
  const int sourceWidth = Find("GbSourceList")->width(), targetWidth = Find("GbTargetList")->width();
  for (int row : {0, 1}) {
    ClickItem("LbTarget", row);
    ClickItem("LbDocList", 0);
    QApplication::processEvents();
    EXPECT_EQ(Find("GbSourceList")->width(), sourceWidth);
    EXPECT_EQ(Find("GbTargetList")->width(), targetWidth);
  }
  EXPECT_FALSE(Find<QScrollArea>("SbMain")->horizontalScrollBar()->isVisible());
  // The whole text stays the label's, and its tooltip shows it.
  const std::string label = name + " [宽度:6,高度:3]";
  EXPECT_EQ(Text("LblWHSource"), label);
  EXPECT_EQ(Find("LblWHSource")->toolTip().toStdString(), label);
  // Only the name is shortened on screen, however narrow the pane: the
  // size shows whole.
  auto* sizeLabel = Find<ui::ElidedLabel>("LblWHSource");
  const QString size = QStringLiteral(" [宽度:6,高度:3]");
  for (int room : {400, 60, 0}) {
    sizeLabel->resize(sizeLabel->fontMetrics().horizontalAdvance(size) + room, sizeLabel->height());
    const QString shown = sizeLabel->ShownText();
    EXPECT_TRUE(shown.endsWith(size)) << shown.toStdString();
    EXPECT_LT(shown.size(), Q(label).size()) << shown.toStdString();
  }
}

// A preview of a picture that leaves the list (renamed, or another folder
// listed) goes with it; one still listed stays.
TEST_F(PreviewTest, APictureNoLongerListedLeavesThePreview) {
  SavePng(dir / "src" / "a.png", 5, 4);
  SavePng(dir / "other" / "x.png", 7, 7);
  ListFolders();
  Show();
  ClickItem("LbDocList", 0);
  form->RefreshSourceList();
  EXPECT_EQ(Text("LblWHSource"), "a.png [宽度:5,高度:4]");
  fs::rename(dir / "src" / "a.png", dir / "src" / "b.png");
  form->RefreshSourceList();
  EXPECT_EQ(Text("LblWHSource"), "");
  EXPECT_TRUE(Find<QLabel>("ImgSource")->pixmap().isNull());
  ClickItem("LbDocList", 0);
  TypeAndEnter(EdtPath(), U(dir / "other"));
  EXPECT_EQ(Text("LblWHSource"), "");
}

// A picture in a preview box keeps its proportions: drawn as large as the
// box allows (never enlarged), centred.
struct BoxCase {
  const char* list;
  const char* box;
  const char* folder;
  int width, height;
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.box << " " << c.width << "x" << c.height; }

class PreviewProportions : public PreviewTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(PreviewProportions, PictureIsFittedInsideItsBox) {
  const BoxCase& c = GetParam();
  SavePng(dir / c.folder / "p.png", c.width, c.height);
  ListFolders();
  form->resize(1920, 1040);
  Show();
  ClickItem(c.list, 0);
  QApplication::processEvents();
  QLabel* box = Find<QLabel>(c.box);
  const QImage shot = box->grab().toImage();
  const QRgb background = shot.pixel(0, 0);
  QRect drawn;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x)
      if (shot.pixel(x, y) != background) drawn |= QRect(x, y, 1, 1);
  QSize expected(c.width, c.height);
  if (c.width > box->width() || c.height > box->height())
    expected.scale(box->size(), Qt::KeepAspectRatio);
  EXPECT_NEAR(drawn.width(), expected.width(), 1) << "box " << box->width() << "x" << box->height();
  EXPECT_NEAR(drawn.height(), expected.height(), 1);
  EXPECT_NEAR(drawn.center().x(), box->rect().center().x(), 1);
  EXPECT_NEAR(drawn.center().y(), box->rect().center().y(), 1);
  EXPECT_EQ(Text(c.list == std::string("LbTarget") ? "LblWHTarget" : "LblWHSource"),
            "p.png [宽度:" + std::to_string(c.width) + ",高度:" + std::to_string(c.height) + "]");
}

INSTANTIATE_TEST_SUITE_P(Boxes, PreviewProportions,
                         ::testing::Values(BoxCase{"LbTarget", "ImgOutput", "out", 600, 800},
                                           BoxCase{"LbDocList", "ImgSource", "src", 900, 100},
                                           BoxCase{"LbTarget", "ImgOutput", "out", 7, 5}),
                         [](const auto& info) {
                           const BoxCase& c = info.param;
                           return testsupport::ParamName(std::string(c.box) + "_" + std::to_string(c.width) + "x" +
                                                         std::to_string(c.height));
                         });

// Previews are decoded off the window's thread: a click returns before its
// picture is drawn, and of the pictures clicked in quick succession only the
// last is drawn or acted on; one that leaves the list before it is drawn is
// not drawn at all.
struct QuickClicks {
  const char* name;
  std::vector<int> rows;      // of a.png, b.jpg (broken), c.png, clicked with no wait
  bool renameLastBeforeDrawn;  // c.png renamed and the list refreshed
  const char* label;          // the size label at the end
  std::vector<std::string> opened;  // handed to the desktop's program
};

void PrintTo(const QuickClicks& c, std::ostream* os) { *os << c.name; }

class PreviewQuickClicks : public PreviewTest, public ::testing::WithParamInterface<QuickClicks> {};

TEST_P(PreviewQuickClicks, OnlyTheLastPictureAskedForIsDrawn) {
  const QuickClicks& c = GetParam();
  SavePng(dir / "src" / "a.png", 5, 4);
  { std::ofstream(dir / "src" / "b.jpg") << "not a jpeg"; }
  SavePng(dir / "src" / "c.png", 7, 3);
  ListFolders();
  Show();
  for (int row : c.rows) ClickItem("LbDocList", row, false);
  EXPECT_TRUE(form->PreviewPending());
  EXPECT_EQ(Text("LblWHSource"), "");
  if (c.renameLastBeforeDrawn) {
    fs::rename(dir / "src" / "c.png", dir / "src" / "d.png");
    form->RefreshSourceList();
  }
  WaitForPreviews();
  QTest::qWait(100);  // a superseded decode that ends late lands nowhere
  EXPECT_EQ(Text("LblWHSource"), c.label);
  std::vector<std::string> opened;
  for (const std::string& name : c.opened) opened.push_back(SrcFolder() + name);
  EXPECT_EQ(shell.opened, opened);
  EXPECT_EQ(Find<QLabel>("ImgSource")->pixmap().isNull(), std::string(c.label).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, PreviewQuickClicks,
    ::testing::Values(QuickClicks{"BrokenJpegClickedPast", {0, 1, 2}, false, "c.png [宽度:7,高度:3]", {}},
                      QuickClicks{"BrokenJpegLast", {0, 2, 1}, false, "", {"b.jpg"}},
                      QuickClicks{"LastRenamedBeforeDrawn", {0, 2}, true, "", {}}),
    [](const auto& info) { return testsupport::ParamName(info.param.name); });

// The box shows a picture at the screen's own pixels: one twice the box's
// size is drawn pixel for pixel on a screen of twice the density, and a JPEG
// is decoded at the smallest scale that covers the box's device pixels.
// CTest runs it once more under QT_SCALE_FACTOR=2.
TEST_F(PreviewTest, DrawnAtTheScreensOwnPixels) {
  form->resize(1022, 732);
  Show();
  QLabel* box = Find<QLabel>("ImgSource");
  const qreal ratio = box->devicePixelRatioF();
  if (qEnvironmentVariable("QT_SCALE_FACTOR") == QLatin1String("2")) {
    EXPECT_EQ(ratio, 2.0);
  }
  const QSize area = box->contentsRect().size();
  const QSize pixels = area * ratio;
  SavePng(dir / "src" / "a.png", pixels.width(), pixels.height());
  SaveJpeg(dir / "src" / "b.jpg", 3000, 2000);
  ListFolders();

  ClickItem("LbDocList", 0);
  const QImage shot = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QPoint at = box->contentsRect().topLeft() * ratio;
  const img::Bitmap picture = GradientBitmap(pixels.width(), pixels.height());
  int wrong = 0;
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x) {
      const img::PaletteEntry p = picture.PixelColor(x, y);
      wrong += shot.pixelColor(at.x() + x, at.y() + y) != QColor(p.red, p.green, p.blue);
    }
  EXPECT_EQ(wrong, 0) << "of " << pixels.width() << "x" << pixels.height() << " at " << ratio;

  ClickItem("LbDocList", 1);
  const QSize decoded = box->pixmap().size();
  EXPECT_EQ(Text("LblWHSource"), "b.jpg [宽度:3000,高度:2000]");
  EXPECT_TRUE(decoded.width() >= pixels.width() && decoded.height() >= pixels.height()) << decoded.width();
  EXPECT_TRUE(decoded.width() / 2 < pixels.width() || decoded.height() / 2 < pixels.height()) << decoded.width();
}

TEST_F(PreviewTest, EmptyListOrNoCurrentItemDoesNothing) {
  ListFolders();
  form->LbDocListClick();
  form->LbTargetClick();
  EXPECT_EQ(Text("LblHint"), "");
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "<missing>");
}

}  // namespace
}  // namespace windowtest

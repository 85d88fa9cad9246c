// Clicks in the two picture lists: the current picture, the hint, the
// preview with its size label, and the source list's position written at once.

#include <QPixmap>
#include <fstream>

#include "OptionsFixture.h"

namespace windowtest {
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
  SavePng(tmp_ / "src" / "a.png", 5, 4);
  SaveBmp(tmp_ / "src" / "b.bmp", 6, 3);
  SaveJpeg(tmp_ / "src" / "c.jpg", 40, 30);
  ListFolders();
  Show();
  ClickItem("LbDocList", 2);
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "2");
  EXPECT_EQ(Text("LblHint"), "源图片：" + SrcFolder() + "c.jpg");
  EXPECT_EQ(form_->CurrentSourcePictureValue(), SrcFolder() + "c.jpg");
  EXPECT_EQ(Text("LblWHSource"), "c.jpg [宽度:40,高度:30]");
  EXPECT_EQ(Shown("ImgSource"), QSize(267, 157));
  ClickItem("LbDocList", 1);
  EXPECT_EQ(Text("LblWHSource"), "b.bmp [宽度:6,高度:3]");
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "1");
  // The keyboard moves the current picture as a click does.
  Find<QListWidget>("LbDocList")->setFocus();
  QTest::keyClick(Find("LbDocList"), Qt::Key_Up);
  QApplication::processEvents();
  EXPECT_EQ(Text("LblWHSource"), "a.png [宽度:5,高度:4]");
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "0");
}

TEST_F(PreviewTest, ALargeJpegShowsItsRealSize) {
  SaveJpeg(tmp_ / "src" / "big.jpeg", 3000, 2000);
  ListFolders();
  Show();
  ClickItem("LbDocList", 0);
  EXPECT_EQ(Text("LblWHSource"), "big.jpeg [宽度:3000,高度:2000]");
  EXPECT_EQ(Shown("ImgSource"), QSize(267, 157));
  // Scaled down for the preview, yet never below the box: the stretched
  // picture keeps the source's gradient rather than blocks of 8 pixels.
  const QImage shown = Find<QLabel>("ImgSource")->pixmap().toImage();
  EXPECT_NE(shown.pixelColor(0, 0), shown.pixelColor(266, 156));
}

TEST_F(PreviewTest, TargetClickShowsTheConvertedPictureWithoutWritingItsPosition) {
  SavePng(tmp_ / "out" / "a.png", 9, 7);
  SavePng(tmp_ / "out" / "b.png", 11, 5);
  ListFolders();
  Show();
  ClickItem("LbTarget", 1);
  EXPECT_EQ(Text("LblHint"), "当前图片：" + OutFolder() + "b.png");
  EXPECT_EQ(form_->CurrentTargetPictureValue(), OutFolder() + "b.png");
  EXPECT_EQ(Text("LblWHTarget"), "b.png [宽度:11,高度:5]");
  EXPECT_EQ(Ini("ImgConvert", "LbTargetInd"), "<missing>");
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "<missing>");
}

TEST_F(PreviewTest, WithThePreviewOffOnlyTheHintAndCurrentPictureChange) {
  SavePng(tmp_ / "out" / "a.png", 9, 7);
  ListFolders();
  Show();
  Click("CbTargetImgPreview");
  ClickItem("LbTarget", 0);
  EXPECT_EQ(Text("LblHint"), "当前图片：" + OutFolder() + "a.png");
  EXPECT_EQ(form_->CurrentTargetPictureValue(), OutFolder() + "a.png");
  EXPECT_EQ(Text("LblWHTarget"), "");
  EXPECT_TRUE(Find<QLabel>("ImgOutput")->pixmap().isNull());
}

TEST_F(PreviewTest, ADeletedPictureLeavesThePreviewAsItWas) {
  SavePng(tmp_ / "src" / "a.png", 5, 4);
  SavePng(tmp_ / "src" / "gone.png", 8, 8);
  ListFolders();
  Show();
  ClickItem("LbDocList", 0);
  fs::remove(tmp_ / "src" / "gone.png");
  ClickItem("LbDocList", 1);
  EXPECT_EQ(Text("LblHint"), "源图片：" + SrcFolder() + "gone.png");
  EXPECT_EQ(Text("LblWHSource"), "a.png [宽度:5,高度:4]");
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "1");
}

TEST_F(PreviewTest, UndecodablePictures) {
  SavePng(tmp_ / "src" / "a.png", 5, 4);
  { std::ofstream(tmp_ / "src" / "b.jpg") << "not a jpeg"; }
  { std::ofstream(tmp_ / "src" / "c.png") << "not a png"; }
  { std::ofstream(tmp_ / "src" / "d.bmp") << "BM not a bitmap"; }
  ListFolders();
  Show();
  ClickItem("LbDocList", 0);
  // A JPEG we cannot decode goes to the desktop's program; the box keeps
  // the previous picture and its label.
  ClickItem("LbDocList", 1);
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0], SrcFolder() + "b.jpg");
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
  EXPECT_EQ(shell_.opened.size(), 1u);
  EXPECT_TRUE(dialogs_.messages.empty() && dialogs_.errors.empty());
}

TEST_F(PreviewTest, EmptyListOrNoCurrentItemDoesNothing) {
  ListFolders();
  form_->LbDocListClick();
  form_->LbTargetClick();
  EXPECT_EQ(Text("LblHint"), "");
  EXPECT_EQ(Ini("ImgConvert", "LbDocListInd"), "<missing>");
}

}  // namespace
}  // namespace windowtest

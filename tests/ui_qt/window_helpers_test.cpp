// Resources carried by the program and the window helpers that read them:
// every glyph a 24-bit BMP 25 pixels high, readable by the project's BMP
// loader; pictures converted to Qt images in the right channel order; the
// faded show ending opaque and visible.

#include <gtest/gtest.h>

#include <QFile>
#include <QPixmap>
#include <QToolButton>
#include <QtTest/QTest>
#include <cstdint>
#include <cstring>

#include "imaging/Bitmap.h"
#include "platform/ImageError.h"
#include "ui/WindowHelpers.h"

namespace {

std::uint32_t Le32(const QByteArray& data, int offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(data[offset + i]);
  return v;
}

std::uint16_t Le16(const QByteArray& data, int offset) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(data[offset]) |
                                    (static_cast<std::uint8_t>(data[offset + 1]) << 8));
}

struct GlyphResource {
  const char* name;
  int width;  // 0: any width
};

void PrintTo(const GlyphResource& g, std::ostream* os) { *os << g.name; }

class Glyph : public ::testing::TestWithParam<GlyphResource> {};

TEST_P(Glyph, IsA24BitBmp25PixelsHigh) {
  const QByteArray bmp = ui::ResourceBytes(GetParam().name, "bmp");
  ASSERT_GE(bmp.size(), 54) << GetParam().name;
  EXPECT_EQ(bmp.left(2), "BM");
  EXPECT_EQ(Le32(bmp, 2), static_cast<std::uint32_t>(bmp.size()));
  EXPECT_EQ(Le16(bmp, 28), 24) << "bits per pixel";
  EXPECT_EQ(Le32(bmp, 30), 0u) << "uncompressed";
  EXPECT_EQ(static_cast<std::int32_t>(Le32(bmp, 22)), 25) << "height (bottom-up)";
  const auto width = static_cast<std::int32_t>(Le32(bmp, 18));
  if (GetParam().width) {
    EXPECT_EQ(width, GetParam().width);
  }
  EXPECT_GT(width, 0);
}

TEST_P(Glyph, ReadByTheProjectsBmpLoader) {
  img::Bitmap glyph;
  const QByteArray bmp = ui::ResourceBytes(GetParam().name, "bmp");
  try {
    glyph.LoadFromMemory({reinterpret_cast<const std::uint8_t*>(bmp.constData()),
                          static_cast<std::size_t>(bmp.size())});
  } catch (const img::ImageError& e) {
    if (std::strstr(e.what(), "not built yet"))
      GTEST_SKIP() << "the BMP loader is still a stub: " << e.what();
    FAIL() << e.what();
  }
  EXPECT_EQ(glyph.height(), 25);
  EXPECT_EQ(glyph.format(), img::PixelFormat::Bits24);
  img::Bitmap viaHelper;
  EXPECT_TRUE(ui::LoadGlyph(viaHelper, GetParam().name));
  EXPECT_EQ(viaHelper.width(), glyph.width());
}

// The batch and side buttons are 122 wide; the dialog buttons 57 by 26.
INSTANTIATE_TEST_SUITE_P(
    Resources, Glyph,
    ::testing::Values(GlyphResource{"BtnicOpenDir", 0}, GlyphResource{"BtnSetSourceDir", 0},
                      GlyphResource{"BtnImgCovert", 122}, GlyphResource{"BtnDirImgConvert", 122},
                      GlyphResource{"BtnStopImgConvert", 122},
                      GlyphResource{"BtnOpenSaveAsDir", 0},
                      GlyphResource{"BtnSelectSaveAsDir", 0}, GlyphResource{"confirm", 55},
                      GlyphResource{"BtnClose", 55}, GlyphResource{"BtnHelp", 122},
                      GlyphResource{"BtnOnlineUpdate", 122}, GlyphResource{"BtnExit", 122}),
    [](const ::testing::TestParamInfo<GlyphResource>& info) {
      return std::string(info.param.name);
    });

TEST(Resources, PicturesOfTheFrameAndLinksPanel) {
  const QByteArray jpeg = ui::ResourceBytes("Tarnwel", "jpg");
  ASSERT_GE(jpeg.size(), 4);
  EXPECT_EQ(static_cast<std::uint8_t>(jpeg[0]), 0xFF);
  EXPECT_EQ(static_cast<std::uint8_t>(jpeg[1]), 0xD8);
  const QPixmap left(QStringLiteral(":/frame/ImgLeft"));
  EXPECT_EQ(left.width(), 10);
  EXPECT_EQ(QPixmap(QStringLiteral(":/frame/ImgRight")).width(), 14);
  EXPECT_EQ(QPixmap(QStringLiteral(":/frame/ImgCenter")).height(), 11);
  EXPECT_EQ(QPixmap(QStringLiteral(":/frame/ImgBottomLeft")).height(), 11);
  for (const char* name : {"Image4", "ImgTopRight", "ImgBottomLeft2", "bot", "ImgTopBG", "ImgText2"})
    EXPECT_FALSE(QPixmap(QStringLiteral(":/frame/") + name).isNull()) << name;
  EXPECT_FALSE(QPixmap(QStringLiteral(":/icons/imgconvert.png")).isNull());
}

TEST(CjkFont, MissingFamilyFallsBackToTheInstalledCjkFont) {
  const QFont font = ui::CjkFont(QStringLiteral("No Such Font 12345"), 13);
  EXPECT_EQ(font.family(), QStringLiteral("WenQuanYi Micro Hei"));
  EXPECT_EQ(font.pixelSize(), 13);
}

TEST(LoadGlyph, MissingResourceLeavesTheBitmapUnchanged) {
  img::Bitmap glyph(3, 2);
  glyph.ScanLine(0)[0] = 77;
  EXPECT_FALSE(ui::LoadGlyph(glyph, "NoSuchGlyph"));
  EXPECT_FALSE(ui::LoadGlyph(glyph, "Tarnwel", "jpg"));  // not a BMP
  EXPECT_EQ(glyph.width(), 3);
  EXPECT_EQ(glyph.height(), 2);
  EXPECT_EQ(glyph.ScanLine(0)[0], 77);
}

TEST(SetButtonGlyph, MissingGlyphLeavesTheButtonAsItWas) {
  QToolButton button;
  EXPECT_FALSE(ui::SetButtonGlyph(&button, "NoSuchGlyph"));
  EXPECT_TRUE(button.icon().isNull());
  EXPECT_FALSE(ui::SetButtonGlyph(nullptr, "BtnExit"));
}

// Where in shot the face appears pixel for pixel (at its own size), or (-1, -1).
QPoint FindUnscaled(const QImage& shot, const QImage& face) {
  for (int oy = 0; oy + face.height() <= shot.height(); ++oy)
    for (int ox = 0; ox + face.width() <= shot.width(); ++ox) {
      bool same = true;
      for (int y = 0; y < face.height() && same; ++y)
        for (int x = 0; x < face.width() && same; ++x)
          same = shot.pixel(ox + x, oy + y) == face.pixel(x, y);
      if (same) return {ox, oy};
    }
  return {-1, -1};
}

TEST(SetButtonFace, GlyphDrawnAtItsOwnSizeOnAFlatButton) {
  // A face with sharp detail: any scaling blurs or drops its stripes.
  QImage face(122, 25, QImage::Format_RGB32);
  for (int y = 0; y < face.height(); ++y)
    for (int x = 0; x < face.width(); ++x)
      face.setPixel(x, y, ((x + y) % 2) ? qRgb(200, 30, 30) : qRgb(20, 40, 220));
  QToolButton button;
  button.setAutoRaise(true);
  button.setFixedSize(123, 26);
  ui::SetButtonFace(&button, QPixmap::fromImage(face));
  button.show();
  const QImage shot = button.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_NE(FindUnscaled(shot, face), QPoint(-1, -1)) << "the glyph was scaled to fit";
  EXPECT_EQ(button.iconSize(), QSize(122, 25));
}

TEST(ToQImage, KeepsChannelOrderAndRowOrder) {
  img::Bitmap picture(2, 2);
  // Pixel bytes are blue, green, red.
  const std::uint8_t top[] = {10, 20, 30, 40, 50, 60};
  const std::uint8_t bottom[] = {70, 80, 90, 100, 110, 120};
  std::memcpy(picture.ScanLine(0), top, 6);
  std::memcpy(picture.ScanLine(1), bottom, 6);
  const QImage image = ui::ToQImage(picture);
  ASSERT_EQ(image.size(), QSize(2, 2));
  EXPECT_EQ(image.pixelColor(0, 0), QColor(30, 20, 10));
  EXPECT_EQ(image.pixelColor(1, 0), QColor(60, 50, 40));
  EXPECT_EQ(image.pixelColor(0, 1), QColor(90, 80, 70));
  EXPECT_EQ(image.pixelColor(1, 1), QColor(120, 110, 100));
  EXPECT_TRUE(ui::ToQImage(img::Bitmap()).isNull());
}

TEST(ToQImage, PalettePicturesComeOutInTheirColours) {
  img::Bitmap picture(3, 1, img::PixelFormat::Bits8);
  picture.palette() = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
  picture.ScanLine(0)[0] = 0;
  picture.ScanLine(0)[1] = 1;
  picture.ScanLine(0)[2] = 2;
  const QImage image = ui::ToQImage(picture);
  EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(1, 0), QColor(0, 255, 0));
  EXPECT_EQ(image.pixelColor(2, 0), QColor(0, 0, 255));
}

TEST(ShowAnimated, FadesInOverHalfASecondAndEndsOpaqueAndVisible) {
  QWidget window;
  ui::ShowAnimated(&window);
  EXPECT_TRUE(window.isVisible());
  EXPECT_LT(window.windowOpacity(), 0.5);
  QTest::qWait(ui::kShowAnimatedMs / 5);
  EXPECT_LT(window.windowOpacity(), 1.0);
  QTest::qWait(ui::kShowAnimatedMs + 200);
  EXPECT_TRUE(window.isVisible());
  EXPECT_DOUBLE_EQ(window.windowOpacity(), 1.0);
}

TEST(ShowAnimated, ShowingAgainFadesInAgain) {
  QWidget window;
  ui::ShowAnimated(&window);
  QTest::qWait(ui::kShowAnimatedMs + 200);
  window.hide();
  ui::ShowAnimated(&window);
  ui::ShowAnimated(&window);  // a second call while fading restarts the fade
  EXPECT_TRUE(window.isVisible());
  EXPECT_LT(window.windowOpacity(), 0.5);
  QTest::qWait(ui::kShowAnimatedMs + 200);
  EXPECT_DOUBLE_EQ(window.windowOpacity(), 1.0);
  EXPECT_EQ(window.findChildren<QObject*>(QStringLiteral("ShowAnimatedFade")).size(), 0);
  ui::ShowAnimated(nullptr);
}

}  // namespace

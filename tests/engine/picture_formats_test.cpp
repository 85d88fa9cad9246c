#include "engine/PictureFormats.h"

#include "TestSupport.h"
#include "imaging/FileIO.h"
#include "imaging/ImageError.h"

using namespace engine;

namespace {

TEST(PictureFormats, FinalSelectionPrefersPngThenJpegThenBmpThenJpg) {
  EXPECT_STREQ(FinalFormat(testsupport::TickedFormats(true, true, true, true))->extension, ".png");
  EXPECT_STREQ(FinalFormat(testsupport::TickedFormats(true, true, true, false))->extension, ".jpeg");
  EXPECT_STREQ(FinalFormat(testsupport::TickedFormats(true, true, false, false))->extension, ".bmp");
  EXPECT_STREQ(FinalFormat(testsupport::TickedFormats(false, true, false, false))->extension, ".jpg");
  EXPECT_EQ(FinalFormat(testsupport::TickedFormats(false, false, false, false)), nullptr);
}

// One loader per extension, case ignored; the real size even when a preview
// box lets the JPEG loader decode smaller; other extensions refused.
TEST(PictureFormats, LoadPictureChoosesTheLoaderByExtension) {
  testsupport::TempDir tmp;
  const img::Bitmap picture = testsupport::GradientBitmap(640, 480);
  PictureCodecs codecs;
  img::SerialParts serial;
  codecs.WriteBmp(picture, tmp / "a.BMP", img::NullProgress(), serial);
  codecs.WriteJpeg(picture, tmp / "b.Jpeg", img::NullProgress(), serial);
  codecs.WritePng(picture, tmp / "c.png", img::NullProgress(), serial);
  codecs.WriteWebp(picture, tmp / "e.WebP", img::NullProgress(), serial);
  for (const char* name : {"a.BMP", "b.Jpeg", "c.png", "e.WebP"}) {
    img::Bitmap loaded;
    const PictureSize size = LoadPicture(img::PathToUtf8(tmp / name), loaded, {100, 100});
    EXPECT_EQ(size.width, 640) << name;
    EXPECT_EQ(size.height, 480) << name;
    EXPECT_EQ(loaded.width(), name[0] == 'b' ? 160 : 640) << name;
  }
  std::filesystem::copy_file(tmp / "c.png", tmp / "d.gif");
  img::Bitmap untouched;
  try {
    LoadPicture(img::PathToUtf8(tmp / "d.gif"), untouched);
    ADD_FAILURE() << "a .gif was loaded";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::Unsupported);
  }
}

// WebP is imgbatch's: the window's lists, folder run and previews see the
// four kinds they always did, and its options never tick WebP.
TEST(PictureFormats, TheWindowKeepsItsFourKinds) {
  EXPECT_EQ(PictureExtensionTable(), (std::vector<std::string>{".jpg", ".jpeg", ".bmp", ".png"}));
  EXPECT_EQ(PictureExtensionTable(FormatSet::All),
            (std::vector<std::string>{".jpg", ".jpeg", ".bmp", ".png", ".webp"}));
  EXPECT_FALSE(IsPictureExtension(".webp"));
  EXPECT_EQ(FindFormatByExtension(".WEBP", FormatSet::Window), nullptr);
  EXPECT_EQ(FindFormatByName("webp", FormatSet::Window), nullptr);
  ASSERT_NE(FindFormatByName("webp", FormatSet::All), nullptr);
  EXPECT_FALSE(ConversionOptions().*FindFormatByName("webp", FormatSet::All)->option);
}

}  // namespace

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

// A file is read by what it is: each kind under another kind's name loads,
// with its real size even when a preview box lets the JPEG loader decode
// smaller (a PNG named .gif too: which files are taken is for the lists,
// the walk and the plan to say). Without a signature the name decides, so
// junk called .jpg fails in the JPEG loader's words, and junk called .tga
// is no picture.
TEST(PictureFormats, LoadPictureChoosesTheLoaderBySignature) {
  testsupport::TempDir tmp;
  const img::Bitmap picture = testsupport::GradientBitmap(640, 480);
  PictureCodecs codecs;
  img::SerialParts serial;
  codecs.WriteBmp(picture, tmp / "bmp.WebP", img::NullProgress(), serial);
  codecs.WriteJpeg(picture, tmp / "jpeg.png", img::NullProgress(), serial);
  codecs.WritePng(picture, tmp / "png.gif", img::NullProgress(), serial);
  codecs.WriteWebp(picture, tmp / "webp.bmp", img::NullProgress(), serial);
  for (const char* name : {"bmp.WebP", "jpeg.png", "png.gif", "webp.bmp"}) {
    img::Bitmap loaded;
    const PictureSize size = LoadPicture(img::PathToUtf8(tmp / name), loaded, {100, 100});
    EXPECT_EQ(size.width, 640) << name;
    EXPECT_EQ(size.height, 480) << name;
    EXPECT_EQ(loaded.width(), name[0] == 'j' ? 160 : 640) << name;
  }
  for (auto [name, code] : {std::pair{"junk.jpg", img::ErrorCode::Format}, {"junk.tga", img::ErrorCode::Unsupported}}) {
    testsupport::WriteFile(tmp / name, "junk");
    img::Bitmap untouched;
    try {
      LoadPicture(img::PathToUtf8(tmp / name), untouched);
      ADD_FAILURE() << name << " was loaded";
    } catch (const img::ImageError& e) {
      EXPECT_EQ(e.code(), code) << e.what();
    }
  }
}

// WebP is imgbatch's: the window's lists, folder run and previews see the
// four kinds they always did, and its options never tick WebP.
TEST(PictureFormats, TheWindowKeepsItsFourKinds) {
  EXPECT_EQ(PictureExtensionTable(), (std::vector<std::string>{".jpg", ".jpeg", ".bmp", ".png"}));
  const std::vector<std::string> all = PictureExtensionTable(FormatSet::All);
  ASSERT_GE(all.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + 5),
            (std::vector<std::string>{".jpg", ".jpeg", ".bmp", ".png", ".webp"}));
  EXPECT_FALSE(IsPictureExtension(".webp"));
  EXPECT_EQ(FindFormatByExtension(".WEBP", FormatSet::Window), nullptr);
  EXPECT_EQ(FindFormatByName("webp", FormatSet::Window), nullptr);
  ASSERT_NE(FindFormatByName("webp", FormatSet::All), nullptr);
  EXPECT_FALSE(ConversionOptions().targets.Has(FormatNamed("webp")));
}

}  // namespace

#include "engine/formats/PictureFormats.h"

#include "TestSupport.h"
#include "engine/convert/ConversionOptions.h"
#include "imaging/ParallelParts.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

using namespace engine;

namespace {

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
  for (auto [format, name] : {std::pair{"bmp", "bmp.WebP"}, {"jpg", "jpeg.png"}, {"png", "png.gif"}, {"webp", "webp.bmp"}})
    FormatNamed(format).write(codecs, picture, tmp / name, img::NullProgress(), serial);
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

// The table names its entries, those that write apart; WebP is written
// but is not among the formats a conversion ticks by default.
TEST(PictureFormats, ListsEveryKindJpegFirst) {
  const std::vector<std::string> all = PictureExtensions();
  ASSERT_GE(all.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + 5),
            (std::vector<std::string>{".jpg", ".jpeg", ".bmp", ".png", ".webp"}));
  ASSERT_NE(FindFormatByName("webp"), nullptr);
  EXPECT_EQ(FindFormatByName("gif"), nullptr);  // only read
  EXPECT_EQ(FindFormatByExtension(".WEBP"), &FormatNamed("webp"));
  EXPECT_FALSE(ConversionOptions().targets.Has(FormatNamed("webp")));
}

}  // namespace

#include "engine/formats/gif/GifImage.h"

#include "GifBytes.h"
#include "TestSupport.h"
#include "engine/formats/PictureFormats.h"
#include "platform/ImageError.h"

using namespace engine;

namespace {

// A 2 x 3 grid of colour indices, opaque or with a clear colour, as one
// screen-sized picture or as a smaller one on a larger screen.
testsupport::GifPicture Sample(bool interlaced, int transparent = -1, int left = 0, int top = 0) {
  testsupport::GifPicture p;
  p.width = 3;
  p.height = 10;  // enough rows for every interlace pass
  p.left = left;
  p.top = top;
  p.screenWidth = left + p.width;
  p.screenHeight = top + p.height;
  p.colours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) p.indices.push_back(static_cast<std::uint8_t>((x + y) % 4));
  p.transparent = transparent;
  p.interlaced = interlaced;
  return p;
}

// Pixel (x, y) of the picture as b, g, r[, a].
std::vector<int> At(const img::Bitmap& picture, int x, int y) {
  const int bytes = picture.format() == img::PixelFormat::Bits32Alpha ? 4 : 3;
  const std::uint8_t* p = picture.ScanLine(y) + x * bytes;
  return std::vector<int>(p, p + bytes);
}

// Stored in order or interlaced, every pixel is its colour; a clear index
// and a picture smaller than its screen give alpha, clear where nothing is.
TEST(GifDecode, EveryPixelIsItsColourAndClearWhereTheFileSaysSo) {
  for (bool interlaced : {false, true}) {
    img::Bitmap picture;
    DecodeGif(testsupport::GifBytes(Sample(interlaced)), picture);
    ASSERT_EQ(picture.format(), img::PixelFormat::Bits24);
    ASSERT_EQ(picture.width(), 3);
    ASSERT_EQ(picture.height(), 10);
    for (int y = 0; y < 10; ++y) {
      const GifColorType c = Sample(false).colours[static_cast<std::size_t>((2 + y) % 4)];
      EXPECT_EQ(At(picture, 2, y), (std::vector<int>{c.Blue, c.Green, c.Red})) << interlaced << " row " << y;
    }
  }
  img::Bitmap clear;
  DecodeGif(testsupport::GifBytes(Sample(false, 3, 2, 1)), clear);
  ASSERT_EQ(clear.format(), img::PixelFormat::Bits32Alpha);
  ASSERT_EQ(clear.width(), 5);
  EXPECT_EQ(At(clear, 0, 0), (std::vector<int>{0, 0, 0, 0}));         // off the picture
  EXPECT_EQ(At(clear, 2, 1), (std::vector<int>{0, 0, 255, 255}));     // index 0: red
  EXPECT_EQ(At(clear, 3, 3), (std::vector<int>{30, 20, 10, 0}));      // index 3: the clear one
}

// Cut anywhere, a GIF fails with an ImageError and leaves the picture as
// it was; a screen over the pixel limit is refused before any allocation.
TEST(GifDecode, CutAndOversizedFilesFailCleanly) {
  const std::vector<std::uint8_t> whole = testsupport::GifBytes(Sample(true, 1));
  for (std::size_t size = 0; size + 1 < whole.size(); ++size) {
    img::Bitmap untouched = testsupport::GradientBitmap(2, 2);
    const std::vector<std::uint8_t> cut = testsupport::Cut(whole, size);
    try {
      DecodeGif(cut, untouched);
      // The trailer and the end of the data may go without loss.
      EXPECT_GE(size + 3, whole.size()) << size;
    } catch (const img::ImageError&) {
      EXPECT_EQ(untouched.width(), 2) << size;
    }
  }
  testsupport::GifPicture huge = Sample(false);
  huge.screenWidth = huge.screenHeight = 65535;
  img::Bitmap untouched;
  try {
    DecodeGif(testsupport::GifBytes(huge), untouched);
    ADD_FAILURE() << "decoded";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::TooLarge) << e.what();
  }
}

}  // namespace

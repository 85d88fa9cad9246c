#include "engine/formats/gif/GifImage.h"

#include "GifBytes.h"
#include "ParamNames.h"
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

// Three frames on an 8 x 8 screen: red all over; a green 4 x 4 square at
// the top left, clear at its own corner and disposed of as asked; a blue
// square at the bottom right.
std::vector<std::uint8_t> ThreeFrames(int disposal) {
  testsupport::GifPicture red;
  red.screenWidth = red.screenHeight = red.width = red.height = 8;
  red.colours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};
  red.indices.assign(64, 0);
  testsupport::GifPicture green = red;
  green.width = green.height = 4;
  green.indices.assign(16, 1);
  green.indices[0] = 3;
  green.transparent = 3;
  green.disposal = disposal;
  testsupport::GifPicture blue = green;
  blue.left = blue.top = 4;
  blue.indices.assign(16, 2);
  blue.transparent = -1;
  blue.disposal = 0;
  return testsupport::GifBytes({red, green, blue});
}

struct FrameCase {
  const char* name;
  int page;      // 0 the first
  int disposal;  // the green frame's
  // What (0, 0), (1, 1), (6, 1) and (6, 6) show: r, g, b, or . for clear.
  const char* seen;
  friend void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }
};

class GifFrames : public ::testing::TestWithParam<FrameCase> {};

// A later frame is the screen a viewer shows then: drawn over the frames
// before as each was disposed of; the count covers every frame.
TEST_P(GifFrames, ShowTheScreenAsAViewerDoes) {
  const FrameCase& c = GetParam();
  img::Bitmap picture;
  EXPECT_EQ(DecodeGif(ThreeFrames(c.disposal), picture, c.page), 3);
  std::string seen;
  for (auto [x, y] : {std::pair{0, 0}, {1, 1}, {6, 1}, {6, 6}}) {
    const img::PaletteEntry p = picture.PixelColor(x, y);
    const bool clear = picture.format() == img::PixelFormat::Bits32Alpha && p.reserved == 0;
    const int colour = p.red << 16 | p.green << 8 | p.blue;
    seen += clear ? '.' : colour == 0xff0000 ? 'r' : colour == 0x00ff00 ? 'g' : colour == 0x0000ff ? 'b' : '?';
  }
  EXPECT_EQ(seen, c.seen);
  EXPECT_EQ(picture.format(), std::string(c.seen).find('.') == std::string::npos ? img::PixelFormat::Bits24
                                                                                   : img::PixelFormat::Bits32Alpha);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, GifFrames,
    ::testing::Values(FrameCase{"First", 0, DISPOSE_BACKGROUND, "rrrr"},
                      FrameCase{"SecondOverTheFirst", 1, DISPOSE_BACKGROUND, "rgrr"},
                      FrameCase{"ThirdOverAKeptSecond", 2, DISPOSE_DO_NOT, "rgrb"},
                      FrameCase{"ThirdOverASecondCleared", 2, DISPOSE_BACKGROUND, "..rb"},
                      FrameCase{"ThirdOverTheFirstRestored", 2, DISPOSE_PREVIOUS, "rrrb"}),
    testsupport::ByName());

}  // namespace

#include "engine/formats/tiff/TiffImage.h"

#include <cstring>

#include "TestSupport.h"
#include "TiffBytes.h"
#include "engine/metadata/ExifOrientation.h"
#include "platform/ImageError.h"

using namespace engine;
using testsupport::TiffPicture;

namespace {

TiffPicture Blank(int width, int height, int samples, int bits, int photometric) {
  TiffPicture p;
  p.width = width;
  p.height = height;
  p.samples = samples;
  p.bits = bits;
  p.photometric = photometric;
  p.data.assign(static_cast<std::size_t>(width * height * samples * bits / 8), 0);
  return p;
}

// Sets the samples of pixel (x, y), in planes where the picture has them.
TiffPicture With(TiffPicture p, int x, int y, std::vector<int> values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::size_t at = p.planes ? (i * p.height + y) * p.width + x : (y * p.width + x) * p.samples + i;
    if (p.bits == 16) {
      const auto v = static_cast<std::uint16_t>(values[i]);
      std::memcpy(&p.data[2 * at], &v, 2);
    } else {
      p.data[at] = static_cast<std::uint8_t>(values[i]);
    }
  }
  return p;
}

TiffPicture Planes(TiffPicture p) {
  p.planes = true;
  return p;
}

TiffPicture WithAlpha(TiffPicture p, int kind, bool tiled = false) {
  p.alpha = kind;
  p.tiled = tiled;
  return p;
}

// A 4-bit palette whose index 5 is red 0x40, green 0x80, blue 0xC0.
TiffPicture Palette4() {
  TiffPicture p = Blank(2, 2, 1, 4, PHOTOMETRIC_PALETTE);
  p.data = {0x05, 0x00};  // two rows of one byte: (0, 0) index 0, (1, 0) index 5
  p.colormap.assign(48, 0);
  p.colormap[5] = 0x4000;
  p.colormap[16 + 5] = 0x8000;
  p.colormap[32 + 5] = 0xC000;
  return p;
}

struct Case {
  const char* name;
  TiffPicture picture;
  int x, y;
  img::PixelFormat format;
  img::PaletteEntry colour;  // b, g, r, alpha
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class TiffSources : public ::testing::TestWithParam<Case> {};

// Each kind of source reads as its colours: 16-bit samples rounded (0x12FF
// is 19, where dropping the low byte gives 18), min-is-white inverted, the
// palette's 16-bit entries, CMYK as plain inks, premultiplied alpha
// unpremultiplied, plain alpha kept exactly also through the tile reader.
TEST_P(TiffSources, ReadAsTheirColours) {
  const Case& c = GetParam();
  img::Bitmap picture;
  DecodeTiff(testsupport::TiffBytes(c.picture), picture);
  ASSERT_EQ(picture.format(), c.format);
  ASSERT_EQ(picture.width(), c.picture.width);
  EXPECT_EQ(picture.IsGrey(), c.format == img::PixelFormat::Bits8);
  EXPECT_EQ(picture.PixelColor(c.x, c.y), c.colour);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TiffSources,
    ::testing::Values(
        Case{"rgb16", With(Blank(2, 2, 3, 16, PHOTOMETRIC_RGB), 1, 0, {0x12FF, 0x8000, 0xFFFF}), 1, 0,
             img::PixelFormat::Bits24, {255, 128, 19, 0}},
        Case{"grey16_min_is_white", With(Blank(2, 2, 1, 16, PHOTOMETRIC_MINISWHITE), 1, 1, {0x12FF}), 1, 1,
             img::PixelFormat::Bits8, {236, 236, 236, 0}},
        Case{"palette4", Palette4(), 1, 0, img::PixelFormat::Bits24, {0xC0, 0x80, 0x40, 0}},
        Case{"cmyk", With(Blank(2, 2, 4, 8, PHOTOMETRIC_SEPARATED), 1, 0, {0, 255, 0, 128}), 1, 0,
             img::PixelFormat::Bits24, {127, 0, 127, 0}},
        Case{"rgb_planes", With(Planes(Blank(2, 2, 3, 8, PHOTOMETRIC_RGB)), 0, 1, {10, 20, 30}), 0, 1,
             img::PixelFormat::Bits24, {30, 20, 10, 0}},
        Case{"grey_alpha", With(WithAlpha(Blank(2, 2, 2, 8, PHOTOMETRIC_MINISBLACK), EXTRASAMPLE_UNASSALPHA), 1, 0,
                                {77, 9}),
             1, 0, img::PixelFormat::Bits32Alpha, {77, 77, 77, 9}},
        Case{"rgba_premultiplied",
             With(WithAlpha(Blank(2, 2, 4, 8, PHOTOMETRIC_RGB), EXTRASAMPLE_ASSOCALPHA), 1, 0, {50, 100, 0, 128}), 1, 0,
             img::PixelFormat::Bits32Alpha, {0, 199, 100, 128}},
        Case{"rgba_tiles",
             With(WithAlpha(Blank(20, 18, 4, 8, PHOTOMETRIC_RGB), EXTRASAMPLE_UNASSALPHA, true), 17, 16,
                  {200, 100, 50, 128}),
             17, 16, img::PixelFormat::Bits32Alpha, {50, 100, 200, 128}}),
    [](const auto& info) { return std::string(info.param.name); });

// Cut anywhere, a file fails with an ImageError and leaves the picture as
// it was; a size over the pixel limit is refused before any allocation.
TEST(TiffDecode, CutAndOversizedFilesFailCleanly) {
  const std::vector<std::uint8_t> whole = EncodeTiff(testsupport::AlphaGradientBitmap(40, 30));
  for (std::size_t size = 0; size < whole.size(); ++size) {
    img::Bitmap untouched = testsupport::GradientBitmap(2, 2);
    try {
      DecodeTiff(testsupport::Cut(whole, size), untouched);
      EXPECT_GE(size + 4, whole.size()) << size;  // only the last directory's link may go
    } catch (const img::ImageError& e) {
      EXPECT_EQ(untouched.width(), 2) << size;
      EXPECT_EQ(e.code(), size < 8 ? e.code() : img::ErrorCode::Truncated) << size << e.what();
    }
  }
  // The directory of a small file made to say 65535 x 65535, its strips as they were.
  std::vector<std::uint8_t> huge = testsupport::TiffBytes(Blank(2, 2, 3, 8, PHOTOMETRIC_RGB));
  ASSERT_EQ(huge[0], 'I');
  const std::size_t ifd = huge[4] | huge[5] << 8 | huge[6] << 16 | static_cast<std::size_t>(huge[7]) << 24;
  for (std::size_t entry = ifd + 2; entry < ifd + 2 + 12 * huge[ifd]; entry += 12)
    if (huge[entry + 1] == 1 && huge[entry] <= 1) huge[entry + 8] = huge[entry + 9] = 0xFF;  // tags 256 and 257
  img::Bitmap untouched;
  try {
    DecodeTiff(huge, untouched);
    ADD_FAILURE() << "decoded";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::TooLarge) << e.what();
  }
}

// The Orientation tag reads as EXIF orientation, so the picture turns by
// the rule of every format; the profile comes along and goes back out.
TEST(TiffDecode, OrientationAndProfileTravel) {
  TiffPicture p = Blank(3, 2, 3, 8, PHOTOMETRIC_RGB);
  p.orientation = ORIENTATION_RIGHTTOP;
  p.icc = testsupport::IccProfile(300);
  img::Bitmap picture;
  PictureMetadata metadata;
  DecodeTiff(testsupport::TiffBytes(p), picture, &metadata);
  EXPECT_EQ(ReadExifOrientation(metadata.exif), 6);
  EXPECT_EQ(metadata.icc, p.icc);
  PictureMetadata again;
  DecodeTiff(EncodeTiff(picture, &metadata), picture, &again);
  EXPECT_EQ(ReadExifOrientation(again.exif), 6);
  EXPECT_EQ(again.icc, p.icc);
}

}  // namespace

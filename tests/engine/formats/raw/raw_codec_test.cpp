// Camera raw files through LibRaw, on DNG files the tests make: developed
// to the size, colours and turn the file says, or read from the embedded
// preview where it is large enough; hostile files refused before they
// decode anything large.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "DngBytes.h"
#include "TestSupport.h"
#include "TiffBytes.h"
#include "engine/convert/UprightPicture.h"
#include "engine/formats/PictureFormats.h"
#include "engine/formats/PictureHeader.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/raw/RawImage.h"
#include "engine/metadata/ExifOrientation.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"
#include "platform/PathNames.h"

namespace {

using testsupport::DngBytes;
using testsupport::DngPicture;
using testsupport::LinearColour;

// 8-bit sRGB of a linear value.
int Srgb(double v) {
  const double s = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
  return static_cast<int>(std::lround(s * 255));
}

// Demosaicing and LibRaw's curve take a unit or two off the exact value.
void ExpectColour(const img::PaletteEntry& got, const LinearColour& linear) {
  EXPECT_NEAR(got.red, Srgb(linear[0]), 3);
  EXPECT_NEAR(got.green, Srgb(linear[1]), 3);
  EXPECT_NEAR(got.blue, Srgb(linear[2]), 3);
}

constexpr LinearColour kGrey{0.2, 0.2, 0.2};
constexpr LinearColour kWarm{0.5, 0.25, 0.1};

// A grey field with a warm patch at x 40 to 59, y 30 to 43, under white rows.
DngPicture Patched(int orientation = 1) {
  DngPicture p;
  p.orientation = orientation;
  p.colour = testsupport::OnWhiteRows(p.height, [](int x, int y) {
    return x >= 40 && x < 60 && y >= 30 && y < 44 ? kWarm : kGrey;
  });
  return p;
}

std::filesystem::path Written(const testsupport::TempDir& dir, const std::string& name,
                              const std::vector<std::uint8_t>& bytes) {
  const std::filesystem::path path = dir.path() / name;
  img::WriteFileAtomically(path, bytes);
  return path;
}

struct Colour {
  const char* name;
  LinearColour linear;
  int bits = 16;
  friend void PrintTo(const Colour& c, std::ostream* os) { *os << c.name; }
};

class RawColours : public ::testing::TestWithParam<Colour> {};

// A flat field develops to its own sRGB colour: the camera's white balance
// and colour matrix, LibRaw's sRGB curve, 8 bits.
TEST_P(RawColours, DevelopToTheirSrgbValues) {
  DngPicture p;
  p.bits = GetParam().bits;
  p.colour = testsupport::OnWhiteRows(p.height, [](int, int) { return GetParam().linear; });
  img::Bitmap picture;
  engine::DecodeRaw(DngBytes(p), picture);
  ASSERT_EQ(picture.format(), img::PixelFormat::Bits24);
  ExpectColour(picture.PixelColor(32, 30), GetParam().linear);
  ExpectColour(picture.PixelColor(10, 1), {1, 1, 1});
}

INSTANTIATE_TEST_SUITE_P(Fields, RawColours,
                         ::testing::Values(Colour{"grey", kGrey}, Colour{"warm", kWarm},
                                           Colour{"cool", {0.05, 0.3, 0.6}}, Colour{"warm_packed", kWarm, 12}, Colour{"dark", {0.01, 0.02, 0.01}}),
                         testsupport::ByName());

struct Turn {
  const char* name;
  int orientation;
  int width, height;  // upright
  int patchX, patchY;  // the patch's centre, upright
  friend void PrintTo(const Turn& c, std::ostream* os) { *os << c.name; }
};

class RawTurns : public ::testing::TestWithParam<Turn> {};

// The camera's orientation goes with the picture: the header tells it and
// the upright size, and the picture comes out upright with its EXIF
// orientation then 1.
TEST_P(RawTurns, ComeOutUpright) {
  const Turn& t = GetParam();
  testsupport::TempDir dir;
  const std::string path = img::PathToUtf8(Written(dir, "shot.dng", DngBytes(Patched(t.orientation))));
  const auto facts = engine::ReadPictureHeader(path, engine::HeaderDepth::Orientation);
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->width, 64);
  EXPECT_EQ(facts->height, 48);
  EXPECT_EQ(facts->orientation, t.orientation);
  EXPECT_EQ(facts->oriented, t.orientation != 1);

  img::Bitmap picture;
  const engine::PictureSize size = engine::LoadUprightPicture(path, picture);
  EXPECT_EQ(size.width, t.width);
  EXPECT_EQ(size.height, t.height);
  ASSERT_EQ(picture.width(), t.width);
  ASSERT_EQ(picture.height(), t.height);
  ExpectColour(picture.PixelColor(t.patchX, t.patchY), kWarm);
}

INSTANTIATE_TEST_SUITE_P(Orientations, RawTurns,
                         ::testing::Values(Turn{"upright", 1, 64, 48, 50, 37}, Turn{"half_turn", 3, 64, 48, 13, 10},
                                           Turn{"quarter_clockwise", 6, 48, 64, 10, 50},
                                           Turn{"quarter_anticlockwise", 8, 48, 64, 37, 13}),
                         testsupport::ByName());

// What LibRaw read of the camera travels as EXIF data: camera, lens, date
// taken, and the orientation the stored pixels are turned by.
TEST(RawMetadata, CameraLensAndDateTakenBecomeExif) {
  img::Bitmap picture;
  engine::PictureMetadata metadata;
  engine::DecodeRaw(DngBytes(Patched(6)), picture, &metadata);
  const std::string exif(metadata.exif.begin(), metadata.exif.end());
  for (const char* field : {"Testmaker", "Raw One", "Testmaker 35mm F2", "2024:05:06 07:08:09"})
    EXPECT_NE(exif.find(std::string(field) + '\0'), std::string::npos) << field;
  EXPECT_EQ(engine::ReadExifOrientation(metadata.exif), 6);
  EXPECT_TRUE(metadata.icc.empty());  // sRGB
}

struct PreviewCase {
  const char* name;
  int previewWidth, previewHeight;
  bool cut;  // the preview's JPEG broken off
  engine::PictureSize wanted;
  bool taken;
  friend void PrintTo(const PreviewCase& c, std::ostream* os) { *os << c.name; }
};

class RawPreviews : public ::testing::TestWithParam<PreviewCase> {};

// A blue JPEG preview is taken where it reaches the size wanted and
// decodes; otherwise the grey sensor data are developed.
TEST_P(RawPreviews, AreTakenWhereLargeEnough) {
  const PreviewCase& c = GetParam();
  img::Bitmap blue(c.previewWidth, c.previewHeight);
  for (int y = 0; y < blue.height(); ++y)
    for (int x = 0; x < blue.width(); ++x) blue.ScanLine(y)[3 * x + 1] = blue.ScanLine(y)[3 * x + 2] = 0;
  DngPicture p = Patched();
  p.previewJpeg = engine::JpegImage().Encode(blue);
  if (c.cut) p.previewJpeg.resize(p.previewJpeg.size() / 2);
  p.previewWidth = c.previewWidth;
  p.previewHeight = c.previewHeight;
  engine::PictureSize seen{};
  const engine::PictureCodecs::PreviewWanted wanted = [&](engine::PictureSize stored, int) {
    seen = stored;
    return c.wanted;
  };
  img::Bitmap picture;
  const engine::PictureSize size = engine::DecodeRaw(DngBytes(p), picture, nullptr, &wanted);
  EXPECT_EQ(size.width, 64);  // the file's own picture
  if (c.taken) {
    EXPECT_EQ(seen.width, 64);
    EXPECT_EQ(seen.height, 48);
    EXPECT_EQ(picture.width(), c.previewWidth);
    EXPECT_GT(picture.PixelColor(1, 1).blue, 240);
  } else {
    EXPECT_EQ(picture.width(), 64);
    ExpectColour(picture.PixelColor(20, 20), kGrey);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, RawPreviews,
    ::testing::Values(PreviewCase{"as_large", 64, 48, false, {64, 48}, true},
                      PreviewCase{"larger_than_a_shrink", 32, 24, false, {30, 24}, true},
                      PreviewCase{"a_pixel_short", 64, 48, false, {64, 49}, false},
                      PreviewCase{"too_small", 32, 24, false, {64, 48}, false},
                      PreviewCase{"broken", 64, 48, true, {16, 12}, false}),
    testsupport::ByName());

struct Hostile {
  const char* name;
  std::vector<std::uint8_t> bytes;
  img::ErrorCode code;
  friend void PrintTo(const Hostile& c, std::ostream* os) { *os << c.name; }
};

std::vector<std::uint8_t> PlainTiff() {
  testsupport::TiffPicture tiff;
  tiff.width = tiff.height = 4;
  tiff.data.assign(48, 7);
  return testsupport::TiffBytes(tiff);
}

std::vector<std::uint8_t> Declaring(std::uint32_t width, std::uint32_t height, int bits = 16) {
  DngPicture p = Patched();
  p.bits = bits;
  return testsupport::WithDeclared(testsupport::WithDeclared(DngBytes(p), 256, width), 257, height);
}

class RawHostile : public ::testing::TestWithParam<Hostile> {};

// Refused with their reason before anything large is allocated, the
// picture given left as it was.
TEST_P(RawHostile, AreRefused) {
  img::Bitmap picture(3, 2);
  try {
    engine::DecodeRaw(GetParam().bytes, picture);
    FAIL() << "decoded";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), GetParam().code) << e.what();
  }
  EXPECT_EQ(picture.width(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RawHostile,
    ::testing::Values(Hostile{"rows_past_its_end", Declaring(64, 96), img::ErrorCode::Truncated},
                      Hostile{"packed_rows_past_its_end", Declaring(64, 96, 12), img::ErrorCode::Truncated},
                      Hostile{"declaring_more_than_it_holds", Declaring(4000, 3000), img::ErrorCode::Truncated},
                      // libtiff writes the directory after the data.
                      Hostile{"cut_before_its_directory", testsupport::Cut(DngBytes(Patched()), 3000),
                              img::ErrorCode::Unsupported},
                      Hostile{"declaring_past_the_pixel_limit", Declaring(60000, 60000), img::ErrorCode::TooLarge},
                      // LibRaw 0.20 crashes on it: refused before it reads the file.
                      Hostile{"x_trans_pattern_in_a_2x2_repeat", testsupport::WithCount(DngBytes(Patched()), 0x828E, 36),
                              img::ErrorCode::Format},
                      Hostile{"a_plain_tiff", PlainTiff(),
                              img::ErrorCode::Unsupported},
                      Hostile{"no_raw_at_all", std::vector<std::uint8_t>(100, 'x'), img::ErrorCode::Unsupported},
                      Hostile{"empty", {}, img::ErrorCode::Truncated}),
    testsupport::ByName());

struct Choice {
  const char* name;
  std::vector<std::uint8_t> head;
  const char* file;
  const char* reader;  // the entry ChooseLoader picks
  friend void PrintTo(const Choice& c, std::ostream* os) { *os << c.name; }
};

std::vector<std::uint8_t> Head(const char* bytes, std::size_t n) { return {bytes, bytes + n}; }

class RawSignatures : public ::testing::TestWithParam<Choice> {};

// Raw files with signatures of their own are read as raw whatever their
// name; the TIFF-shaped ones by their extension, so a TIFF stays a TIFF.
TEST_P(RawSignatures, ChooseTheReader) {
  const engine::PictureFormat* reader = engine::ChooseLoader(GetParam().head, GetParam().file);
  ASSERT_NE(reader, nullptr);
  EXPECT_STREQ(reader->name, GetParam().reader);
}

INSTANTIATE_TEST_SUITE_P(
    Heads, RawSignatures,
    ::testing::Values(Choice{"dng_named_dng", Head("II*\0\x08\0\0\0", 8), "a.dng", "dng"},
                      Choice{"dng_named_tif", Head("II*\0\x08\0\0\0", 8), "a.tif", "tif"},
                      Choice{"tiff_named_nef", Head("MM\0*\0\0\0\x08", 8), "a.NEF", "nef"},
                      Choice{"tiff_named_jpg", Head("MM\0*\0\0\0\x08", 8), "a.jpg", "tif"},
                      Choice{"cr3_named_jpg", Head("\0\0\0\x18" "ftypcrx \0\0\0\x01", 16), "a.jpg", "cr3"},
                      Choice{"raf_named_png", Head("FUJIFILMCCD-RAW ", 16), "a.png", "raf"},
                      Choice{"orf_named_dng", Head("IIRO\x08\0\0\0", 8), "a.dng", "orf"},
                      Choice{"rw2_named_raw", Head("IIU\0\x08\0\0\0", 8), "a.raw", "rw2"}),
    testsupport::ByName());

}  // namespace

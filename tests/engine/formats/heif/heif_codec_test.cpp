#include "engine/formats/heif/HeifImage.h"

#include <cstring>
#include <functional>
#include <optional>

#include "ColourProfiles.h"
#include "HeifBytes.h"
#include "ParamNames.h"
#include "PngBytes.h"
#include "TestSupport.h"
#include "engine/colour/PictureToSrgb.h"
#include "engine/metadata/ExifOrientation.h"
#include "engine/formats/PictureFormats.h"
#include "engine/formats/PictureHeader.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

using namespace engine;

namespace {

// Four flat quarters of different colours, so that a turn shows and lossy
// coding keeps every colour close.
img::Bitmap Quarters(int width, int height, bool alpha = false) {
  const img::PaletteEntry colours[] = {testsupport::Bgr(200, 30, 30), testsupport::Bgr(30, 200, 30),
                                       testsupport::Bgr(30, 30, 200), testsupport::Bgr(220, 220, 40)};
  img::Bitmap picture(width, height, alpha ? img::PixelFormat::Bits32Alpha : img::PixelFormat::Bits24);
  const int bytes = alpha ? 4 : 3;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int q = (x >= width / 2) + 2 * (y >= height / 2);
      std::uint8_t* p = picture.ScanLine(y) + bytes * x;
      p[0] = colours[q].blue, p[1] = colours[q].green, p[2] = colours[q].red;
      if (alpha) p[3] = static_cast<std::uint8_t>(q == 3 ? 0 : 80 * q + 20);
    }
  return picture;
}

int MaxAlphaDifference(const img::Bitmap& a, const img::Bitmap& b) {
  int max = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) max = std::max(max, std::abs(a.ScanLine(y)[4 * x + 3] - b.ScanLine(y)[4 * x + 3]));
  return max;
}

// A phone's HEIC: the file turns its pixels a quarter, and its EXIF says the
// same. The picture comes out turned once, its EXIF then says upright, and
// the header tells the turned size before decoding (targets named by size).
TEST(HeifDecode, APhonesTurnedHeicStandsUprightOnce) {
  const img::Bitmap stored = Quarters(64, 32);
  testsupport::HeifPicture how;
  how.orientation = heif_orientation_rotate_90_cw;
  how.exif = testsupport::ExifWithOrientation(6);
  how.icc = testsupport::IccProfile(400);
  const std::vector<std::uint8_t> file = testsupport::HeifBytes(stored, how);
  ASSERT_TRUE(IsHeif(file));

  img::Bitmap picture;
  PictureMetadata metadata;
  DecodeHeif(file, picture, &metadata);
  img::Bitmap upright = stored;
  img::SerialParts parts;
  ApplyExifOrientation(upright, 6, parts);
  EXPECT_EQ(picture.format(), img::PixelFormat::Bits24);
  EXPECT_LE(testsupport::MaxChannelDifference(picture, upright), 12);
  EXPECT_EQ(ReadExifOrientation(metadata.exif), 1);
  EXPECT_EQ(metadata.icc, how.icc);

  testsupport::TempDir tmp;
  img::WriteFileAtomically(tmp.path() / "phone.heic", file);
  const std::optional<HeaderFacts> header = ReadPictureHeader(img::PathToUtf8(tmp.path() / "phone.heic"), HeaderDepth::Orientation);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->width, 32);
  EXPECT_EQ(header->height, 64);
  EXPECT_EQ(header->orientation, 0);
}

// A file of several top-level pictures gives its primary and their count;
// no other is read, and none past the last.
TEST(HeifDecode, AFileOfSeveralPicturesGivesItsPrimaryAndCount) {
  testsupport::HeifPicture how;
  how.pictures = 3;
  const std::vector<std::uint8_t> file = testsupport::HeifBytes(Quarters(16, 16), how);
  img::Bitmap picture;
  EXPECT_EQ(DecodeHeif(file, picture), 3);
  EXPECT_EQ(picture.width(), 16);
  for (auto [page, code] : {std::pair{1, img::ErrorCode::Unsupported}, {3, img::ErrorCode::InvalidArgument}}) {
    img::Bitmap untouched;
    try {
      DecodeHeif(file, untouched, nullptr, page);
      ADD_FAILURE() << page;
    } catch (const img::ImageError& e) {
      EXPECT_EQ(e.code(), code) << e.what();
    }
    EXPECT_TRUE(untouched.empty());
  }
}

// AVIF written and read back: alpha, profile, EXIF and XMP travel; a turn
// the EXIF asks of pixels kept as stored becomes the file's own.
// Premultiplied colour is divided back out.
TEST(HeifEncode, AvifKeepsAlphaMetadataAndTheTurnAskedFor) {
  const img::Bitmap clear = Quarters(48, 32, true);
  PictureMetadata carried;
  carried.icc = testsupport::IccProfile(400);
  carried.exif = testsupport::ExifWithOrientation(1);
  carried.xmp = {'<', 'x', '/', '>'};
  const std::vector<std::uint8_t> file = EncodeAvif(clear, 90, &carried);
  ASSERT_TRUE(IsAvif(file));
  img::Bitmap picture;
  PictureMetadata metadata;
  DecodeHeif(file, picture, &metadata);
  ASSERT_EQ(picture.format(), img::PixelFormat::Bits32Alpha);
  EXPECT_LE(MaxAlphaDifference(picture, clear), 4);
  EXPECT_EQ(metadata.icc, carried.icc);
  EXPECT_EQ(metadata.exif, carried.exif);
  EXPECT_EQ(metadata.xmp, carried.xmp);

  // A file whose colour is stored times its alpha comes out as plain colour.
  img::Bitmap half(8, 8, img::PixelFormat::Bits32Alpha);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) std::memcpy(half.ScanLine(y) + 4 * x, "\x14\x32\x64\x80", 4);
  testsupport::HeifPicture premultiplied;
  premultiplied.codec = heif_compression_AV1;
  premultiplied.lossless = premultiplied.premultiplied = true;
  DecodeHeif(testsupport::HeifBytes(half, premultiplied), picture);
  EXPECT_NEAR(picture.ScanLine(7)[2], 200, 3);
  EXPECT_NEAR(picture.ScanLine(7)[0], 40, 3);

  carried.exif = testsupport::ExifWithOrientation(6);
  DecodeHeif(EncodeAvif(Quarters(48, 32), 90, &carried), picture);
  EXPECT_EQ(picture.width(), 32);
  EXPECT_EQ(picture.height(), 48);
}

// Cut short, not a HEIF at all, larger than the pixel limit, or coded
// larger than it says: an ImageError, the picture left as it was.
TEST(HeifDecode, CutForeignAndOversizedFilesFailCleanly) {
  const std::vector<std::uint8_t> whole = EncodeAvif(Quarters(40, 24), 80);
  for (std::size_t size : {std::size_t{0}, std::size_t{11}, whole.size() / 3, whole.size() - 9}) {
    img::Bitmap untouched = testsupport::GradientBitmap(2, 2);
    EXPECT_THROW(DecodeHeif(testsupport::Cut(whole, size), untouched), img::ImageError) << size;
    EXPECT_EQ(untouched.width(), 2) << size;
  }
  const std::vector<std::uint8_t> png = testsupport::WriteWithLibpng(testsupport::GradientBitmap(4, 4));
  img::Bitmap picture;
  EXPECT_THROW(DecodeHeif(png, picture), img::ImageError);

  const long long limit = img::PixelLimit();
  img::SetPixelLimit(40 * 24 - 1);
  try {
    DecodeHeif(whole, picture);
    ADD_FAILURE() << "decoded";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::TooLarge) << e.what();
  }
  img::SetPixelLimit(limit);
  EXPECT_TRUE(picture.empty());

  // Kilobytes whose coded frames are far larger than the pictures they
  // declare (16 x 16, 65535 x 19): refused before libheif allocates them.
  for (const char* name : {"oom-16x16-coded-6416x62260.heic", "oom-65535x19-coded-19561x27759.heic"}) {
    try {
      DecodeHeif(img::ReadWholeFile(std::string(IMGCONVERT_HEIF_CORPUS "/") + name), picture);
      ADD_FAILURE() << name << " decoded";
    } catch (const img::ImageError& e) {
      EXPECT_EQ(e.code(), img::ErrorCode::TooLarge) << name << ": " << e.what();
    }
  }
}

}  // namespace

namespace {

// Frames coded otherwise than their items declare, as fuzzing finds them: a
// frame coded larger is refused before it is decoded (its decoder would
// take the coded size) and the header tells no size for it; a picture that
// decodes to another size than its header told is refused once decoded, so
// no target is named by a size it has not. Honest grids, as phones write
// them, decode at the size their header tells.
struct FramesCase {
  const char* name;
  std::function<std::vector<std::uint8_t>()> file;
  std::optional<img::ErrorCode> refused;  // nullopt: it decodes
  int width, height;                      // what the header tells; 0: nothing
  friend void PrintTo(const FramesCase& c, std::ostream* os) { *os << c.name; }
};

class HeifFramesAsCoded : public testing::TestWithParam<FramesCase> {};

TEST_P(HeifFramesAsCoded, AreDecodedOnlyAtTheSizeTheyDeclare) {
  const FramesCase& c = GetParam();
  const std::vector<std::uint8_t> file = c.file();
  testsupport::TempDir tmp;
  img::WriteFileAtomically(tmp.path() / "picture.heic", file);
  const std::optional<HeaderFacts> header = ReadPictureHeader(img::PathToUtf8(tmp.path() / "picture.heic"), HeaderDepth::Orientation);
  using Size = std::pair<long long, long long>;
  EXPECT_EQ(header ? Size(header->width, header->height) : Size(0, 0), Size(c.width, c.height));
  img::Bitmap picture;
  try {
    DecodeHeif(file, picture);
    EXPECT_FALSE(c.refused) << "decoded";
    EXPECT_EQ(std::pair(picture.width(), picture.height()), std::pair(c.width, c.height));
  } catch (const img::ImageError& e) {
    EXPECT_EQ(std::optional(e.code()), c.refused) << e.what();
    EXPECT_TRUE(picture.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, HeifFramesAsCoded,
    testing::Values(
        FramesCase{"HonestGrid", [] { return testsupport::HeifGridBytes(testsupport::HeifBytes(Quarters(64, 64)), 2, 3); },
                   std::nullopt, 192, 128},
        FramesCase{"GridOfTilesCodedLargerThanTheyDeclare",
                   [] { return testsupport::HeifGridBytes(testsupport::HeifBytes(Quarters(128, 128)), 2, 2, 16, 16); },
                   img::ErrorCode::TooLarge, 0, 0},
        FramesCase{"FrameCodedWiderThanItDeclares",
                   [] { return testsupport::WithDeclaredSize(testsupport::HeifBytes(Quarters(256, 128)), 16, 128); },
                   img::ErrorCode::TooLarge, 0, 0},
        FramesCase{"AvifDeclaringMoreThanItDecodesTo",
                   [] { return testsupport::WithDeclaredSize(EncodeAvif(Quarters(64, 48), 80), 100, 80); },
                   img::ErrorCode::Format, 100, 80}),
    [](const testing::TestParamInfo<FramesCase>& info) { return std::string(info.param.name); });

// A HEIF's colour told as nclx numbers becomes a profile to convert with:
// Display P3's primaries give littleCMS's sRGB of Display P3 colours; BT.709's
// with sRGB's curve (libheif's default) are sRGB's, so nothing changes.
struct NclxCase {
  const char* name;
  heif_color_primaries primaries;
  bool converted;
  friend void PrintTo(const NclxCase& c, std::ostream* os) { *os << c.name; }
};

class HeifNclx : public testing::TestWithParam<NclxCase> {};

TEST_P(HeifNclx, GivesTheProfileItsNumbersDescribe) {
  testsupport::HeifPicture how;
  how.primaries = GetParam().primaries;
  const std::vector<std::uint8_t> file = testsupport::HeifBytes(Quarters(32, 16), how);
  img::Bitmap picture;
  PictureMetadata metadata;
  DecodeHeif(file, picture, &metadata);
  EXPECT_TRUE(metadata.icc.empty());
  ASSERT_FALSE(metadata.codedColour.empty());
  img::Bitmap converted = picture;
  ASSERT_EQ(ConvertToSrgb(converted, metadata.codedColour), GetParam().converted);
  int worst = 0;
  for (int y = 0; y < picture.height(); ++y) {
    const std::vector<std::uint8_t> expected =
        GetParam().converted
            ? testsupport::LcmsToSrgb(testsupport::DisplayP3Profile(), TYPE_BGR_8, picture.ScanLine(y), picture.width())
            : std::vector<std::uint8_t>(picture.ScanLine(y), picture.ScanLine(y) + picture.width() * 3);
    for (int i = 0; i < picture.width() * 3; ++i) worst = std::max(worst, std::abs(converted.ScanLine(y)[i] - expected[i]));
  }
  EXPECT_LE(worst, 1);
}

INSTANTIATE_TEST_SUITE_P(Primaries, HeifNclx,
                         testing::Values(NclxCase{"DisplayP3", heif_color_primaries_SMPTE_EG_432_1, true},
                                         NclxCase{"Bt709", heif_color_primaries_ITU_R_BT_709_5, false}),
                         testsupport::ByName());

}  // namespace

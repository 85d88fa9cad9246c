// The JXL codec on files libjxl makes: pixels, colour and metadata as they
// were written, and hostile or cut files refused before their pixels are
// allocated.
#include "engine/formats/jxl/JxlImage.h"

#include <functional>

#include "JxlBytes.h"
#include "ParamNames.h"
#include "TestSupport.h"
#include "engine/metadata/ExifOrientation.h"
#include "platform/ImageError.h"

namespace {

using engine::JxlSettings;

struct RoundTrip {
  std::string name;
  img::Bitmap (*picture)();
  JxlSettings settings;
  img::PixelFormat decoded;
  int tolerance;  // largest channel difference allowed
  friend void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.name; }
};

class JxlRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(JxlRoundTrip, DecodesToThePictureWritten) {
  const RoundTrip& c = GetParam();
  const img::Bitmap picture = c.picture();
  img::SerialParts parts;
  const std::vector<std::uint8_t> file = engine::EncodeJxl(picture, c.settings, nullptr, parts);
  ASSERT_TRUE(engine::IsJxl(file));
  img::Bitmap decoded;
  engine::PictureMetadata metadata;
  engine::DecodeJxl(file, decoded, &metadata);
  EXPECT_EQ(decoded.format(), c.decoded);
  EXPECT_TRUE(metadata.empty()) << "an sRGB file needs no profile";
  ASSERT_EQ(decoded.width(), picture.width());
  ASSERT_EQ(decoded.height(), picture.height());
  EXPECT_LE(testsupport::MaxChannelDifference(decoded, picture), c.tolerance);
  if (c.decoded == img::PixelFormat::Bits32Alpha) {
    for (int x = 0; x < picture.width(); ++x)
      EXPECT_EQ(decoded.ScanLine(3)[4 * x + 3], picture.ScanLine(3)[4 * x + 3]) << x;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, JxlRoundTrip,
    ::testing::Values(
        RoundTrip{"colour lossless", [] { return testsupport::GradientBitmap(37, 21); }, {100, false, 3},
                  img::PixelFormat::Bits24, 0},
        RoundTrip{"alpha lossless", [] { return testsupport::AlphaGradientBitmap(37, 21); }, {90, true, 3},
                  img::PixelFormat::Bits32Alpha, 0},
        RoundTrip{"grey lossless", [] { return testsupport::GreyGradientBitmap(37, 21); }, {100, false, 3},
                  img::PixelFormat::Bits8, 0},
        // A smooth picture, so that quality 95 holds every channel close.
        RoundTrip{"colour at quality 95", [] { return testsupport::HalvingBitmap(64, 48); }, {95, false, 7},
                  img::PixelFormat::Bits24, 6}),
    testsupport::ByName());

// The codestream's turn belongs to the picture: it comes out upright, and
// the EXIF carried beside it no longer turns it.
TEST(JxlImage, AnExifTurnBecomesTheCodestreamsAndIsAppliedOnDecoding) {
  const img::Bitmap stored = testsupport::GradientBitmap(6, 4);
  engine::PictureMetadata carried;
  carried.exif = testsupport::ExifWithOrientation(6);
  carried.xmp = {'<', 'x', '/', '>'};
  img::SerialParts parts;
  const std::vector<std::uint8_t> file = engine::EncodeJxl(stored, {100, false, 3}, &carried, parts);
  img::Bitmap decoded;
  engine::PictureMetadata metadata;
  engine::DecodeJxl(file, decoded, &metadata);
  img::Bitmap upright = stored;
  engine::ApplyExifOrientation(upright, 6, parts);
  EXPECT_EQ(testsupport::MaxChannelDifference(decoded, upright), 0);
  EXPECT_EQ(engine::ReadExifOrientation(metadata.exif), 1);
  EXPECT_EQ(metadata.xmp, carried.xmp);
  EXPECT_EQ(engine::ReadJxlHeader(file)->width, 4) << "the header gives the size as shown";
}

// A profile libjxl reads goes in and comes back with pixels in its colour
// space, lossy or not; one it cannot read is left out, and said so.
TEST(JxlImage, ColourProfilesTravelOrAreSaidToBeLeftOut) {
  const img::Bitmap picture = testsupport::HalvingBitmap(16, 16);
  img::SerialParts parts;
  engine::PictureMetadata p3;
  p3.icc = testsupport::DisplayP3Profile();
  for (int quality : {100, 90}) {
    std::vector<std::string> left_out;
    const std::vector<std::uint8_t> file = engine::EncodeJxl(picture, {quality, false, 3}, &p3, parts, &left_out);
    img::Bitmap decoded;
    engine::PictureMetadata metadata;
    engine::DecodeJxl(file, decoded, &metadata);
    EXPECT_EQ(metadata.icc, p3.icc) << quality;
    EXPECT_LE(testsupport::MaxChannelDifference(decoded, picture), quality == 100 ? 0 : 6) << quality;
    EXPECT_TRUE(left_out.empty()) << quality;
  }
  engine::PictureMetadata unreadable;
  unreadable.icc = testsupport::IccProfile(200);  // a header and no tags
  std::vector<std::string> left_out;
  const std::vector<std::uint8_t> file = engine::EncodeJxl(picture, {100, false, 3}, &unreadable, parts, &left_out);
  ASSERT_EQ(left_out.size(), 1u);
  EXPECT_NE(left_out[0].find("ICC profile (200 bytes)"), std::string::npos) << left_out[0];
  img::Bitmap decoded;
  engine::PictureMetadata metadata;
  engine::DecodeJxl(file, decoded, &metadata);
  EXPECT_TRUE(metadata.icc.empty()) << "written as sRGB";
}

// Sets the pixel limit for one test.
class ScopedPixelLimit {
 public:
  explicit ScopedPixelLimit(long long pixels) : old_(img::PixelLimit()) { img::SetPixelLimit(pixels); }
  ~ScopedPixelLimit() { img::SetPixelLimit(old_); }
  ScopedPixelLimit(const ScopedPixelLimit&) = delete;
  ScopedPixelLimit& operator=(const ScopedPixelLimit&) = delete;

 private:
  long long old_;
};

struct Refusal {
  std::string name;
  std::function<std::vector<std::uint8_t>()> file;
  img::ErrorCode code;
  friend void PrintTo(const Refusal& c, std::ostream* os) { *os << c.name; }
};

class JxlRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(JxlRefusal, FailsCleanlyAndLeavesThePictureAlone) {
  const Refusal& c = GetParam();
  const ScopedPixelLimit limit(100000);
  const std::vector<std::uint8_t> file = c.file();
  img::Bitmap untouched = testsupport::GradientBitmap(2, 2);
  engine::PictureMetadata metadata;
  metadata.comment = {'k', 'e', 'p', 't'};
  try {
    engine::DecodeJxl(file, untouched, &metadata);
    ADD_FAILURE() << "decoded";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), c.code) << e.what();
  }
  EXPECT_EQ(testsupport::MaxChannelDifference(untouched, testsupport::GradientBitmap(2, 2)), 0);
  EXPECT_EQ(metadata.comment.size(), 4u);
}

std::vector<std::uint8_t> Lossy() {
  img::SerialParts parts;
  return engine::EncodeJxl(testsupport::GradientBitmap(64, 48), {80, false, 3}, nullptr, parts);
}

INSTANTIATE_TEST_SUITE_P(
    Files, JxlRefusal,
    ::testing::Values(
        Refusal{"65535 x 65535 declared in 20 bytes", [] { return testsupport::JxlHeaderOnly(65535, 65535); },
                img::ErrorCode::TooLarge},
        Refusal{"a header past the limit and nothing else", [] { return testsupport::JxlHeaderOnly(400, 400); },
                img::ErrorCode::TooLarge},
        // 16 x 16 shown, but decoded from a layer of 500 x 500.
        Refusal{"a layer past the limit under a small picture",
                [] { return testsupport::JxlWithLayer(16, 16, 500, 500); }, img::ErrorCode::TooLarge},
        Refusal{"a header within the limit and nothing else", [] { return testsupport::JxlHeaderOnly(300, 300); },
                img::ErrorCode::Truncated},
        Refusal{"cut halfway", [] { const auto f = Lossy(); return testsupport::Cut(f, f.size() / 2); },
                img::ErrorCode::Truncated},
        Refusal{"its signature alone", [] { return std::vector<std::uint8_t>{0xFF, 0x0A}; },
                img::ErrorCode::Truncated},
        Refusal{"noise after the signature",
                [] {
                  std::vector<std::uint8_t> f = Lossy();
                  for (std::size_t i = 2; i < f.size(); ++i) f[i] = static_cast<std::uint8_t>(i * 151 + 7);
                  return f;
                },
                img::ErrorCode::Format}),
    testsupport::ByName());

TEST(JxlImage, ALayerWithinTheLimitIsDecodedUnderThePicture) {
  const ScopedPixelLimit limit(100000);
  img::Bitmap decoded;
  engine::DecodeJxl(testsupport::JxlWithLayer(16, 16, 300, 300), decoded);
  EXPECT_EQ(decoded.width(), 16);
  EXPECT_EQ(decoded.PixelColor(5, 5), testsupport::Bgr(200, 200, 200));
}

}  // namespace

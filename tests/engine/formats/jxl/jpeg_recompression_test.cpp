// JPEG sources converted to JXL: recompressed without loss while nothing
// changes their pixels, so that libjxl gives the JPEG back byte for byte
// with the metadata the rules carry; encoded from the pixels otherwise.
#include <functional>

#include "JxlBytes.h"
#include "ParamNames.h"
#include "TestSupport.h"
#include "engine/convert/PictureConverter.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/plan/RunPlan.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;
using engine::CarriedMetadata;
using engine::ConversionOptions;
using engine::FitInBox;
using engine::ScaleBy;

namespace {

// What the JXL target gives back.
enum class Back {
  Whole,        // the source's JPEG with every marker the loader reads
  ProfileOnly,  // the same JPEG with its ICC profile alone
  Bare,         // the same JPEG with no metadata at all
  Pixels,       // nothing: it was encoded from the pixels
};

struct Case {
  std::string name;
  std::function<void(ConversionOptions&)> options;
  int orientation;  // the source's EXIF orientation
  Back back;
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class JpegToJxl : public ::testing::TestWithParam<Case> {};

// Beside what the loader reads, the source has an IPTC marker and bytes
// past its end, which no target carries.
std::vector<std::uint8_t> WithIptcAndTail(std::vector<std::uint8_t> jpeg) {
  const std::size_t after_jfif = 4 + (std::size_t{jpeg[4]} << 8 | jpeg[5]);
  const std::vector<std::uint8_t> iptc = {0xFF, 0xED, 0, 8, 'I', 'P', 'T', 'C', 1, 2};
  jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(after_jfif), iptc.begin(), iptc.end());
  jpeg.insert(jpeg.end(), {0xFF, 0xD8, 0xFF, 0xD9});  // an MPF file's next picture, say
  return jpeg;
}

TEST_P(JpegToJxl, GivesBackTheJpegWhileNothingChangesItsPixels) {
  const Case& c = GetParam();
  testsupport::TempDir tmp;
  const img::Bitmap picture = testsupport::GradientBitmap(40, 24);
  engine::PictureMetadata all;
  all.exif = testsupport::ExifWithOrientation(c.orientation);
  all.icc = testsupport::DisplayP3Profile();
  all.xmp = {'<', 'x', 'm', 'p', '/', '>'};
  all.comment = {'h', 'i'};
  engine::PictureMetadata profile;
  profile.icc = all.icc;
  engine::JpegImage jpeg;
  const std::vector<std::uint8_t> whole = jpeg.Encode(picture, &all);
  img::WriteFileAtomically(tmp / "photo.jpg", WithIptcAndTail(whole));

  ConversionOptions options;
  options.targets = engine::FormatTicks::Named({"jxl"});
  c.options(options);
  engine::FixedOptionsCallbacks host(options);
  engine::PictureConverter converter(host);
  const engine::ConversionReport report =
      engine::ConvertAlone(converter, img::PathToUtf8(tmp / "photo.jpg"), img::PathToUtf8(tmp.path()) + "/");
  ASSERT_TRUE(report.ok()) << testsupport::FailureLines(report.failures)[0];
  const std::optional<std::vector<std::uint8_t>> back = testsupport::JpegFromJxl(img::ReadWholeFile(tmp / "photo.jxl"));
  switch (c.back) {
    case Back::Whole:
      EXPECT_EQ(back, whole);
      break;
    case Back::ProfileOnly:
      EXPECT_EQ(back, jpeg.Encode(picture, &profile));
      break;
    case Back::Bare:
      EXPECT_EQ(back, jpeg.Encode(picture));
      break;
    case Back::Pixels:
      EXPECT_FALSE(back.has_value());
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Options, JpegToJxl,
    ::testing::Values(
        Case{"by default the profile alone", [](ConversionOptions&) {}, 1, Back::ProfileOnly},
        Case{"all metadata kept", [](ConversionOptions& o) { o.metadata = CarriedMetadata::All; }, 1, Back::Whole},
        Case{"stripped", [](ConversionOptions& o) { o.metadata = CarriedMetadata::None; }, 1, Back::Bare},
        Case{"quality 100", [](ConversionOptions& o) { o.jxlQuality = 100; }, 1, Back::ProfileOnly},
        Case{"lossless", [](ConversionOptions& o) { o.jxlLossless = true; }, 1, Back::ProfileOnly},
        Case{"a box it already fits",
             [](ConversionOptions& o) { o.resize.to = FitInBox{400, 300}; }, 1, Back::ProfileOnly},
        Case{"quality 80", [](ConversionOptions& o) { o.jxlQuality = 80; }, 1, Back::Pixels},
        Case{"halved", [](ConversionOptions& o) { o.resize.to = ScaleBy{5000}; }, 1, Back::Pixels},
        Case{"a half turn", [](ConversionOptions& o) { o.rotation = 2; }, 1, Back::Pixels},
        Case{"turned upright by its EXIF", [](ConversionOptions&) {}, 6, Back::Pixels},
        Case{"its EXIF turn kept as it is",
             [](ConversionOptions& o) { o.autoOrient = false, o.metadata = CarriedMetadata::All; }, 6,
             Back::Whole}),
    testsupport::ByName());

}  // namespace

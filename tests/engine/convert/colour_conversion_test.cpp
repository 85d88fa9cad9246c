// The targets' colours: the source's own with its profile by default; with
// TargetColour::Srgb a picture of another RGB profile in sRGB's colours as
// littleCMS converts them, carrying no profile. And what a loader could
// only approximate reaches the report once, named by its source.

#include <functional>

#include "ColourProfiles.h"
#include "ParamNames.h"
#include "PictureFiles.h"
#include "TestSupport.h"
#include "engine/convert/PictureConverter.h"
#include "engine/plan/RunPlan.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

struct ColourCase {
  const char* name;
  std::function<std::vector<std::uint8_t>()> profile;  // the source's; nullptr: a CMYK JPEG without one
  bool alpha;
  TargetColour colour;
  CarriedMetadata carried;
  bool converted;       // the target's colours are littleCMS's sRGB of the source's
  bool profileCarried;  // the target carries the source's profile
  friend void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.name; }
};

class ColourConversion : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourConversion, TargetsGetTheColoursAndProfileAsked) {
  const ColourCase& c = GetParam();
  testsupport::TempDir dir;
  const img::Bitmap stored = c.alpha ? testsupport::AlphaGradientBitmap(24, 16) : testsupport::GradientBitmap(24, 16);
  PictureMetadata metadata;
  fs::path source = dir / "src" / "photo.png";
  if (c.profile) {
    metadata.icc = c.profile();
    testsupport::WritePictureWith(stored, metadata, source);
  } else {
    source = dir / "src" / "inks.jpg";
    fs::create_directories(source.parent_path());
    img::WriteFileAtomically(source, testsupport::CmykJpeg(8, 8, std::vector<std::uint8_t>(8 * 8 * 4, 60), {}));
  }
  ConversionOptions options = testsupport::TickedFormats(true, false, false, true);
  options.colour = c.colour;
  options.metadata = c.carried;
  FixedOptionsCallbacks host(options);
  PictureConverter converter(host);
  fs::create_directories(dir / "out");
  const ConversionReport report = ConvertAlone(converter, img::PathToUtf8(source), img::PathToUtf8(dir / "out") + "/");
  ASSERT_TRUE(report.ok());
  ASSERT_EQ(report.written.size(), 2u);
  if (!c.profile) {
    EXPECT_EQ(report.warnings, std::vector<std::string>{img::PathToUtf8(source) + ": " + kCmykByFormula});
    return;
  }
  EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();

  img::Bitmap target;
  const PictureMetadata carried = testsupport::ReadPictureWith(dir / "out" / "photo.png", target);
  EXPECT_EQ(carried.icc, c.profileCarried ? metadata.icc : std::vector<std::uint8_t>{});
  ASSERT_EQ(target.format(), stored.format());
  const int bytes = c.alpha ? 4 : 3;
  int worst = 0;
  for (int y = 0; y < stored.height(); ++y) {
    std::vector<std::uint8_t> bgr;
    for (int x = 0; x < stored.width(); ++x) bgr.insert(bgr.end(), stored.ScanLine(y) + x * bytes, stored.ScanLine(y) + x * bytes + 3);
    const std::vector<std::uint8_t> expected =
        c.converted ? testsupport::LcmsToSrgb(metadata.icc, TYPE_BGR_8, bgr.data(), bgr.size() / 3) : bgr;
    for (int x = 0; x < stored.width(); ++x) {
      for (int i = 0; i < 3; ++i) worst = std::max(worst, std::abs(target.ScanLine(y)[x * bytes + i] - expected[x * 3 + i]));
      if (c.alpha) {
        EXPECT_EQ(target.ScanLine(y)[x * 4 + 3], stored.ScanLine(y)[x * 4 + 3]);
      }
    }
  }
  EXPECT_LE(worst, c.converted ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ColourConversion,
    ::testing::Values(
        ColourCase{"WideRgbToSrgb", testsupport::WideRgbProfile, false, TargetColour::Srgb, CarriedMetadata::Profile,
                   true, false},
        ColourCase{"WideRgbWithAlphaToSrgb", testsupport::WideRgbProfile, true, TargetColour::Srgb,
                   CarriedMetadata::Profile, true, false},
        // The profile is read to convert the colours, though none is carried.
        ColourCase{"WideRgbStrippedToSrgb", testsupport::WideRgbProfile, false, TargetColour::Srgb,
                   CarriedMetadata::None, true, false},
        ColourCase{"WideRgbKeptByDefault", testsupport::WideRgbProfile, false, TargetColour::Keep,
                   CarriedMetadata::Profile, false, true},
        ColourCase{"SrgbProfileLeftAsItIs", testsupport::SrgbProfile, false, TargetColour::Srgb,
                   CarriedMetadata::Profile, false, true},
        ColourCase{"CmykWithoutProfileWarnsOnce", nullptr, false, TargetColour::Keep, CarriedMetadata::Profile,
                   false, false}),
    testsupport::ByName());

}  // namespace

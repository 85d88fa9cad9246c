// CMYK pictures come into sRGB through their own profile as littleCMS
// converts the same samples, and without one by the formula they always
// went through, with a warning saying so.

#include <functional>

#include "ColourProfiles.h"
#include "ParamNames.h"
#include "TestSupport.h"
#include "TiffBytes.h"
#include "engine/formats/PictureFormats.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 16, kHeight = 8;

// Inks (c, m, y, k; 0 no ink) of every level from none to full, each ink
// climbing at its own pace, so that the picture holds many mixes.
std::vector<std::uint8_t> Inks() {
  std::vector<std::uint8_t> inks;
  for (int i = 0; i < kWidth * kHeight; ++i)
    for (int step : {7, 13, 29, 3}) inks.push_back(static_cast<std::uint8_t>(i * step * 2 % 256));
  return inks;
}

// A CMYK source and what it should decode to: b, g, r a pixel.
struct CmykSource {
  std::vector<std::uint8_t> file;
  std::vector<std::uint8_t> expected;
  bool exists = true;
};

CmykSource Jpeg(bool profiled) {
  const std::vector<std::uint8_t> icc = profiled ? testsupport::CmykProfile() : std::vector<std::uint8_t>{};
  CmykSource s;
  s.file = testsupport::CmykJpeg(kWidth, kHeight, Inks(), icc);
  const std::vector<std::uint8_t> stored = testsupport::DecodedCmyk(s.file);
  if (profiled) {
    s.expected = testsupport::LcmsToSrgb(icc, TYPE_CMYK_8_REV, stored.data(), stored.size() / 4);
    return s;
  }
  // Each inverted ink times inverted black, rounded.
  for (std::size_t i = 0; i < stored.size(); i += 4)
    for (int ink : {2, 1, 0}) s.expected.push_back(static_cast<std::uint8_t>((stored[i + ink] * stored[i + 3] + 127) / 255));
  return s;
}

CmykSource Tiff(bool profiled, int bits) {
  const std::vector<std::uint8_t> inks = Inks();
  testsupport::TiffPicture p;
  p.width = kWidth;
  p.height = kHeight;
  p.samples = 4;
  p.bits = bits;
  p.photometric = PHOTOMETRIC_SEPARATED;
  for (std::uint8_t v : inks) {
    if (bits == 8) {
      p.data.push_back(v);
    } else {
      const std::uint16_t wide = static_cast<std::uint16_t>(v * 257);
      p.data.insert(p.data.end(), reinterpret_cast<const std::uint8_t*>(&wide),
                    reinterpret_cast<const std::uint8_t*>(&wide) + 2);
    }
  }
  if (profiled) p.icc = testsupport::CmykProfile();
  CmykSource s;
  s.file = testsupport::TiffBytes(p);
  if (profiled) {
    s.expected = testsupport::LcmsToSrgb(p.icc, TYPE_CMYK_8, inks.data(), inks.size() / 4);
    return s;
  }
  // libtiff's RGBA reader: each ink's complement times black's, truncated.
  for (std::size_t i = 0; i < inks.size(); i += 4)
    for (int ink : {2, 1, 0}) s.expected.push_back(static_cast<std::uint8_t>((255 - inks[i + 3]) * (255 - inks[i + ink]) / 255));
  return s;
}

// A YCCK file of a public suite with a printer's CMYK profile.
CmykSource YcckFile() {
  CmykSource s;
  const fs::path path = testsupport::TestDataDir() / "jpeg/jpeg-decoder/reftest/ycck.jpg";
  if (testsupport::TestDataDir().empty() || !fs::exists(path)) {
    s.exists = false;
    return s;
  }
  s.file = img::ReadWholeFile(path);
  engine::PictureCodecs codecs;
  engine::PictureMetadata metadata;
  codecs.ReadMetadataInto(&metadata);
  img::Bitmap ignored;
  engine::LoadPicture(img::PathToUtf8(path), ignored, {}, &codecs);
  const std::vector<std::uint8_t> stored = testsupport::DecodedCmyk(s.file);
  s.expected = testsupport::LcmsToSrgb(metadata.icc, TYPE_CMYK_8_REV, stored.data(), stored.size() / 4);
  return s;
}

struct CmykCase {
  const char* name;
  const char* extension;
  std::function<CmykSource()> make;
  const char* warning;  // the loader's, "" for none
  friend void PrintTo(const CmykCase& c, std::ostream* os) { *os << c.name; }
};

class CmykDecode : public ::testing::TestWithParam<CmykCase> {};

TEST_P(CmykDecode, ThroughItsProfileAsLittleCmsElseByTheFormulaWithAWarning) {
  const CmykSource source = GetParam().make();
  if (!source.exists) GTEST_SKIP() << "no shared/testdata";
  testsupport::TempDir dir;
  const fs::path path = dir / (std::string("inks") + GetParam().extension);
  img::WriteFileAtomically(path, source.file);
  engine::PictureCodecs codecs;  // no metadata asked for: the profile is read all the same
  img::Bitmap picture;
  engine::LoadPicture(img::PathToUtf8(path), picture, {}, &codecs);
  ASSERT_EQ(picture.format(), img::PixelFormat::Bits24);
  ASSERT_EQ(source.expected.size(), static_cast<std::size_t>(picture.width()) * picture.height() * 3);
  int worst = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int i = 0; i < picture.width() * 3; ++i)
      worst = std::max(worst, std::abs(picture.ScanLine(y)[i] - source.expected[(y * picture.width()) * 3 + i]));
  EXPECT_LE(worst, 1);
  const std::vector<std::string> warnings = codecs.TakeWarnings();
  if (*GetParam().warning)
    EXPECT_EQ(warnings, std::vector<std::string>{GetParam().warning});
  else
    EXPECT_TRUE(warnings.empty()) << warnings.front();
}

INSTANTIATE_TEST_SUITE_P(
    Sources, CmykDecode,
    ::testing::Values(CmykCase{"JpegWithProfile", ".jpg", [] { return Jpeg(true); }, ""},
                      CmykCase{"JpegWithoutProfile", ".jpg", [] { return Jpeg(false); }, engine::kCmykByFormula},
                      CmykCase{"YcckJpegOfASuite", ".jpg", YcckFile, ""},
                      CmykCase{"TiffWithProfile", ".tif", [] { return Tiff(true, 8); }, ""},
                      CmykCase{"Tiff16WithProfile", ".tif", [] { return Tiff(true, 16); }, ""},
                      CmykCase{"TiffWithoutProfile", ".tif", [] { return Tiff(false, 8); }, engine::kCmykByFormula}),
    testsupport::ByName());

// One codec set decodes a batch: the transform kept from a picture is not
// used for the next one's other profile.
TEST(CmykDecode, EachPictureGoesThroughItsOwnProfile) {
  testsupport::TempDir dir;
  engine::PictureCodecs codecs;
  for (const double paper : {2.0, 30.0, 2.0}) {
    SCOPED_TRACE(paper);
    const std::vector<std::uint8_t> icc = testsupport::CmykProfile(paper);
    const std::vector<std::uint8_t> inks = Inks();
    const std::vector<std::uint8_t> file = testsupport::CmykJpeg(kWidth, kHeight, inks, icc);
    img::WriteFileAtomically(dir / "inks.jpg", file);
    img::Bitmap picture;
    engine::LoadPicture(img::PathToUtf8(dir / "inks.jpg"), picture, {}, &codecs);
    const std::vector<std::uint8_t> stored = testsupport::DecodedCmyk(file);
    const std::vector<std::uint8_t> expected =
        testsupport::LcmsToSrgb(icc, TYPE_CMYK_8_REV, stored.data(), stored.size() / 4);
    int worst = 0;
    for (int y = 0; y < picture.height(); ++y)
      for (int i = 0; i < picture.width() * 3; ++i)
        worst = std::max(worst, std::abs(picture.ScanLine(y)[i] - expected[(y * picture.width()) * 3 + i]));
    EXPECT_LE(worst, 1);
  }
}

}  // namespace

// A JPEG written as JPEG with only a turn: turned in its coded data, so its
// pixels are jpegtran's turn of the same file, with the metadata the rules
// carry and the orientation reset; a size that is not whole blocks for its
// turn is encoded from the pixels as without the option, and says so.
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "ParamNames.h"
#include "PictureFiles.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "TestSupport.h"
#include "engine/convert/PictureConverter.h"
#include "engine/metadata/ExifGps.h"
#include "engine/metadata/ExifOrientation.h"
#include "engine/plan/RunPlan.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;

namespace {

struct Case {
  std::string name;
  int width, height;
  int orientation;  // the source's EXIF orientation
  int rotation;     // quarter turns asked for
  const char* jpegtran;  // jpegtran's words for the same turn; nullptr: not whole blocks
  bool grey = false;
  bool stripGps = false;
  bool progressive = false;  // the source, and so its turn
  bool alsoPng = false;      // a PNG target beside, which needs the pixels
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class LosslessTurn : public ::testing::TestWithParam<Case> {};

const fs::path kJpegtran = "/usr/bin/jpegtran";

engine::ConversionReport Convert(const fs::path& source, const fs::path& folder, const Case& c, bool lossless) {
  engine::ConversionOptions options;
  options.targets = c.alsoPng ? engine::FormatTicks::Named({"png", "jpg"}) : engine::FormatTicks::Named({"jpg"});
  options.metadata = engine::CarriedMetadata::All;
  options.jpegQuality = 90;
  options.rotation = c.rotation;
  options.stripGps = c.stripGps;
  options.jpegLosslessTurn = lossless;
  engine::FixedOptionsCallbacks host(options);
  engine::PictureConverter converter(host);
  fs::create_directories(folder);
  return engine::ConvertAlone(converter, img::PathToUtf8(source), img::PathToUtf8(folder) + "/");
}

TEST_P(LosslessTurn, GivesJpegtransCoefficientsOrReencodesWhole) {
  const Case& c = GetParam();
  if (testsupport::kWindows || !fs::exists(kJpegtran)) GTEST_SKIP() << "no /usr/bin/jpegtran (libjpeg-turbo-progs)";
  testsupport::TempDir tmp;
  engine::PictureMetadata own;
  own.exif = testsupport::ExifWithGps(c.orientation);
  own.icc = testsupport::IccProfile(132, c.grey ? "GRAY" : "RGB ");
  own.xmp = {'<', 'x', '/', '>'};
  own.comment = {'h', 'i'};
  const img::Bitmap picture =
      c.grey ? testsupport::GreyGradientBitmap(c.width, c.height) : testsupport::GradientBitmap(c.width, c.height);
  engine::JpegImage encoder;
  encoder.SetQuality(90);
  encoder.SetCoding({.progressive = c.progressive});
  img::WriteFileAtomically(tmp / "photo.jpg", encoder.Encode(picture, &own));

  const engine::ConversionReport report = Convert(tmp / "photo.jpg", tmp / "out", c, true);
  ASSERT_TRUE(report.ok()) << testsupport::FailureLines(report.failures)[0];
  const bool sideways = c.rotation % 2 == 1 ? c.orientation < 5 : c.orientation >= 5;
  for (const engine::TargetSize& size : report.writtenSizes) {
    EXPECT_EQ(size.width, sideways ? c.height : c.width);
    EXPECT_EQ(size.height, sideways ? c.width : c.height);
  }
  ASSERT_EQ(report.written.size(), c.alsoPng ? 2u : 1u);
  img::Bitmap turned, expected;
  const engine::PictureMetadata carried = testsupport::ReadPictureWith(tmp / "out" / "photo.jpg", turned);
  if (c.jpegtran) {
    EXPECT_TRUE(report.warnings.empty()) << report.warnings[0];
    const std::string command = kJpegtran.string() + " -perfect -copy none " + c.jpegtran + " -outfile '" +
                                (tmp / "jpegtran.jpg").string() + "' '" + (tmp / "photo.jpg").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    testsupport::ReadPictureWith(tmp / "jpegtran.jpg", expected);
    // A progressive source stays progressive (SOF2).
    const std::vector<std::uint8_t> file = img::ReadWholeFile(tmp / "out" / "photo.jpg");
    const std::vector<std::uint8_t> sof2 = {0xFF, 0xC2};
    EXPECT_EQ(std::search(file.begin(), file.end(), sof2.begin(), sof2.end()) != file.end(), c.progressive);
  } else {
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_NE(report.warnings[0].find("photo.jpg: not whole JPEG blocks: re-encoded"), std::string::npos)
        << report.warnings[0];
    // As written without the option: encoded from the turned pixels.
    ASSERT_TRUE(Convert(tmp / "photo.jpg", tmp / "encoded", c, false).ok());
    testsupport::ReadPictureWith(tmp / "encoded" / "photo.jpg", expected);
  }
  EXPECT_TRUE(testsupport::SamePixels(turned, expected));

  // The markers the rules keep, the orientation made 1 once the picture is turned.
  engine::PictureMetadata kept = own;
  engine::WriteExifOrientation(kept.exif, 1);
  if (c.stripGps) engine::RemoveExifGps(kept.exif);
  EXPECT_EQ(carried.exif, kept.exif);
  EXPECT_EQ(carried.icc, kept.icc);
  EXPECT_EQ(carried.xmp, kept.xmp);
  EXPECT_EQ(carried.comment, kept.comment);
}

// Colour pictures in 16 by 16 blocks (4:2:0), grey ones in 8 by 8.
INSTANTIATE_TEST_SUITE_P(
    Turns, LosslessTurn,
    ::testing::Values(Case{"a quarter turn", 48, 32, 1, 1, "-rotate 90"},
                      Case{"a half turn", 48, 32, 1, 2, "-rotate 180"},
                      Case{"three quarter turns", 48, 32, 1, 3, "-rotate 270"},
                      Case{"upright by its EXIF orientation", 48, 32, 6, 0, "-rotate 90"},
                      Case{"its EXIF mirror then a quarter turn", 48, 32, 2, 1, "-transverse"},
                      Case{"upright by EXIF without its GPS", 48, 32, 8, 0, "-rotate 270", false, true},
                      Case{"transposed whatever its size", 50, 30, 5, 0, "-transpose"},
                      Case{"a quarter turn needs whole blocks down only", 50, 32, 1, 1, "-rotate 90"},
                      Case{"a grey picture in 8 pixel blocks", 40, 24, 1, 3, "-rotate 270", true},
                      Case{"not whole blocks down for a quarter turn", 48, 30, 1, 1, nullptr},
                      Case{"not whole blocks across for three quarter turns", 50, 32, 1, 3, nullptr},
                      Case{"not whole blocks for its EXIF half turn", 48, 30, 3, 0, nullptr},
                      Case{.name = "a progressive source", .width = 48, .height = 32, .orientation = 1,
                           .rotation = 1, .jpegtran = "-rotate 90", .progressive = true},
                      Case{.name = "beside a PNG", .width = 48, .height = 32, .orientation = 6, .rotation = 2,
                           .jpegtran = "-rotate 270", .alsoPng = true},
                      Case{.name = "not whole blocks beside a PNG", .width = 50, .height = 30, .orientation = 1,
                           .rotation = 2, .jpegtran = nullptr, .alsoPng = true}),
    testsupport::ByName());

}  // namespace

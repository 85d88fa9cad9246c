// A JPEG's bytes with the markers its targets carry: what the loader then
// reads from them is what was carried, and a stream that cannot carry it
// is none.
#include "engine/formats/jpeg/JpegMarkers.h"

#include <functional>

#include "ParamNames.h"
#include "TestSupport.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/metadata/ExifOrientation.h"

namespace {

struct Case {
  std::string name;
  std::function<void(engine::PictureMetadata&)> carry;  // from the file's own metadata
  std::function<std::vector<std::uint8_t>(std::vector<std::uint8_t>)> file;  // the file made of the encoder's; none: as it is
  bool carried;  // false: no stream
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class CarriedMarkers : public ::testing::TestWithParam<Case> {};

TEST_P(CarriedMarkers, HoldWhatIsCarriedAndTheSameCodedData) {
  const Case& c = GetParam();
  const img::Bitmap picture = testsupport::GradientBitmap(24, 16);
  engine::PictureMetadata own;
  own.exif = testsupport::ExifWithOrientation(6);
  own.xmp = {'<', 'x', '/', '>'};
  own.comment = {'c'};
  own.icc = testsupport::IccProfile(132);
  engine::JpegImage codec;
  std::vector<std::uint8_t> file = codec.Encode(picture, &own);
  if (c.file) file = c.file(file);
  engine::PictureMetadata carried = own;
  c.carry(carried);
  const std::optional<engine::JpegStream> stream = engine::WithCarriedMarkers(file, carried);
  ASSERT_EQ(stream.has_value(), c.carried);
  if (!stream) return;
  EXPECT_EQ(stream->width, 24);
  EXPECT_EQ(stream->height, 16);
  EXPECT_EQ(stream->components, 3);
  // The same markers the encoder writes for the carried metadata alone.
  EXPECT_EQ(stream->bytes, codec.Encode(picture, &carried));
}

INSTANTIATE_TEST_SUITE_P(
    Metadata, CarriedMarkers,
    ::testing::Values(
        Case{"everything", [](engine::PictureMetadata&) {}, nullptr, true},
        Case{"nothing", [](engine::PictureMetadata& m) { m.clear(); }, nullptr, true},
        Case{"the profile alone",
             [](engine::PictureMetadata& m) { m.exif.clear(), m.xmp.clear(), m.comment.clear(); }, nullptr, true},
        Case{"the orientation reset", [](engine::PictureMetadata& m) { engine::WriteExifOrientation(m.exif, 1); },
             nullptr, true},
        Case{"a profile the file lacks", [](engine::PictureMetadata& m) { m.icc = testsupport::IccProfile(136); },
             nullptr, false},
        Case{"cut before its end", [](engine::PictureMetadata&) {},
             [](std::vector<std::uint8_t> f) { return testsupport::Cut(f, f.size() - 2); }, false},
        Case{"no frame before its scan", [](engine::PictureMetadata&) {},
             [](std::vector<std::uint8_t> f) {
               for (std::size_t i = 2; i + 1 < f.size(); ++i)
                 if (f[i] == 0xFF && f[i + 1] == 0xC0) f[i + 1] = 0xEF;  // an APP15 in its place
               return f;
             },
             false}),
    testsupport::ByName());

}  // namespace

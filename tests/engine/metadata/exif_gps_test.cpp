// Taking the GPS position out of EXIF data: the position gone, the rest
// still read as it was, and damaged pointers never blank what is not GPS.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "TestSupport.h"
#include "engine/metadata/ExifGps.h"
#include "engine/metadata/ExifOrientation.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::kExifGpsEnd;
using testsupport::kExifGpsStart;

// Offsets in testsupport::ExifWithGps's little-endian data.
constexpr std::size_t kIfd0 = 8, kIfd0End = 62, kGpsPointerValue = 42, kLatitudeCount = 96, kLatitudeValues = 108;

Bytes Le() { return testsupport::ExifWithGps(6); }
Bytes WithU32(Bytes d, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) d.at(at + k) = static_cast<std::uint8_t>(v >> (8 * k));
  return d;
}

struct GpsCase {
  const char* name;
  std::function<Bytes()> make;
  bool removed;                 // IFD0 held the pointer: it is gone
  std::size_t blankFrom, blankTo;  // the bytes that must be zeros after
  friend void PrintTo(const GpsCase& c, std::ostream* os) { *os << c.name; }
};

class ExifGpsRemoval : public ::testing::TestWithParam<GpsCase> {};

TEST_P(ExifGpsRemoval, LeavesNoPositionAndTheRestAsItWas) {
  const Bytes source = GetParam().make();
  Bytes data = source;
  EXPECT_EQ(engine::RemoveExifGps(data), GetParam().removed);
  ASSERT_EQ(data.size(), source.size());
  if (!GetParam().removed) {
    EXPECT_EQ(data, source);
    return;
  }
  const std::optional<testsupport::ExifIfd> ifd0 = testsupport::ReadExifIfd(data, kIfd0);
  ASSERT_TRUE(ifd0);
  EXPECT_EQ(ifd0->tags, (std::vector<std::uint16_t>{0x010F, 0x0112, 0xC4A5}));
  EXPECT_EQ(ifd0->next, kExifGpsEnd);
  const std::optional<testsupport::ExifIfd> ifd1 = testsupport::ReadExifIfd(data, ifd0->next);
  ASSERT_TRUE(ifd1);
  EXPECT_EQ(ifd1->tags, std::vector<std::uint16_t>{0x0103});
  EXPECT_EQ(engine::ReadExifOrientation(data), 6);
  for (std::size_t i = kIfd0End; i < data.size(); ++i) {
    const bool blank = i >= GetParam().blankFrom && i < GetParam().blankTo;
    ASSERT_EQ(data[i], blank ? 0 : source[i]) << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Exif, ExifGpsRemoval,
    ::testing::Values(
        GpsCase{"LittleEndian", Le, true, kExifGpsStart, kExifGpsEnd},
        GpsCase{"BigEndian", [] { return testsupport::ExifWithGps(6, true); }, true, kExifGpsStart, kExifGpsEnd},
        // Damaged pointers: nothing but the pointer itself goes.
        GpsCase{"PointerIntoIfd0", [] { return WithU32(Le(), kGpsPointerValue, kIfd0); }, true, 0, 0},
        GpsCase{"PointerPastTheEnd", [] { return WithU32(Le(), kGpsPointerValue, 0xFFFFFF00); }, true, 0, 0},
        // A value count past the data's end: the IFD blanked, those values not.
        GpsCase{"LatitudeCountPastTheEnd", [] { return WithU32(Le(), kLatitudeCount, 0x40000000); }, true,
                kExifGpsStart, kLatitudeValues},
        GpsCase{"NoGps", [] { return testsupport::ExifWithOrientation(6); }, false, 0, 0},
        GpsCase{"Ifd0Cut", [] { return testsupport::Cut(Le(), 50); }, false, 0, 0},
        GpsCase{"NoTiffHeader", [] { return Bytes(64, 0x4D); }, false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

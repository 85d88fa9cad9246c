// The EXIF orientation reader against well-formed and hostile data.

#include <gtest/gtest.h>

#include <functional>

#include "TestSupport.h"
#include "engine/metadata/ExifOrientation.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::Cut;

struct ExifCase {
  const char* name;
  std::function<Bytes()> make;
  int orientation;  // what ReadExifOrientation must give
  bool entry;       // IFD0 holds an entry for the tag: the reset finds it
  friend void PrintTo(const ExifCase& c, std::ostream* os) { *os << c.name; }
};

Bytes Le(int orientation) { return testsupport::ExifWithOrientation(orientation, false); }

// Offsets in the little-endian data of testsupport::ExifWithOrientation.
constexpr std::size_t kIfd0Offset = 4, kEntryCount = 8, kOrientationEntry = 22;

Bytes With(Bytes d, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) d.at(at++) = b;
  return d;
}

class ExifOrientationRead : public ::testing::TestWithParam<ExifCase> {};

TEST_P(ExifOrientationRead, GivesTheTagOrNothing) {
  // Exactly sized, so a read past the end is a read past the allocation.
  const Bytes data = GetParam().make();
  EXPECT_EQ(engine::ReadExifOrientation(data), GetParam().orientation);
  Bytes copy = data;
  EXPECT_EQ(engine::WriteExifOrientation(copy, 1), GetParam().entry);
  if (GetParam().entry)
    EXPECT_EQ(engine::ReadExifOrientation(copy), 1);  // whatever the entry held
  else
    EXPECT_EQ(copy, data);  // nothing written where nothing was found
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExifOrientationRead,
    ::testing::Values(
        ExifCase{"LittleEndian", [] { return Le(6); }, 6, true},
        ExifCase{"BigEndian", [] { return testsupport::ExifWithOrientation(8, true); }, 8, true},
        ExifCase{"Empty", [] { return Bytes{}; }, 0, false},
        ExifCase{"HeaderOnly", [] { return Cut(Le(6), 8); }, 0, false},
        ExifCase{"CutInsideTheOrientationEntry", [] { return Cut(Le(6), 30); }, 0, false},
        ExifCase{"MixedByteOrderMark", [] { return With(Le(6), 0, {'I', 'M'}); }, 0, false},
        ExifCase{"NotFortyTwo", [] { return With(Le(6), 2, {43, 0}); }, 0, false},
        ExifCase{"Ifd0PastTheEnd", [] { return With(Le(6), kIfd0Offset, {0xF0, 0, 0, 0}); }, 0, false},
        ExifCase{"Ifd0OffsetWrapsAround", [] { return With(Le(6), kIfd0Offset, {0xFF, 0xFF, 0xFF, 0xFF}); }, 0, false},
        ExifCase{"Ifd0InsideTheHeader", [] { return With(Le(6), kIfd0Offset, {2, 0, 0, 0}); }, 0, false},
        ExifCase{"EntryCountPastTheEnd", [] { return With(Le(6), kEntryCount, {0xFF, 0xFF}); }, 6, true},
        ExifCase{"EntryCountShortOfTheTag", [] { return With(Le(6), kEntryCount, {1, 0}); }, 0, false},
        // Other whole-number types and counts are read by their first value.
        ExifCase{"TypeLong", [] { return With(Le(6), kOrientationEntry + 2, {4, 0}); }, 6, true},
        ExifCase{"TypeSignedShort", [] { return With(Le(6), kOrientationEntry + 2, {8, 0}); }, 6, true},
        ExifCase{"TypeByte", [] { return With(Le(6), kOrientationEntry + 2, {1, 0}); }, 6, true},
        ExifCase{"TwoValues", [] { return With(Le(6), kOrientationEntry + 4, {2, 0}); }, 6, true},
        ExifCase{"NegativeSignedLong",
                 [] { return With(Le(6), kOrientationEntry + 2, {9, 0, 1, 0, 0, 0, 0xFA, 0xFF, 0xFF, 0xFF}); }, 0, true},
        // Three values do not fit the entry: their offset points past the end.
        ExifCase{"ValuesPastTheEnd",
                 [] { return With(Le(6), kOrientationEntry + 4, {3, 0, 0, 0, 0xF0, 0, 0, 0}); }, 0, true},
        ExifCase{"TypeRational", [] { return With(Le(6), kOrientationEntry + 2, {5, 0}); }, 0, true},
        ExifCase{"NoValues", [] { return With(Le(6), kOrientationEntry + 4, {0, 0}); }, 0, true},
        ExifCase{"ValueZero", [] { return Le(0); }, 0, true},
        ExifCase{"ValueNine", [] { return Le(9); }, 0, true},
        // IFD0's next-IFD offset pointing back at IFD0: read once, no loop.
        ExifCase{"NextIfdLoopsBack", [] { return With(Le(6), 34, {8, 0, 0, 0}); }, 6, true},
        ExifCase{"NoTagAndALoop",
                 [] { return With(With(Le(6), kOrientationEntry, {0x13, 0x01}), 34, {8, 0, 0, 0}); }, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The data cut at every length: the tag counts once its whole entry is
// there, and nothing is read past the cut.
TEST(ExifOrientation, EveryCutOfTheDataIsSafe) {
  const Bytes whole = Le(3);
  for (std::size_t n = 0; n < whole.size(); ++n)
    EXPECT_EQ(engine::ReadExifOrientation(Cut(whole, n)), n >= kOrientationEntry + 12 ? 3 : 0) << n;
}

// The reset leaves one SHORT of 1 whatever the entry held, in both byte
// orders, and changes nothing but the entry.
TEST(ExifOrientation, ResetLeavesOneShortOfOne) {
  for (bool big_endian : {false, true}) {
    const Bytes upright = testsupport::ExifWithOrientation(1, big_endian);
    const std::size_t type = kOrientationEntry + 2 + (big_endian ? 1 : 0);
    const std::size_t count = kOrientationEntry + 4 + (big_endian ? 3 : 0);
    for (Bytes entry : {testsupport::ExifWithOrientation(7, big_endian), testsupport::ExifWithOrientation(9, big_endian),
                        With(testsupport::ExifWithOrientation(6, big_endian), type, {4}),
                        With(testsupport::ExifWithOrientation(6, big_endian), count, {2})}) {
      ASSERT_TRUE(engine::WriteExifOrientation(entry, 1));
      EXPECT_EQ(entry, upright);
    }
  }
}

}  // namespace

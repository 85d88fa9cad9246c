// A picture loaded to be looked at stands upright by each of the eight EXIF
// orientations, with the size it has upright.

#include "engine/convert/UprightPicture.h"

#include "PictureFiles.h"
#include "TestSupport.h"

namespace {

class UprightPicture : public ::testing::TestWithParam<int> {};

// Stored 6 x 3 with every pixel told apart: upright, pixel (x, y) is the
// stored pixel the orientation says, and 5 to 8 stand 3 x 6.
TEST_P(UprightPicture, IsTurnedAndMirroredAsTheOrientationSays) {
  const int orientation = GetParam();
  const int w = 6, h = 3;
  const img::Bitmap stored = testsupport::GradientBitmap(w, h);
  testsupport::TempDir tmp;
  engine::PictureMetadata metadata;
  metadata.exif = testsupport::ExifWithOrientation(orientation);
  testsupport::WritePictureWith(stored, metadata, tmp / "p.png");

  img::Bitmap picture;
  const engine::PictureSize size = engine::LoadUprightPicture(img::PathToUtf8(tmp / "p.png"), picture);
  const bool sideways = orientation >= 5;
  EXPECT_EQ(size.width, sideways ? h : w);
  EXPECT_EQ(size.height, sideways ? w : h);
  ASSERT_EQ(picture.width(), size.width);
  ASSERT_EQ(picture.height(), size.height);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const int mx = picture.width() - 1 - x, my = picture.height() - 1 - y;
      const std::pair<int, int> from[] = {{x, y},   {mx, y},  {mx, my}, {x, my},
                                          {y, x},   {y, mx},  {my, mx}, {my, x}};
      const auto [sx, sy] = from[orientation - 1];
      EXPECT_EQ(picture.PixelColor(x, y), stored.PixelColor(sx, sy)) << "at " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Orientations, UprightPicture, ::testing::Range(1, 9),
                         [](const auto& info) { return "Orientation" + std::to_string(info.param); });

}  // namespace

// The settable pixel limit the loaders check before allocating: lowered, it
// refuses what it would otherwise accept, with the usual TooLarge error.

#include "TestSupport.h"
#include "imaging/Bitmap.h"
#include "platform/ImageError.h"

namespace {

class PixelLimitTest : public ::testing::Test {
 protected:
  ~PixelLimitTest() override { img::SetPixelLimit(img::kMaxPixels); }
};

img::ErrorCode CodeOf(long long width, long long height) {
  try {
    img::CheckPictureSize(width, height);
  } catch (const img::ImageError& e) {
    return e.code();
  }
  return img::ErrorCode::InvalidArgument;  // stands for "accepted"
}

TEST_F(PixelLimitTest, DefaultIsTheProgramLimit) {
  EXPECT_EQ(img::PixelLimit(), img::kMaxPixels);
  EXPECT_EQ(CodeOf(65535, 2048), img::ErrorCode::InvalidArgument);
  EXPECT_EQ(CodeOf(65535, 2049), img::ErrorCode::TooLarge);
}

TEST_F(PixelLimitTest, LoweredLimitRefusesLargerPicturesAndClamps) {
  img::SetPixelLimit(100);
  EXPECT_EQ(CodeOf(10, 10), img::ErrorCode::InvalidArgument);
  EXPECT_EQ(CodeOf(10, 11), img::ErrorCode::TooLarge);
  EXPECT_EQ(CodeOf(0, 5), img::ErrorCode::Format);

  img::SetPixelLimit(0);
  EXPECT_EQ(img::PixelLimit(), 1);
  img::SetPixelLimit(img::kMaxPixels * 4);
  EXPECT_EQ(img::PixelLimit(), img::kMaxPixels);
}

TEST_F(PixelLimitTest, LoaderRefusesPictureOverLoweredLimitAndKeepsOldPicture) {
  const std::vector<std::uint8_t> file = testsupport::GradientBitmap(11, 10).EncodeBmp();
  img::Bitmap picture(2, 3);
  img::SetPixelLimit(100);
  try {
    picture.LoadFromMemory(file);
    FAIL() << "loaded over the limit";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::TooLarge);
  }
  EXPECT_EQ(picture.width(), 2);
  img::SetPixelLimit(110);
  picture.LoadFromMemory(file);
  EXPECT_EQ(picture.width(), 11);
}

}  // namespace

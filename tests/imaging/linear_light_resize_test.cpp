#include "imaging/LinearLightResize.h"

#include <cstring>
#include <random>
#include <set>

#include "ReferenceResize.h"
#include "TestSupport.h"
#include "platform/ImageError.h"

namespace img {

void PrintTo(ResizeKernel kernel, std::ostream* os) { *os << (kernel == ResizeKernel::Lanczos3 ? "Lanczos3" : "Mitchell"); }

}  // namespace img

using img::Bitmap;
using img::ResizeKernel;

namespace {

class LinearLightResize : public ::testing::TestWithParam<ResizeKernel> {};

// Noise through unequal ratios, edges included: within one step of the
// direct evaluation. White stays 255, and 1-pixel lines keep their light,
// where the exact shrink gives 254 and aliases.
TEST_P(LinearLightResize, MatchesTheDirectEvaluationAndKeepsTheLight) {
  Bitmap noise(45, 31), result;
  std::mt19937 random(7);
  for (int y = 0; y < 31; ++y) std::generate_n(noise.ScanLine(y), 135, [&] { return random(); });
  for (auto [w, h] : {std::pair{13, 9}, {45, 7}, {1, 1}}) {
    img::ResizeLinearLight(noise, result, w, h, GetParam());
    EXPECT_LE(testsupport::MaxChannelDifference(result, testsupport::ReferenceResize(noise, w, h, GetParam())), 1);
  }
  Bitmap lines(120, 120);
  for (int y = 0; y < 120; y += 2) std::fill_n(lines.ScanLine(y), 360, 0);
  img::ResizeLinearLight(lines, result, 41, 41, GetParam());
  double light = 0;
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 123; ++x) light += testsupport::SrgbToLinear(result.ScanLine(y)[x]) / (41 * 123);
  EXPECT_NEAR(light, 0.5, 0.005);
  Bitmap white(57, 43);
  img::ResizeLinearLight(white, result, 20, 15, GetParam());
  EXPECT_EQ(testsupport::MaxChannelDifference(result, Bitmap(20, 15)), 0);
}

// Opaque red beside transparent black: what keeps any opacity is pure red
// (a transparent pixel lends no colour), and the edge fades.
TEST_P(LinearLightResize, WeighsColoursByAlpha) {
  Bitmap source(40, 40, img::PixelFormat::Bits32Alpha), result;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) std::memcpy(source.ScanLine(y) + 4 * x, x < 20 ? "\0\0\xFF\xFF" : "\0\0\0\0", 4);
  img::ResizeLinearLight(source, result, 15, 15, GetParam());
  ASSERT_EQ(result.format(), img::PixelFormat::Bits32Alpha);
  std::set<int> alphas;
  for (const std::uint8_t* p = result.ScanLine(7); p < result.ScanLine(7) + 60; p += 4) {
    alphas.insert(p[3]);
    EXPECT_TRUE(p[3] == 0 || (p[0] <= 1 && p[1] <= 1 && p[2] >= 254)) << int(p[0]) << " " << int(p[2]);
  }
  EXPECT_GT(alphas.size(), 2u);
}

// A grey picture stays grey, each level what its 24-bit copy gets.
TEST_P(LinearLightResize, KeepsAGreyPictureGrey) {
  Bitmap grey = testsupport::GreyGradientBitmap(45, 31), colour = grey, result, want;
  colour.ConvertTo24();
  img::ResizeLinearLight(grey, result, 13, 9, GetParam());
  img::ResizeLinearLight(colour, want, 13, 9, GetParam());
  ASSERT_TRUE(result.IsGrey());
  EXPECT_EQ(testsupport::MaxChannelDifference(result, want), 0);
}

// A tall picture squeezed to a line would take the kernel's reach in rows
// of working memory for every target column: it is made in bands of
// columns, each within tens of MiB, and comes out as one call makes it.
// Its rows are alike, so the line is the row resized across, as a short
// picture of the same rows gives it in one call.
TEST_P(LinearLightResize, ATallPictureSqueezedToALineIsMadeInBandsAsInOne) {
  const bool lanczos = GetParam() == ResizeKernel::Lanczos3;
  const int width = lanczos ? 1000 : 1300, height = lanczos ? 1000 : 1200;
  const std::uint64_t bytes = img::ResizeWorkingBytes(width, height, width - 1, 1, 3, GetParam());
  EXPECT_GT(bytes, 0u);
  EXPECT_LE(bytes, std::uint64_t{64} << 20);
  Bitmap tall(width, height), shallow(width, 8), banded, whole;
  std::mt19937 random(11);
  std::generate_n(tall.ScanLine(0), 3 * width, [&] { return random(); });
  for (int y = 1; y < height; ++y) std::copy_n(tall.ScanLine(0), 3 * width, tall.ScanLine(y));
  for (int y = 0; y < 8; ++y) std::copy_n(tall.ScanLine(0), 3 * width, shallow.ScanLine(y));
  img::ResizeLinearLight(tall, banded, width - 1, 1, GetParam());
  img::ResizeLinearLight(shallow, whole, width - 1, 1, GetParam());
  EXPECT_LE(testsupport::MaxChannelDifference(banded, whole), 1);
}

INSTANTIATE_TEST_SUITE_P(Kernels, LinearLightResize, ::testing::Values(ResizeKernel::Mitchell, ResizeKernel::Lanczos3),
                         testsupport::ByValue());

// A tall picture squeezed to a line would need the kernel's reach in rows
// of working memory: refused before anything is allocated.
TEST(LinearLightResizeLimits, FarMoreMemoryThanThePicturesIsRefused) {
  Bitmap tall(2000, 1000), result;
  try {
    img::ResizeLinearLight(tall, result, 2000, 1, ResizeKernel::Lanczos3);
    ADD_FAILURE() << "resized";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::TooLarge);
  }
}

}  // namespace

// The WebP loader on files libwebp itself makes: transparency as the PNG
// loader settles it, and sizes past the pixel limit refused before decoding.
#include "engine/formats/webp/WebpImage.h"

#include <webp/encode.h>

#include "TestSupport.h"
#include "platform/ImageError.h"

namespace {

std::vector<std::uint8_t> EncodeBgraLossless(const std::vector<std::uint8_t>& bgra, int width, int height) {
  std::uint8_t* out = nullptr;
  const std::size_t size = WebPEncodeLosslessBGRA(bgra.data(), width, height, width * 4, &out);
  std::vector<std::uint8_t> bytes(out, out + size);
  WebPFree(out);
  return bytes;
}

TEST(WebpImage, AlphaIsKeptAndLaysOverWhiteAsForPng) {
  // Opaque, clear, half and a quarter covered: b, g, r, a.
  const std::vector<std::uint8_t> bgra = {10, 20, 30, 255, 10, 20, 30, 0, 0, 100, 200, 128, 40, 0, 255, 64};
  engine::WebpImage codec;
  img::Bitmap picture;
  codec.LoadFromMemory(EncodeBgraLossless(bgra, 4, 1), picture);
  ASSERT_EQ(picture.format(), img::PixelFormat::Bits32Alpha);
  // Lossless keeps every pixel but the clear one's colour, which libwebp drops.
  for (int x : {0, 2, 3}) EXPECT_EQ(std::memcmp(picture.ScanLine(0) + 4 * x, &bgra[4 * x], 4), 0) << x;
  EXPECT_EQ(picture.ScanLine(0)[7], 0);
  picture.ConvertTo24();
  const std::uint8_t* row = picture.ScanLine(0);
  // (a*c + (255-a)*255 + 127) / 255
  EXPECT_EQ(std::vector<std::uint8_t>(row, row + 12),
            (std::vector<std::uint8_t>{10, 20, 30, 255, 255, 255, 127, 177, 227, 201, 191, 255}));
}

TEST(WebpImage, ASizePastThePixelLimitIsRefusedAndLeavesThePictureAlone) {
  engine::WebpImage codec;
  std::vector<std::uint8_t> file = codec.Encode(testsupport::GradientBitmap(5, 3), 0, true);
  // A lossless file's header: 14 bits width-1, 14 bits height-1 after the
  // signature byte 0x2f at offset 20. 16383 x 16383 is 268 M pixels.
  ASSERT_EQ(file.at(20), 0x2f);
  const std::uint32_t bits = 16382u | 16382u << 14;
  for (int i = 0; i < 4; ++i) file[21 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  img::Bitmap untouched = testsupport::GradientBitmap(2, 2);
  try {
    codec.LoadFromMemory(file, untouched);
    ADD_FAILURE() << "a 16383 x 16383 picture was decoded";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::TooLarge) << e.what();
  }
  EXPECT_EQ(testsupport::MaxChannelDifference(untouched, testsupport::GradientBitmap(2, 2)), 0);
}

// The default effort is what libwebp's one-call encoders write, so files
// made before the effort could be chosen stay as they were; other efforts
// make other files of the same picture.
TEST(WebpImage, DefaultEffortWritesTheOneCallEncodersBytes) {
  const img::Bitmap picture = testsupport::GradientBitmap(48, 40);
  const img::Bitmap with_alpha = testsupport::AlphaGradientBitmap(48, 40);
  const auto one_call = [](const img::Bitmap& p, bool lossless) {
    std::uint8_t* out = nullptr;
    const int w = p.width(), h = p.height(), stride = static_cast<int>(p.stride());
    const bool alpha = img::HasAlpha(p.format());
    const std::size_t size = alpha ? (lossless ? WebPEncodeLosslessBGRA(p.ScanLine(0), w, h, stride, &out)
                                               : WebPEncodeBGRA(p.ScanLine(0), w, h, stride, 75, &out))
                                   : (lossless ? WebPEncodeLosslessBGR(p.ScanLine(0), w, h, stride, &out)
                                               : WebPEncodeBGR(p.ScanLine(0), w, h, stride, 75, &out));
    std::vector<std::uint8_t> bytes(out, out + size);
    WebPFree(out);
    return bytes;
  };
  engine::WebpImage codec;
  for (const img::Bitmap* p : {&picture, &with_alpha})
    for (bool lossless : {false, true}) {
      SCOPED_TRACE(std::string(p == &picture ? "opaque" : "alpha") + (lossless ? " lossless" : " lossy"));
      const std::vector<std::uint8_t> by_default = codec.Encode(*p, 75, lossless);
      EXPECT_EQ(by_default, one_call(*p, lossless));
      EXPECT_NE(codec.Encode(*p, 75, lossless, 0), by_default);
    }
}

}  // namespace

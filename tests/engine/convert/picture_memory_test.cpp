// A picture's need told from made-up headers: at least what the decoder
// holds for such a file by its design (file, picture, whole-picture buffers),
// and not much more.

#include <cstdint>
#include <string>
#include <vector>

#include "PngBytes.h"
#include "TestSupport.h"
#include "engine/convert/PictureMemory.h"
#include "platform/FileIO.h"
#include "imaging/LinearLightResize.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kWidth = 1600, kHeight = 1200;
constexpr std::uint64_t kPixels = kWidth * kHeight;
constexpr std::uint64_t kPicture = kPixels * 3;  // 24-bit rows, 1600 x 3 already a multiple of four

Bytes Png(std::uint32_t width, std::uint32_t height, int colour, bool interlaced, bool trns = false) {
  Bytes file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  testsupport::PutBigEndian32(ihdr, width);
  testsupport::PutBigEndian32(ihdr, height);
  for (int b : {8, colour, 0, 0, interlaced ? 1 : 0}) ihdr.push_back(static_cast<std::uint8_t>(b));
  testsupport::AppendPngChunk(file, "IHDR", ihdr);
  if (trns) testsupport::AppendPngChunk(file, "tRNS", {0, 0, 0, 0, 0, 0});
  testsupport::AppendPngChunk(file, "IDAT", Bytes(32, 0));
  return file;
}

// SOI, a frame of three components sampled 4:2:0 (or one grey component),
// and the first scan's header: all libjpeg reads before the pixels.
Bytes Jpeg(bool progressive, bool grey = false) {
  const auto hi = [](std::uint64_t v) { return static_cast<std::uint8_t>(v >> 8); };
  const auto lo = [](std::uint64_t v) { return static_cast<std::uint8_t>(v); };
  const auto sof = static_cast<std::uint8_t>(progressive ? 0xC2 : 0xC0);
  const auto se = static_cast<std::uint8_t>(progressive ? 0 : 63);
  if (grey)
    return Bytes{0xFF, 0xD8, 0xFF, sof, 0, 11, 8, hi(kHeight), lo(kHeight), hi(kWidth), lo(kWidth), 1, 1, 0x11, 0,
                 0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, se, 0};
  return Bytes{0xFF, 0xD8, 0xFF, sof, 0, 17, 8,
               hi(kHeight), lo(kHeight), hi(kWidth), lo(kWidth), 3, 1, 0x22, 0, 2, 0x11, 0, 3, 0x11, 0,
               0xFF, 0xDA, 0, 12, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, se, 0};
}

// The JPEG with an APP1 marker of EXIF data of that orientation after SOI.
Bytes WithOrientation(Bytes jpeg, int orientation) {
  const Bytes exif = testsupport::ExifWithOrientation(orientation);
  const std::size_t length = 2 + 6 + exif.size();
  Bytes marker{0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length),
               'E', 'x', 'i', 'f', 0, 0};
  marker.insert(marker.end(), exif.begin(), exif.end());
  jpeg.insert(jpeg.begin() + 2, marker.begin(), marker.end());
  return jpeg;
}

// Rows stored bottom-up, or top-down (a negative height).
Bytes Bmp32(bool topDown = false) {
  Bytes file(54, 0);
  file[0] = 'B', file[1] = 'M', file[10] = 54, file[14] = 40;
  const std::uint32_t height = topDown ? 0u - static_cast<std::uint32_t>(kHeight) : kHeight;
  for (int i = 0; i < 4; ++i) {
    file[18 + i] = static_cast<std::uint8_t>(kWidth >> (8 * i));
    file[22 + i] = static_cast<std::uint8_t>(height >> (8 * i));
  }
  file[26] = 1, file[28] = 32;
  return file;
}

struct NeedCase {
  const char* name;
  Bytes file;
  const char* extension;
  std::uint64_t held;  // what the decoder holds besides the file itself
  bool turnToJpeg = false;
  bool codedTurn = false;  // the turn kept in the coded data (imgbatch's default)
  friend void PrintTo(const NeedCase& c, std::ostream* os) { *os << c.name; }
};

class PictureNeed : public testing::TestWithParam<NeedCase> {};

TEST_P(PictureNeed, CoversWhatTheDecoderHoldsAndLittleMore) {
  const NeedCase& c = GetParam();
  testsupport::TempDir tmp;
  const std::filesystem::path path = tmp / (std::string("picture") + c.extension);
  testsupport::WriteFile(path, std::string(c.file.begin(), c.file.end()));
  engine::ConversionOptions options = testsupport::TickedFormats(false, false, false, true);
  if (c.turnToJpeg) {
    options.rotation = 1;
    options.targets.Set("jpg", true);
    options.jpegLosslessTurn = c.codedTurn;
  }
  const std::uint64_t least = c.file.size() + c.held;
  const std::uint64_t need = engine::EstimatedNeedBytes(img::PathToUtf8(path), options);
  EXPECT_GE(need, least);
  EXPECT_LE(need, least + c.held / 4);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, PictureNeed,
    testing::Values(
        // Transparency: decoded straight into a picture of 4 bytes a pixel.
        NeedCase{"InterlacedRgbaPng", Png(kWidth, kHeight, 6, true), ".png", kPixels * 4},
        NeedCase{"InterlacedRgbPngWithTransparentColour", Png(kWidth, kHeight, 2, true, true), ".png",
                 kPixels * 4},
        NeedCase{"PlainRgbaPng", Png(kWidth, kHeight, 6, false), ".png", kPixels * 4},
        NeedCase{"InterlacedRgbPng", Png(kWidth, kHeight, 2, true), ".png", kPicture},
        // Progressive: 2 bytes per coefficient, the chroma at a quarter.
        NeedCase{"ProgressiveJpeg", Jpeg(true), ".jpg", kPicture + kPixels * 3},
        NeedCase{"BaselineJpeg", Jpeg(false), ".jpeg", kPicture},
        // Turned: a second picture; to JPEG: the encoded bytes.
        NeedCase{"BaselineJpegTurnedToJpeg", Jpeg(false), ".jpg", kPicture * 2 + kPicture / 2, true},
        // Turned upright as its EXIF says; upright already, it is not.
        NeedCase{"BaselineJpegLyingOnItsSide", WithOrientation(Jpeg(false), 6), ".jpg", kPicture * 2},
        NeedCase{"BaselineJpegUpright", WithOrientation(Jpeg(false), 1), ".jpg", kPicture},
        // Grey: a byte a pixel, turned and encoded as such.
        NeedCase{"GreyJpegTurnedToJpeg", Jpeg(false, true), ".jpg", kPixels * 2 + kPixels / 2, true},
        // Turned in the coded data as well: two coefficient arrays, every
        // sample counted at full size (4:4:4 at most).
        NeedCase{"BaselineJpegTurnedInItsCodedData", Jpeg(false), ".jpg",
                 kPicture * 2 + kPicture / 2 + kPixels * 3 * 4 + 2 * Jpeg(false).size(), true, true},
        NeedCase{"GreyJpegTurnedInItsCodedData", Jpeg(false, true), ".jpg",
                 kPixels * 2 + kPixels / 2 + kPixels * 4 + 2 * Jpeg(false, true).size(), true, true},
        NeedCase{"Bmp32", Bmp32(), ".bmp", kPixels * 4},
        NeedCase{"TopDownBmp32", Bmp32(true), ".bmp", kPixels * 4},
        NeedCase{"PngCutInItsHeader", testsupport::Cut(Png(kWidth, kHeight, 6, true), 20), ".png", 0},
        NeedCase{"PngOfHostileSize", Png(0x7FFFFFFF, 0x7FFFFFFF, 6, true), ".png", 0},
        NeedCase{"NotAJpeg", Bytes(100, 'x'), ".jpg", 0}),
    [](const testing::TestParamInfo<NeedCase>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// A tall picture squeezed to a few lines by a smooth kernel: the resampler's
// working memory is counted on top of what the exact shrink needs, and it
// is that of a resize made in bands, tens of MiB rather than gigabytes.
struct KernelCase {
  const char* name;
  engine::ResizeFilter filter;
  img::ResizeKernel kernel;
  friend void PrintTo(const KernelCase& c, std::ostream* os) { *os << c.name; }
};

class SmoothResizeNeed : public testing::TestWithParam<KernelCase> {};

TEST_P(SmoothResizeNeed, CountsTheResamplersWorkingMemory) {
  testsupport::TempDir tmp;
  const Bytes file = Png(2000, 65000, 2, false);
  testsupport::WriteFile(tmp / "tall.png", std::string(file.begin(), file.end()));
  engine::ConversionOptions options = testsupport::TickedFormats(false, false, false, true);
  options.resize.to = engine::SizeBoxes{2000, 8};
  const std::uint64_t exact = engine::EstimatedNeedBytes(img::PathToUtf8(tmp / "tall.png"), options);
  options.resize.filter = GetParam().filter;
  const std::uint64_t smooth = engine::EstimatedNeedBytes(img::PathToUtf8(tmp / "tall.png"), options);
  const std::uint64_t resampler = img::ResizeWorkingBytes(2000, 65000, 2000, 8, 3, GetParam().kernel);
  EXPECT_EQ(smooth - exact, resampler);
  EXPECT_GT(resampler, std::uint64_t{16} << 20);
  EXPECT_LE(resampler, std::uint64_t{64} << 20);
}

INSTANTIATE_TEST_SUITE_P(Kernels, SmoothResizeNeed,
                         testing::Values(KernelCase{"Lanczos", engine::ResizeFilter::Lanczos, img::ResizeKernel::Lanczos3},
                                         KernelCase{"Mitchell", engine::ResizeFilter::Mitchell, img::ResizeKernel::Mitchell}),
                         [](const testing::TestParamInfo<KernelCase>& info) { return std::string(info.param.name); });

}  // namespace

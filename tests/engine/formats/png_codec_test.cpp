#include <png.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <map>
#include <random>

#include "PngBytes.h"
#include "TestSupport.h"
#include "engine/formats/png/PngImage.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

namespace fs = std::filesystem;
using engine::PngImage;
using img::Bitmap;
using img::PaletteEntry;
using img::PixelFormat;
using testsupport::BigEndian32;
using testsupport::ExpectSameColours;
using testsupport::InflateAll;
using testsupport::JoinedIdat;
using testsupport::PngChunk;
using testsupport::PngChunks;
using testsupport::WriteWithLibpng;

namespace {

struct Ihdr {
  std::uint32_t width, height;
  int depth, colour_type, interlace;
};

Ihdr ReadIhdr(const std::vector<PngChunk>& chunks) {
  const std::vector<std::uint8_t>& d = chunks.at(0).data;
  EXPECT_EQ(chunks.at(0).type, "IHDR");
  return {BigEndian32(&d[0]), BigEndian32(&d[4]), d[8], d[9], d[12]};
}

// A picture with every palette index of its depth in use (or varied colours).
Bitmap Sample(PixelFormat format, int width, int height) {
  if (!img::HasPalette(format)) {
    Bitmap bmp = testsupport::GradientBitmap(width, height);
    bmp.SetPixelFormat(format);
    return bmp;
  }
  Bitmap bmp(width, height, format);
  const int entries = 1 << img::BitsPerPixel(format);
  for (int i = 0; i < entries; ++i)
    bmp.palette().push_back({static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(255 - i),
                             static_cast<std::uint8_t>(i * 13), 0});
  const std::size_t used = (static_cast<std::size_t>(width) * img::BitsPerPixel(format) + 7) / 8;
  for (int y = 0; y < height; ++y)
    for (std::size_t i = 0; i < used; ++i) bmp.ScanLine(y)[i] = static_cast<std::uint8_t>(y * 31 + i * 17);
  return bmp;
}

fs::path SuiteDir() { return testsupport::TestDataDir() / "pngsuite"; }

// --- encoder ------------------------------------------------------------------

struct FormatCase {
  PixelFormat format;
  int depth;
  int colour_type;
  friend void PrintTo(const FormatCase& c, std::ostream* os) { img::PrintTo(c.format, os); }
};

class PngEncodeFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PngEncodeFormat, ColourTypeDepthUnfilteredRowsAndExactRoundTrip) {
  const FormatCase& c = GetParam();
  for (auto [w, h] : {std::pair{37, 11}, std::pair{1, 1}, std::pair{64, 3}}) {
    const Bitmap picture = Sample(c.format, w, h);
    const Bitmap before = picture;
    PngImage codec;
    const std::vector<std::uint8_t> file = codec.Encode(picture);
    const std::vector<PngChunk> chunks = PngChunks(file);
    ASSERT_FALSE(chunks.empty());
    const Ihdr ihdr = ReadIhdr(chunks);
    EXPECT_EQ(ihdr.width, std::uint32_t(w));
    EXPECT_EQ(ihdr.height, std::uint32_t(h));
    EXPECT_EQ(ihdr.depth, c.depth);
    EXPECT_EQ(ihdr.colour_type, c.colour_type);
    EXPECT_EQ(ihdr.interlace, 0);
    EXPECT_EQ(chunks.back().type, "IEND");

    const std::size_t row_bytes = (std::size_t(w) * c.depth * (c.colour_type == 2 ? 3 : 1) + 7) / 8;
    const std::vector<std::uint8_t> raw = InflateAll(JoinedIdat(chunks));
    ASSERT_EQ(raw.size(), (row_bytes + 1) * h);
    for (int y = 0; y < h; ++y) EXPECT_EQ(raw[y * (row_bytes + 1)], 0) << "filter byte of row " << y;

    Bitmap back;
    codec.LoadFromMemory(file, back);
    EXPECT_EQ(back.format(), img::HasPalette(c.format) ? c.format : PixelFormat::Bits24);
    if (img::HasPalette(c.format)) {
      EXPECT_EQ(back.palette(), picture.palette());
    }
    ExpectSameColours(back, picture, std::to_string(w) + "x" + std::to_string(h));
    for (int y = 0; y < h; ++y)  // the caller's picture is untouched
      EXPECT_EQ(std::memcmp(picture.ScanLine(y), before.ScanLine(y), picture.stride()), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, PngEncodeFormat,
                         ::testing::Values(FormatCase{PixelFormat::Bits1, 1, 3},
                                           FormatCase{PixelFormat::Bits4, 4, 3},
                                           FormatCase{PixelFormat::Bits8, 8, 3},
                                           FormatCase{PixelFormat::Bits15, 8, 2},
                                           FormatCase{PixelFormat::Bits16, 8, 2},
                                           FormatCase{PixelFormat::Bits24, 8, 2},
                                           FormatCase{PixelFormat::Bits32, 8, 2}),
                         testsupport::ByValue());

TEST(PngEncode, RowsOfALargePictureAreAllUnfiltered) {
  PngImage codec;
  const Bitmap picture = testsupport::GradientBitmap(500, 300);  // many IDAT chunks
  const std::vector<PngChunk> chunks = PngChunks(codec.Encode(picture));
  const std::vector<std::uint8_t> raw = InflateAll(JoinedIdat(chunks));
  ASSERT_EQ(raw.size(), 300u * 1501);
  int filtered = 0;
  for (int y = 0; y < 300; ++y) filtered += raw[y * 1501] != 0;
  EXPECT_EQ(filtered, 0);
  // the stored bytes are the pixels in r, g, b order
  EXPECT_EQ(raw[1 + 3 * 5], picture.ScanLine(0)[3 * 5 + 2]);
  EXPECT_EQ(raw[1 + 3 * 5 + 2], picture.ScanLine(0)[3 * 5]);
}

TEST(PngEncode, SamePictureGivesSameBytes) {
  PngImage codec;
  const Bitmap picture = testsupport::GradientBitmap(120, 80);
  const std::vector<std::uint8_t> first = codec.Encode(picture);
  codec.Encode(Sample(PixelFormat::Bits4, 9, 9));
  EXPECT_EQ(codec.Encode(picture), first);
  EXPECT_THROW(codec.Encode(Bitmap()), img::ImageError);
}

// A palette shorter than the indices in use is padded with black entries
// (the colour such pixels show), and a longer one is cut to what the depth holds.
TEST(PngEncode, PaletteCoversEveryIndexUsed) {
  PngImage codec;
  Bitmap picture(4, 1, PixelFormat::Bits8);
  picture.palette() = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  picture.ScanLine(0)[0] = 1;
  picture.ScanLine(0)[1] = 5;
  std::vector<PngChunk> chunks = PngChunks(codec.Encode(picture));
  ASSERT_EQ(chunks.at(1).type, "PLTE");
  EXPECT_EQ(chunks[1].data.size(), 6u * 3);
  Bitmap back;
  codec.LoadFromMemory(codec.Encode(picture), back);
  ExpectSameColours(back, picture, "short palette");

  Bitmap empty_palette(3, 2, PixelFormat::Bits1);
  chunks = PngChunks(codec.Encode(empty_palette));
  ASSERT_EQ(chunks.at(1).type, "PLTE");
  EXPECT_EQ(chunks[1].data.size(), 3u);

  Bitmap long_palette(3, 2, PixelFormat::Bits1);
  long_palette.palette().resize(256);
  chunks = PngChunks(codec.Encode(long_palette));
  EXPECT_EQ(chunks.at(1).data.size(), 2u * 3);
}

// --- decoder: PngSuite ----------------------------------------------------------

TEST(PngSuite, EveryValidFileLoadsAndEveryCorruptOneIsRefused) {
  SKIP_WITHOUT_TESTDATA();
  PngImage codec;
  int loaded = 0, refused = 0;
  for (const auto& entry : fs::directory_iterator(SuiteDir())) {
    if (entry.path().extension() != ".png") continue;
    const std::string name = entry.path().filename().string();
    const bool corrupt = name[0] == 'x';
    Bitmap picture = testsupport::GradientBitmap(2, 3);
    try {
      codec.Load(entry.path(), picture);
      EXPECT_FALSE(corrupt) << name << " should be refused";
      EXPECT_FALSE(picture.empty());
      ++loaded;
    } catch (const img::ImageError& e) {
      EXPECT_TRUE(corrupt) << name << ": " << e.what();
      EXPECT_EQ(picture.width(), 2) << "picture changed by a failed load";
      ++refused;
    }
  }
  EXPECT_EQ(refused, 14);
  EXPECT_GT(loaded, 150);
}

struct SuiteFormat {
  const char* name;
  PixelFormat format;
  friend void PrintTo(const SuiteFormat& c, std::ostream* os) { *os << c.name; }
};

class PngSuiteFormat : public ::testing::TestWithParam<SuiteFormat> {};

// Interlaced and plain files of the same picture give the same pixels, in the
// pixel format their colour type and depth call for.
TEST_P(PngSuiteFormat, InterlacedAndPlainAgree) {
  SKIP_WITHOUT_TESTDATA();
  const std::string name = GetParam().name;
  PngImage codec;
  Bitmap plain, interlaced;
  codec.Load(SuiteDir() / (name.substr(0, 3) + "n" + name.substr(3) + ".png"), plain);
  codec.Load(SuiteDir() / (name.substr(0, 3) + "i" + name.substr(3) + ".png"), interlaced);
  EXPECT_EQ(plain.format(), GetParam().format);
  EXPECT_EQ(interlaced.format(), GetParam().format);
  EXPECT_EQ(plain.palette(), interlaced.palette());
  ExpectSameColours(plain, interlaced, name);
  const std::size_t used = (std::size_t(plain.width()) * img::BitsPerPixel(plain.format()) + 7) / 8;
  for (int y = 0; y < plain.height() && y < interlaced.height(); ++y)
    EXPECT_EQ(std::memcmp(plain.ScanLine(y), interlaced.ScanLine(y), used), 0) << name << " row " << y;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, PngSuiteFormat,
    ::testing::Values(SuiteFormat{"bas0g01", PixelFormat::Bits8}, SuiteFormat{"bas0g02", PixelFormat::Bits8},
                      SuiteFormat{"bas0g04", PixelFormat::Bits8}, SuiteFormat{"bas0g08", PixelFormat::Bits8},
                      SuiteFormat{"bas0g16", PixelFormat::Bits8}, SuiteFormat{"bas2c08", PixelFormat::Bits24},
                      SuiteFormat{"bas2c16", PixelFormat::Bits24}, SuiteFormat{"bas3p01", PixelFormat::Bits1},
                      SuiteFormat{"bas3p02", PixelFormat::Bits4}, SuiteFormat{"bas3p04", PixelFormat::Bits4},
                      SuiteFormat{"bas3p08", PixelFormat::Bits8}, SuiteFormat{"bas4a08", PixelFormat::Bits32Alpha},
                      SuiteFormat{"bas4a16", PixelFormat::Bits32Alpha}, SuiteFormat{"bas6a08", PixelFormat::Bits32Alpha},
                      SuiteFormat{"bas6a16", PixelFormat::Bits32Alpha}, SuiteFormat{"s013p01", PixelFormat::Bits1},
                      SuiteFormat{"s053p02", PixelFormat::Bits4}, SuiteFormat{"s093p02", PixelFormat::Bits4},
                      SuiteFormat{"s333p04", PixelFormat::Bits4}, SuiteFormat{"s403p04", PixelFormat::Bits4}),
    testsupport::ByName());

TEST(PngSuite, GreyLevelsAreScaledToEightBits) {
  SKIP_WITHOUT_TESTDATA();
  PngImage codec;
  Bitmap one_bit, two_bit;
  codec.Load(SuiteDir() / "basn0g01.png", one_bit);
  codec.Load(SuiteDir() / "basn0g02.png", two_bit);
  ASSERT_EQ(one_bit.palette().size(), 256u);
  for (int y = 0; y < one_bit.height(); ++y)
    for (int x = 0; x < one_bit.width(); ++x) {
      const std::uint8_t v = one_bit.ScanLine(y)[x];
      EXPECT_TRUE(v == 0 || v == 255);
      const std::uint8_t w = two_bit.ScanLine(y)[x];
      EXPECT_EQ(w % 85, 0);
    }
  EXPECT_EQ(one_bit.PixelColor(0, 0), (PaletteEntry{255, 255, 255, 0}));  // the suite's 1-bit picture starts white
}

// An independent reading through libpng's simplified interface: wherever it
// finds a fully transparent pixel, the loaded picture laid over white has
// white.
TEST(PngSuite, TransparencyIsKeptAndLaysOverWhite) {
  SKIP_WITHOUT_TESTDATA();
  PngImage codec;
  int transparent = 0;
  for (const char* name : {"tbbn0g04", "tbbn2c16", "tbbn3p08", "tbgn2c16", "tbgn3p08", "tbrn2c08",
                           "tbwn0g16", "tbwn3p08", "tbyn3p08", "tm3n3p02", "tp1n3p08", "bgan6a08",
                           "bgai4a08", "basn4a08", "basn6a16"}) {
    const fs::path path = SuiteDir() / (std::string(name) + ".png");
    Bitmap picture;
    codec.Load(path, picture);
    ASSERT_EQ(picture.format(), PixelFormat::Bits32Alpha) << name;
    picture.ConvertTo24();

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const std::vector<std::uint8_t> bytes = img::ReadWholeFile(path);
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) << name;
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint8_t> bgra(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, bgra.data(), 0, nullptr)) << name;
    ASSERT_EQ(int(image.width), picture.width());
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const std::uint8_t alpha = bgra[(std::size_t(y) * image.width + x) * 4 + 3];
        if (alpha == 0) {
          ++transparent;
          ASSERT_EQ(picture.PixelColor(x, y), (PaletteEntry{255, 255, 255, 0})) << name << " " << x << "," << y;
        }
      }
  }
  EXPECT_GT(transparent, 1000);
}

// --- decoder: pictures made here ----------------------------------------------

std::uint8_t OverWhite(int c, int a) { return static_cast<std::uint8_t>((a * c + (255 - a) * 255 + 127) / 255); }

TEST(PngDecode, AlphaIsKeptAndBlendsOverWhiteExactly) {
  // r, g, b, a for every alpha with a few colours
  std::vector<std::uint8_t> rgba;
  for (int a = 0; a < 256; ++a) rgba.insert(rgba.end(), {std::uint8_t(a), 0, 200, std::uint8_t(a)});
  PngImage codec;
  Bitmap picture;
  codec.LoadFromMemory(WriteWithLibpng(PNG_FORMAT_RGBA, 256, 1, rgba), picture);
  ASSERT_EQ(picture.format(), PixelFormat::Bits32Alpha);
  for (int a = 0; a < 256; ++a)
    ASSERT_EQ(picture.PixelColor(a, 0), (PaletteEntry{200, 0, std::uint8_t(a), std::uint8_t(a)})) << "alpha " << a;
  picture.ConvertTo24();
  for (int a = 0; a < 256; ++a)
    ASSERT_EQ(picture.PixelColor(a, 0), (PaletteEntry{OverWhite(200, a), OverWhite(0, a), OverWhite(a, a), 0}))
        << "alpha " << a;

  std::vector<std::uint8_t> ga;
  for (int a = 0; a < 256; ++a) ga.insert(ga.end(), {std::uint8_t(255 - a), std::uint8_t(a)});
  codec.LoadFromMemory(WriteWithLibpng(PNG_FORMAT_GA, 256, 1, ga), picture);
  ASSERT_EQ(picture.format(), PixelFormat::Bits32Alpha);
  picture.ConvertTo24();
  for (int a = 0; a < 256; ++a) {
    const std::uint8_t v = OverWhite(255 - a, a);
    ASSERT_EQ(picture.PixelColor(a, 0), (PaletteEntry{v, v, v, 0})) << "alpha " << a;
  }
}

TEST(PngDecode, PaletteWithTransparentEntriesKeepsAlphaAndOpaqueOneItsPalette) {
  const std::vector<std::uint8_t> colormap = {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 128};  // r g b a
  const std::vector<std::uint8_t> indices = {0, 1, 2, 0};
  PngImage codec;
  Bitmap picture;
  codec.LoadFromMemory(WriteWithLibpng(PNG_FORMAT_RGBA_COLORMAP, 4, 1, indices, colormap), picture);
  ASSERT_EQ(picture.format(), PixelFormat::Bits32Alpha);
  EXPECT_EQ(picture.PixelColor(2, 0), (PaletteEntry{0, 255, 0, 128}));
  picture.ConvertTo24();
  EXPECT_EQ(picture.PixelColor(0, 0), (PaletteEntry{0, 0, 255, 0}));
  EXPECT_EQ(picture.PixelColor(1, 0), (PaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(picture.PixelColor(2, 0), (PaletteEntry{OverWhite(0, 128), OverWhite(255, 128), OverWhite(0, 128), 0}));

  const std::vector<std::uint8_t> opaque = {255, 0, 0, 255, 0, 0, 255, 255};
  codec.LoadFromMemory(WriteWithLibpng(PNG_FORMAT_RGBA_COLORMAP, 4, 1, {0, 1, 1, 0}, opaque), picture);
  EXPECT_TRUE(img::HasPalette(picture.format()));
  EXPECT_EQ(picture.PixelColor(1, 0), (PaletteEntry{255, 0, 0, 0}));
}

TEST(PngDecode, SixteenBitChannelsAreScaledToEight) {
  // 16-bit grey: 0, 257 * 100, 65535, 257 * 128, and 0x12FF, which rounds up
  // where dropping the low byte would not
  std::vector<std::uint16_t> linear = {0, 257 * 100, 65535, 0x8080, 0x12FF};
  PngImage codec;
  Bitmap picture;
  codec.LoadFromMemory(
      WriteWithLibpng(PNG_FORMAT_LINEAR_Y, 5, 1,
                      std::vector<std::uint8_t>(reinterpret_cast<std::uint8_t*>(linear.data()),
                                                reinterpret_cast<std::uint8_t*>(linear.data()) + 10)),
      picture);
  ASSERT_EQ(picture.format(), PixelFormat::Bits8);
  EXPECT_EQ(picture.ScanLine(0)[0], 0);
  EXPECT_EQ(picture.ScanLine(0)[1], 100);
  EXPECT_EQ(picture.ScanLine(0)[2], 255);
  EXPECT_EQ(picture.ScanLine(0)[3], 128);
  EXPECT_EQ(picture.ScanLine(0)[4], 0x13);
}

TEST(PngDecode, TruncatedAndDamagedFilesAreRefused) {
  PngImage codec;
  const std::vector<std::uint8_t> whole = codec.Encode(testsupport::GradientBitmap(100, 100));
  Bitmap picture = testsupport::GradientBitmap(2, 2);
  for (std::size_t keep : {whole.size() - 13, whole.size() / 2, std::size_t(40), std::size_t(8), std::size_t(3)}) {
    const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep));
    EXPECT_THROW(codec.LoadFromMemory(cut, picture), img::ImageError) << keep;
  }
  try {
    codec.LoadFromMemory(std::vector<std::uint8_t>(whole.begin(), whole.begin() + 500), picture);
    ADD_FAILURE();
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::Truncated);
  }
  std::vector<std::uint8_t> damaged = whole;
  damaged[whole.size() / 2] ^= 0x55;  // inside IDAT: bad CRC
  EXPECT_THROW(codec.LoadFromMemory(damaged, picture), img::ImageError);
  EXPECT_EQ(picture.width(), 2);
  codec.LoadFromMemory(whole, picture);
  EXPECT_EQ(picture.width(), 100);
}

TEST(PngDecode, OversizedHeaderIsRefusedBeforeAllocating) {
  PngImage codec;
  std::vector<std::uint8_t> file = codec.Encode(testsupport::GradientBitmap(4, 4));
  // IHDR says 60000 x 60000; fix its CRC so only the size is wrong
  file[16] = 0; file[17] = 0; file[18] = 0xEA; file[19] = 0x60;
  file[20] = 0; file[21] = 0; file[22] = 0xEA; file[23] = 0x60;
  const uLong crc = crc32(0, file.data() + 12, 17);
  file[29] = std::uint8_t(crc >> 24); file[30] = std::uint8_t(crc >> 16);
  file[31] = std::uint8_t(crc >> 8); file[32] = std::uint8_t(crc);
  Bitmap picture;
  try {
    codec.LoadFromMemory(file, picture);
    ADD_FAILURE();
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::TooLarge) << e.what();
  }
}

// Damaged bytes anywhere give a picture or an ImageError, never a crash (run
// under the sanitizers too). CRCs are fixed up so damage reaches the decoder.
TEST(PngDecode, DamagedFilesNeverCrash) {
  PngImage codec;
  const std::vector<std::vector<std::uint8_t>> files = {
      codec.Encode(testsupport::GradientBitmap(40, 30)), codec.Encode(Sample(PixelFormat::Bits4, 13, 9)),
      WriteWithLibpng(PNG_FORMAT_GA, 3, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})};
  std::mt19937 random(11);
  int refused = 0;
  for (const std::vector<std::uint8_t>& whole : files) {
    for (int round = 0; round < 300; ++round) {
      std::vector<std::uint8_t> file = whole;
      file[8 + random() % (file.size() - 8)] = static_cast<std::uint8_t>(random());
      for (std::size_t pos = 8; pos + 12 <= file.size();) {  // recompute every chunk's CRC
        const std::size_t length = BigEndian32(&file[pos]);
        if (length > file.size() - pos - 12) break;
        const uLong crc = crc32(0, &file[pos + 4], static_cast<uInt>(length + 4));
        for (int b = 0; b < 4; ++b) file[pos + 8 + length + b] = static_cast<std::uint8_t>(crc >> (24 - 8 * b));
        pos += 12 + length;
      }
      Bitmap picture;
      try {
        codec.LoadFromMemory(file, picture);
      } catch (const img::ImageError&) {
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 0);
}

// --- files --------------------------------------------------------------------

TEST(PngFiles, ChineseNamesLoadAndSave) {
  testsupport::TempDir dir;
  const fs::path folder = dir.path() / img::PathFromUtf8("输出");
  fs::create_directories(folder);
  const fs::path path = folder / img::PathFromUtf8("图片.png");
  PngImage codec;
  const Bitmap picture = testsupport::GradientBitmap(20, 10);
  codec.Save(picture, path);
  Bitmap back;
  codec.Load(path, back);
  ExpectSameColours(back, picture, "chinese path");
}

TEST(PngFiles, SavingIntoAMissingFolderThrowsAndLeavesNothing) {
  testsupport::TempDir dir;
  PngImage codec;
  EXPECT_THROW(codec.Save(testsupport::GradientBitmap(8, 8), dir / "missing/x.png"), img::ImageError);
  EXPECT_TRUE(fs::is_empty(dir.path()));
  EXPECT_THROW(codec.Load(dir / "missing.png", *std::make_unique<Bitmap>()), img::ImageError);
}

}  // namespace

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <cmath>
#include <string>
#include <vector>

#include "PngBytes.h"
#include "TestSupport.h"
#include "engine/formats/png/PngImage.h"
#include "engine/formats/png/PngStreamWriter.h"
#include "engine/threads/WorkerPool.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

namespace {

using img::PixelFormat;
using testsupport::InflateAll;
using testsupport::JoinedIdat;
using testsupport::PngChunk;
using testsupport::PngChunks;
using testsupport::WriteWithLibpng;

// Decodes with libpng's simplified reader to r, g, b, a; empty on failure.
std::vector<std::uint8_t> DecodeRgba(const std::vector<std::uint8_t>& file, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return pixels;
}

// grey: an 8-bit picture gets a palette of greys in no order, short of 256.
img::Bitmap RandomPicture(int width, int height, PixelFormat format, unsigned seed, bool grey = false) {
  img::Bitmap bmp(width, height, format);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bmp.ScanLine(y);
    for (std::size_t i = 0; i < bmp.stride(); ++i) row[i] = static_cast<std::uint8_t>(rng());
  }
  if (grey) {
    for (int i = 0; i < 200; ++i) {
      const auto v = static_cast<std::uint8_t>(rng());
      bmp.palette().push_back({v, v, v, 0});
    }
  } else if (img::HasPalette(format)) {
    // 8-bit gets a short palette, so some pixels index past it.
    const std::size_t entries = format == PixelFormat::Bits8 ? 200 : (1u << img::BitsPerPixel(format));
    for (std::size_t i = 0; i < entries; ++i)
      bmp.palette().push_back({static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                               static_cast<std::uint8_t>(rng()), 0});
  }
  return bmp;
}

// Smooth gradients with grain, like a photograph.
img::Bitmap PhotoLike(int width, int height) {
  img::Bitmap bmp(width, height);
  std::uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) & 15);
      row[3 * x] = static_cast<std::uint8_t>(x / 8 + noise);
      row[3 * x + 1] = static_cast<std::uint8_t>(y / 5 + noise);
      row[3 * x + 2] = static_cast<std::uint8_t>((x + y) / 12 + noise);
    }
  }
  return bmp;
}

std::size_t PngRowBytes(const img::Bitmap& bmp) {
  const auto width = static_cast<std::size_t>(bmp.width());
  if (bmp.IsGrey()) return width;
  if (img::HasPalette(bmp.format())) return (width * img::BitsPerPixel(bmp.format()) + 7) / 8;
  return width * (img::HasAlpha(bmp.format()) ? 4 : 3);
}

// unfiltered: every row must carry filter type 0.
void ExpectDecodesToSource(const img::Bitmap& source, const std::vector<std::uint8_t>& file, bool unfiltered = true) {
  const std::vector<PngChunk> chunks = PngChunks(file);
  ASSERT_GE(chunks.size(), 3u);
  ASSERT_EQ(chunks.front().type, "IHDR");
  EXPECT_EQ(chunks.back().type, "IEND");
  const bool alpha = img::HasAlpha(source.format());
  const bool palette = img::HasPalette(source.format()) && !source.IsGrey();
  EXPECT_EQ(chunks[0].data[8], palette ? img::BitsPerPixel(source.format()) : 8);
  EXPECT_EQ(chunks[0].data[9], source.IsGrey() ? 0 : palette ? 3 : alpha ? 6 : 2);
  EXPECT_EQ(chunks[0].data[12], 0);  // not interlaced

  const std::vector<std::uint8_t> raw = InflateAll(JoinedIdat(chunks));
  const std::size_t row = PngRowBytes(source) + 1;
  ASSERT_EQ(raw.size(), row * static_cast<std::size_t>(source.height()));
  for (int y = 0; y < source.height() && unfiltered; ++y) ASSERT_EQ(raw[y * row], 0) << "filter of row " << y;

  int width = 0, height = 0;
  const std::vector<std::uint8_t> rgba = DecodeRgba(file, width, height);
  ASSERT_FALSE(rgba.empty());
  ASSERT_EQ(width, source.width());
  ASSERT_EQ(height, source.height());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const img::PaletteEntry want = source.PixelColor(x, y);
      const std::uint8_t* got = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
      ASSERT_TRUE(got[0] == want.red && got[1] == want.green && got[2] == want.blue &&
                  got[3] == (alpha ? want.reserved : 255))
          << "pixel " << x << "," << y;
    }
}

struct WriteCase {
  PixelFormat format;
  int width, height;
  bool row_aligned;  // chunk joins on row starts, or in the middle of rows
  bool grey = false;
};

// "Bits24Grey_300x200_RowJoins": the case's name and its printed parameter.
std::string WriteCaseName(const WriteCase& c) {
  return "Bits" + std::to_string(img::BitsPerPixel(c.format)) + (c.format == PixelFormat::Bits15 ? "x555" : "") +
         (img::HasAlpha(c.format) ? "Alpha" : "") + (c.grey ? "Grey" : "") + "_" + std::to_string(c.width) + "x" +
         std::to_string(c.height) + (c.row_aligned ? "_RowJoins" : "_MidRowJoins");
}

void PrintTo(const WriteCase& c, std::ostream* os) { *os << WriteCaseName(c); }

class PngStreamWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(PngStreamWrite, DecodesToTheSourcePixels) {
  const WriteCase c = GetParam();
  const img::Bitmap source = RandomPicture(c.width, c.height, c.format, 7, c.grey);
  engine::DeflateSettings settings;
  settings.threads = 3;
  settings.single_stream_below = 0;
  settings.chunk_bytes = c.row_aligned ? (PngRowBytes(source) + 1) * 7 : 997;
  ExpectDecodesToSource(source, engine::PngStreamWriter(settings).Encode(source));
}

std::vector<WriteCase> WriteCases() {
  std::vector<WriteCase> cases;
  for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits15,
                        PixelFormat::Bits16, PixelFormat::Bits24, PixelFormat::Bits32, PixelFormat::Bits32Alpha})
    for (auto [w, h] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{301, 257}})
      for (bool aligned : {false, true}) cases.push_back({f, w, h, aligned});
  for (bool aligned : {false, true}) cases.push_back({PixelFormat::Bits8, 301, 257, aligned, true});
  return cases;
}

// Adaptive rows are the same bytes however the deflate is cut: a chunk that
// starts mid-row, or whose dictionary does, filters its rows as one stream.
// The picture is smooth, so chunks match into their dictionaries.
TEST_P(PngStreamWrite, AdaptiveRowsDoNotDependOnTheChunks) {
  const WriteCase c = GetParam();
  img::Bitmap source = RandomPicture(c.width, c.height, c.format, 7, c.grey);
  if (!img::HasPalette(source.format()))
    for (int y = 0; y < source.height(); ++y)
      for (std::size_t i = 0; i < source.stride(); ++i)
        source.ScanLine(y)[i] = static_cast<std::uint8_t>((i + 2 * y) / 8 + (source.ScanLine(y)[i] & 3));
  engine::DeflateSettings one, parallel;
  one.threads = 1;
  parallel.threads = 3;
  parallel.single_stream_below = 0;
  parallel.chunk_bytes = c.row_aligned ? (PngRowBytes(source) + 1) * 7 : 997;
  const auto adaptive = engine::PngFiltering::Adaptive;
  const std::vector<std::uint8_t> file = engine::PngStreamWriter(parallel, nullptr, adaptive).Encode(source);
  EXPECT_EQ(InflateAll(JoinedIdat(PngChunks(file))),
            InflateAll(JoinedIdat(PngChunks(engine::PngStreamWriter(one, nullptr, adaptive).Encode(source)))));
  ExpectDecodesToSource(source, file, false);
}

INSTANTIATE_TEST_SUITE_P(FormatsAndSizes, PngStreamWrite, testing::ValuesIn(WriteCases()),
                         [](const testing::TestParamInfo<WriteCase>& info) { return WriteCaseName(info.param); });

TEST(PngStreamWriter, PaletteCoversEveryIndexAndNoMore) {
  struct Case {
    PixelFormat format;
    std::size_t entries;
    std::uint8_t highest;  // written into the first pixel
    std::size_t plte;      // entries expected in PLTE
  };
  for (const Case& c : {Case{PixelFormat::Bits8, 0, 9, 10},  // no palette: black entries
                        Case{PixelFormat::Bits8, 20, 3, 20}, Case{PixelFormat::Bits1, 5, 1, 2},
                        Case{PixelFormat::Bits4, 3, 0x0C, 13}}) {
    img::Bitmap bmp(3, 2, c.format);
    std::memset(bmp.ScanLine(0), 0, bmp.stride());
    std::memset(bmp.ScanLine(1), 0, bmp.stride());
    bmp.ScanLine(0)[0] = c.format == PixelFormat::Bits1 ? 0x80 : c.format == PixelFormat::Bits4 ? 0xC0 : c.highest;
    for (std::size_t i = 0; i < c.entries; ++i)
      bmp.palette().push_back({static_cast<std::uint8_t>(i), 200, static_cast<std::uint8_t>(255 - i), 0});
    const std::vector<std::uint8_t> file = engine::PngStreamWriter().Encode(bmp);
    const std::vector<PngChunk> chunks = PngChunks(file);
    ASSERT_EQ(chunks[1].type, "PLTE");
    EXPECT_EQ(chunks[1].data.size(), 3 * c.plte) << img::BitsPerPixel(c.format) << " bits";
    ExpectDecodesToSource(bmp, file);
  }
}

TEST(PngStreamWriter, SingleStreamIsTheStreamLibpngWrites) {
  img::Bitmap palette8 = RandomPicture(300, 200, PixelFormat::Bits8, 3);
  palette8.palette().resize(256);
  for (const img::Bitmap& bmp : {PhotoLike(40, 30), PhotoLike(700, 500), palette8}) {
    engine::DeflateSettings one;
    one.threads = 1;
    const std::vector<std::uint8_t> ours = JoinedIdat(PngChunks(engine::PngStreamWriter(one).Encode(bmp)));
    const std::vector<std::uint8_t> theirs = JoinedIdat(PngChunks(WriteWithLibpng(bmp)));
    ASSERT_FALSE(theirs.empty());
    EXPECT_EQ(ours, theirs) << bmp.width() << "x" << bmp.height();
  }
}

struct LibpngCase {
  const char* name;
  img::Bitmap (*picture)();
  int level;
  friend void PrintTo(const LibpngCase& c, std::ostream* os) { *os << c.name; }
};

class AdaptivePngRows : public testing::TestWithParam<LibpngCase> {};

// On one thread the adaptive writer is libpng with its default filtering:
// the same filter for every row, deflated with the same strategy and level
// into the same stream. Two things of libpng's are left alone: for data of
// 16 KiB or less it names a smaller window in the stream's first byte than
// it used, which the window's files never did; and stored blocks (level 0)
// end where its buffers do.
TEST_P(AdaptivePngRows, AreTheRowsAndStreamLibpngWritesByDefault) {
  const img::Bitmap bmp = GetParam().picture();
  engine::DeflateSettings one;
  one.threads = 1;
  one.level = GetParam().level;
  const std::vector<std::uint8_t> ours =
      JoinedIdat(PngChunks(engine::PngStreamWriter(one, nullptr, engine::PngFiltering::Adaptive).Encode(bmp)));
  const std::vector<std::uint8_t> theirs = JoinedIdat(PngChunks(WriteWithLibpng(bmp, true, GetParam().level)));
  ASSERT_GT(theirs.size(), 2u);
  ASSERT_GT(ours.size(), 2u);
  EXPECT_EQ(InflateAll(ours), InflateAll(theirs));
  if (GetParam().level > 0) {
    EXPECT_TRUE(std::equal(ours.begin() + 2, ours.end(), theirs.begin() + 2, theirs.end()));
  }
}

TEST(AdaptivePngRows, TheTableHoldsEveryFilter) {
  const img::Bitmap bmp = testsupport::FiveKindsOfRowsBitmap();
  const std::vector<std::uint8_t> raw = InflateAll(JoinedIdat(PngChunks(WriteWithLibpng(bmp, true))));
  std::set<int> types;
  for (std::size_t at = 0; at < raw.size(); at += PngRowBytes(bmp) + 1) types.insert(raw[at]);
  EXPECT_EQ(types, (std::set<int>{0, 1, 2, 3, 4}));
}

INSTANTIATE_TEST_SUITE_P(
    PicturesAndLevels, AdaptivePngRows,
    testing::Values(LibpngCase{"FiveKindsOfRows", testsupport::FiveKindsOfRowsBitmap, 6},
                    LibpngCase{"Photo", [] { return PhotoLike(300, 200); }, 6},
                    LibpngCase{"PhotoStored", [] { return PhotoLike(300, 200); }, 0},
                    LibpngCase{"PhotoFastest", [] { return PhotoLike(300, 200); }, 1},
                    LibpngCase{"PhotoSmallest", [] { return PhotoLike(300, 200); }, 9},
                    LibpngCase{"Alpha", [] { return testsupport::AlphaGradientBitmap(97, 61); }, 6},
                    LibpngCase{"Grey", [] { return testsupport::GreyGradientBitmap(64, 64); }, 6},
                    LibpngCase{"OneRowHigh", [] { return testsupport::HalvingBitmap(64, 1); }, 6},
                    LibpngCase{"OnePixelWide", [] { return testsupport::HalvingBitmap(1, 64); }, 6},
                    LibpngCase{"OnePixel", [] { return testsupport::HalvingBitmap(1, 1); }, 6},
                    LibpngCase{"PaletteStaysUnfiltered",
                               [] {
                                 img::Bitmap bmp = RandomPicture(300, 200, PixelFormat::Bits8, 3);
                                 bmp.palette().resize(256);
                                 return bmp;
                               },
                               6}),
    [](const testing::TestParamInfo<LibpngCase>& info) { return std::string(info.param.name); });

TEST(PngStreamWriter, ParallelFileWithinOnePercentOfOneStream) {
  const img::Bitmap photo = PhotoLike(1600, 1200);
  engine::DeflateSettings one, two;
  one.threads = 1;
  two.threads = 2;
  const std::vector<std::uint8_t> parallel = engine::PngStreamWriter(two).Encode(photo);
  const double single = static_cast<double>(engine::PngStreamWriter(one).Encode(photo).size());
  const std::vector<testsupport::PngChunk> chunks = PngChunks(parallel);
  EXPECT_GT(chunks.size(), 4u);  // several IDATs: a real multi-chunk stream
  EXPECT_LT(std::abs(static_cast<double>(parallel.size()) - single) / single, 0.01);
  ExpectDecodesToSource(photo, parallel);
  // The stream is cut as it arrives, yet every IDAT but the last is whole.
  std::vector<std::size_t> idat_sizes;
  for (const testsupport::PngChunk& chunk : chunks)
    if (chunk.type == "IDAT") idat_sizes.push_back(chunk.data.size());
  ASSERT_FALSE(idat_sizes.empty());
  for (std::size_t i = 0; i + 1 < idat_sizes.size(); ++i) EXPECT_EQ(idat_sizes[i], engine::PngStreamWriter::kIdatBytes);
  EXPECT_LE(idat_sizes.back(), engine::PngStreamWriter::kIdatBytes);
}

TEST(PngStreamWriter, WorkerFailureLeavesNoFileAndKeepsTheOldOne) {
  testsupport::TempDir dir;
  const img::Bitmap photo = PhotoLike(800, 600);
  engine::DeflateSettings settings;
  settings.threads = 2;
  settings.chunk_bytes = 64 * 1024;
  settings.chunk_hook = [](std::size_t chunk) {
    if (chunk == 5) throw img::ImageError(img::ErrorCode::Io, "worker failed");
  };
  const engine::PngStreamWriter failing(settings);
  EXPECT_THROW(failing.Save(photo, dir / "new.png"), img::ImageError);
  EXPECT_FALSE(std::filesystem::exists(dir / "new.png"));

  const std::vector<std::uint8_t> old = {1, 2, 3};
  img::WriteFileAtomically(dir / "old.png", old);
  EXPECT_THROW(failing.Save(photo, dir / "old.png"), img::ImageError);
  EXPECT_EQ(img::ReadWholeFile(dir / "old.png"), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);  // no temporary left behind
}

// The codec object writes through the stream writer.
TEST(PngStreamWriter, CodecObjectWritesThroughIt) {
  testsupport::TempDir dir;
  const img::Bitmap photo = PhotoLike(1200, 900);
  engine::PngImage codec;
  codec.Save(photo, dir / "a.png");
  EXPECT_EQ(img::ReadWholeFile(dir / "a.png"), engine::PngStreamWriter().Encode(photo));
}

}  // namespace

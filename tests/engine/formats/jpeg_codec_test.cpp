// jpeglib.h needs FILE and size_t first
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include <jpeglib.h>

#include "TestSupport.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/png/PngImage.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

namespace fs = std::filesystem;
using engine::JpegImage;
using img::Bitmap;
using img::PixelFormat;

namespace {

// The full path of a program on PATH, or empty.
fs::path FindTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  std::string dir;
  std::error_code ec;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && fs::exists(fs::path(dir) / name, ec)) return fs::path(dir) / name;
  return {};
}

#define SKIP_WITHOUT_TOOL(var, name)                                         \
  const fs::path var = FindTool(name);                                      \
  if (var.empty()) GTEST_SKIP() << name << " not installed (libjpeg-turbo-progs)"

int RunTool(const std::string& command) { return std::system(command.c_str()); }

std::string Quote(const fs::path& p) {
  std::string quoted(1, '\'');  // built in steps: GCC 12 warns falsely of overlap in "'" + s
  quoted += p.string();
  return quoted += '\'';
}

// A binary PPM (P6) or PGM (P5) as a 24-bit or 8-bit grey picture.
Bitmap ReadNetpbm(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  in >> magic >> width >> height >> maxval;
  in.get();
  const bool grey = magic == "P5";
  EXPECT_TRUE(grey || magic == "P6") << path;
  EXPECT_EQ(maxval, 255);
  Bitmap bmp(width, height, grey ? PixelFormat::Bits8 : PixelFormat::Bits24);
  std::vector<char> row(static_cast<std::size_t>(width) * (grey ? 1 : 3));
  for (int y = 0; y < height; ++y) {
    in.read(row.data(), static_cast<std::streamsize>(row.size()));
    std::uint8_t* dst = bmp.ScanLine(y);
    if (grey) {
      std::memcpy(dst, row.data(), row.size());
    } else {
      for (int x = 0; x < width; ++x) {
        dst[3 * x] = static_cast<std::uint8_t>(row[3 * x + 2]);
        dst[3 * x + 1] = static_cast<std::uint8_t>(row[3 * x + 1]);
        dst[3 * x + 2] = static_cast<std::uint8_t>(row[3 * x]);
      }
    }
  }
  return bmp;
}

void WritePpm(const fs::path& path, const Bitmap& bmp) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << bmp.width() << " " << bmp.height() << "\n255\n";
  for (int y = 0; y < bmp.height(); ++y) {
    const std::uint8_t* src = bmp.ScanLine(y);
    for (int x = 0; x < bmp.width(); ++x) {
      const char rgb[3] = {static_cast<char>(src[3 * x + 2]), static_cast<char>(src[3 * x + 1]),
                           static_cast<char>(src[3 * x])};
      out.write(rgb, 3);
    }
  }
}

// Number of pixel bytes that differ (the pictures must have one format and size).
int DifferentBytes(const Bitmap& a, const Bitmap& b) {
  EXPECT_EQ(a.width(), b.width());
  EXPECT_EQ(a.height(), b.height());
  EXPECT_EQ(a.format(), b.format());
  if (a.width() != b.width() || a.height() != b.height() || a.format() != b.format()) return -1;
  const std::size_t used = static_cast<std::size_t>(a.width()) * img::BitsPerPixel(a.format()) / 8;
  int differ = 0;
  for (int y = 0; y < a.height(); ++y)
    for (std::size_t i = 0; i < used; ++i) differ += a.ScanLine(y)[i] != b.ScanLine(y)[i];
  return differ;
}

struct Segment {
  std::uint8_t marker;
  std::vector<std::uint8_t> body;
};

// The marker segments of a JPEG file up to the first SOS.
std::vector<Segment> Segments(const std::vector<std::uint8_t>& file) {
  std::vector<Segment> segments;
  EXPECT_GE(file.size(), 4u);
  EXPECT_EQ(file[0], 0xFF);
  EXPECT_EQ(file[1], 0xD8);
  std::size_t pos = 2;
  while (pos + 4 <= file.size() && file[pos] == 0xFF) {
    const std::uint8_t marker = file[pos + 1];
    const std::size_t length = file[pos + 2] << 8 | file[pos + 3];
    if (pos + 2 + length > file.size()) break;
    segments.push_back({marker, {file.begin() + pos + 4, file.begin() + pos + 2 + length}});
    if (marker == 0xDA) break;
    pos += 2 + length;
  }
  return segments;
}

fs::path JpegDir() { return testsupport::TestDataDir() / "jpeg"; }

// --- encoder ------------------------------------------------------------------

TEST(JpegEncode, BaselineQuality100ThreeComponentsTwoByTwo) {
  JpegImage codec;
  const std::vector<std::uint8_t> file = codec.Encode(testsupport::GradientBitmap(40, 24));
  ASSERT_GE(file.size(), 2u);
  EXPECT_EQ(file[file.size() - 2], 0xFF);
  EXPECT_EQ(file.back(), 0xD9);

  int tables = 0;
  bool saw_sof0 = false;
  std::set<std::uint8_t> markers;
  for (const Segment& s : Segments(file)) {
    markers.insert(s.marker);
    if (s.marker == 0xDB) {
      // One or more tables: 1 byte precision/id, then 64 entries of 8 bits.
      for (std::size_t i = 0; i + 65 <= s.body.size(); i += 65) {
        EXPECT_EQ(s.body[i] >> 4, 0) << "8-bit table";
        for (int k = 1; k <= 64; ++k) EXPECT_EQ(s.body[i + k], 1) << "table entry " << k;
        ++tables;
      }
    }
    if (s.marker == 0xC0) {
      saw_sof0 = true;
      ASSERT_EQ(s.body.size(), 6u + 3 * 3);
      EXPECT_EQ(s.body[0], 8);                        // precision
      EXPECT_EQ(s.body[1] << 8 | s.body[2], 24);      // height
      EXPECT_EQ(s.body[3] << 8 | s.body[4], 40);      // width
      EXPECT_EQ(s.body[5], 3);                        // components
      EXPECT_EQ(s.body[7], 0x22);                     // luma 2x2
      EXPECT_EQ(s.body[10], 0x11);
      EXPECT_EQ(s.body[13], 0x11);
    }
  }
  EXPECT_EQ(tables, 2);
  EXPECT_TRUE(saw_sof0);
  EXPECT_TRUE(markers.count(0xE0)) << "JFIF header";
  for (std::uint8_t sof : {0xC1, 0xC2, 0xC9, 0xCA}) EXPECT_FALSE(markers.count(sof));
}

TEST(JpegEncode, SamePictureGivesSameBytesAndCodecIsReusable) {
  JpegImage codec;
  const Bitmap a = testsupport::GradientBitmap(300, 200);
  const std::vector<std::uint8_t> first = codec.Encode(a);
  codec.Encode(testsupport::GradientBitmap(17, 5));  // a different picture in between
  EXPECT_EQ(codec.Encode(a), first);
  JpegImage other;
  EXPECT_EQ(other.Encode(a), first);
  EXPECT_THROW(other.Encode(Bitmap()), img::ImageError);
}

class JpegEncodeFormat : public ::testing::TestWithParam<PixelFormat> {};

// Every format is written as three colour components from a 24-bit copy; the
// caller's picture is left as it was.
TEST_P(JpegEncodeFormat, WritesColourFromATwentyFourBitCopy) {
  Bitmap source = testsupport::GradientBitmap(33, 9);
  Bitmap picture;
  if (img::HasPalette(GetParam())) {
    picture = Bitmap(33, 9, GetParam());
    picture.palette() = {{0, 0, 255, 0}, {255, 255, 255, 0}};
    for (int y = 0; y < 9; ++y) picture.ScanLine(y)[0] = 0x10;
  } else {
    picture = source;
    picture.SetPixelFormat(GetParam());
  }
  const Bitmap before = picture;
  Bitmap expected = picture;
  expected.ConvertTo24();

  JpegImage codec;
  const std::vector<std::uint8_t> file = codec.Encode(picture);
  EXPECT_EQ(picture.format(), GetParam());
  EXPECT_EQ(DifferentBytes(picture, before), 0);
  EXPECT_EQ(file, codec.Encode(expected));
  for (const Segment& s : Segments(file)) {
    if (s.marker == 0xC0) {
      EXPECT_EQ(s.body[5], 3);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, JpegEncodeFormat,
                         ::testing::Values(PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8,
                                           PixelFormat::Bits15, PixelFormat::Bits16,
                                           PixelFormat::Bits24, PixelFormat::Bits32),
                         testsupport::ByValue());

// The writer must give the bytes of libjpeg's own cjpeg at quality 100.
TEST(JpegEncode, BytesEqualCjpegQuality100) {
  SKIP_WITHOUT_TOOL(cjpeg, "cjpeg");
  testsupport::TempDir dir;
  JpegImage codec;
  for (auto [w, h] : {std::pair{64, 48}, std::pair{37, 23}, std::pair{1, 1}, std::pair{301, 17}}) {
    const Bitmap picture = testsupport::GradientBitmap(w, h);
    WritePpm(dir / "in.ppm", picture);
    ASSERT_EQ(RunTool(Quote(cjpeg) + " -quality 100 -outfile " + Quote(dir / "ref.jpg") + " " +
                  Quote(dir / "in.ppm")),
              0);
    EXPECT_EQ(codec.Encode(picture), img::ReadWholeFile(dir / "ref.jpg")) << w << "x" << h;
  }
}

// Each coding choice gives the bytes of cjpeg with the same switches, on
// sizes that leave partial blocks and partial sampling units.
struct CodingCase {
  const char* name;
  engine::JpegCoding coding;
  const char* switches;
  friend void PrintTo(const CodingCase& c, std::ostream* os) { *os << c.name; }
};

class JpegCodingMatchesCjpeg : public ::testing::TestWithParam<CodingCase> {};

TEST_P(JpegCodingMatchesCjpeg, SameBytes) {
  SKIP_WITHOUT_TOOL(cjpeg, "cjpeg");
  testsupport::TempDir dir;
  JpegImage codec;
  codec.SetCoding(GetParam().coding);
  for (auto [w, h] : {std::pair{37, 23}, std::pair{301, 17}}) {
    const Bitmap picture = testsupport::GradientBitmap(w, h);
    WritePpm(dir / "in.ppm", picture);
    ASSERT_EQ(RunTool(Quote(cjpeg) + " -quality 100 " + GetParam().switches + " -outfile " + Quote(dir / "ref.jpg") +
                      " " + Quote(dir / "in.ppm")),
              0);
    EXPECT_EQ(codec.Encode(picture), img::ReadWholeFile(dir / "ref.jpg")) << w << "x" << h;
  }
}

using engine::ChromaSampling;
INSTANTIATE_TEST_SUITE_P(
    Switches, JpegCodingMatchesCjpeg,
    ::testing::Values(CodingCase{"Progressive", {true, false, ChromaSampling::Yuv420}, "-progressive"},
                      CodingCase{"Optimize", {false, true, ChromaSampling::Yuv420}, "-optimize"},
                      CodingCase{"Sampling444", {false, false, ChromaSampling::Yuv444}, "-sample 1x1"},
                      CodingCase{"Sampling422", {false, false, ChromaSampling::Yuv422}, "-sample 2x1"},
                      CodingCase{"All", {true, true, ChromaSampling::Yuv444}, "-progressive -optimize -sample 1x1"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- decoder ------------------------------------------------------------------

struct DjpegCase {
  const char* file;
  int scale_denom;
  friend void PrintTo(const DjpegCase& c, std::ostream* os) {
    *os << c.file;
    if (c.scale_denom != 1) *os << " scaled 1/" << c.scale_denom;
  }
};

class JpegDecodeMatchesDjpeg : public ::testing::TestWithParam<DjpegCase> {};

TEST_P(JpegDecodeMatchesDjpeg, SamePixels) {
  SKIP_WITHOUT_TESTDATA();
  SKIP_WITHOUT_TOOL(djpeg, "djpeg");
  const fs::path source = JpegDir() / GetParam().file;
  testsupport::TempDir dir;
  const std::string scale = GetParam().scale_denom == 1 ? "" : " -scale 1/" + std::to_string(GetParam().scale_denom);
  ASSERT_EQ(RunTool(Quote(djpeg) + scale + " -ppm -outfile " + Quote(dir / "ref.pnm") + " " +
                Quote(source) + " 2>/dev/null; [ $? -le 2 ]"),  // 2: decoded with warnings
            0);
  const Bitmap expected = ReadNetpbm(dir / "ref.pnm");
  JpegImage codec;
  Bitmap decoded;
  // A codec that decoded another file first must not carry its tables over.
  codec.Load(JpegDir() / "libjpeg-turbo/testimgari.jpg", decoded);
  codec.Load(source, decoded, GetParam().scale_denom);
  EXPECT_EQ(DifferentBytes(decoded, expected), 0);
  if (decoded.format() == PixelFormat::Bits8) {
    ASSERT_EQ(decoded.palette().size(), 256u);
    EXPECT_EQ(decoded.palette()[200], (img::PaletteEntry{200, 200, 200, 0}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, JpegDecodeMatchesDjpeg,
    ::testing::Values(DjpegCase{"libjpeg-turbo/testorig.jpg", 1},
                      DjpegCase{"libjpeg-turbo/testimgari.jpg", 1},
                      DjpegCase{"libjpeg-turbo/testimgint.jpg", 1},
                      DjpegCase{"jpeg-decoder/reftest/progressive3.jpg", 1},
                      DjpegCase{"jpeg-decoder/reftest/rgb.jpg", 1},
                      DjpegCase{"jpeg-decoder/reftest/mozilla/jpg-cmyk-1.jpg", 1},
                      DjpegCase{"jpeg-decoder/reftest/mozilla/jpg-cmyk-2.jpg", 1},
                      DjpegCase{"jpeg-decoder/reftest/mozilla/jpg-size-33x33.jpg", 1},
                      DjpegCase{"jpeg-decoder/reftest/restarts.jpg", 1},
                      DjpegCase{"jpeg-decoder/reftest/mjpeg.jpg", 1},
                      DjpegCase{"jpeg-decoder/reftest/grayscale_16x24_sampling2x2.jpg", 1},
                      DjpegCase{"pillow/hopper_gray.jpg", 1},
                      DjpegCase{"pillow/pil_sample_cmyk.jpg", 1},
                      DjpegCase{"pillow/truncated_jpeg.jpg", 1},  // every scan whole, no end marker
                      DjpegCase{"zigimg/subsampling_411.jpg", 1},
                      DjpegCase{"zigimg/subsampling_440.jpg", 1},
                      DjpegCase{"zigimg/tuba_restart_prog.jpg", 1},
                      DjpegCase{"zigimg/tuba.jpg", 2},
                      DjpegCase{"zigimg/tuba.jpg", 8},
                      DjpegCase{"jpeg-decoder/reftest/rgb.jpg", 4},
                      DjpegCase{"pillow/hopper_gray.jpg", 4}),
    testsupport::ByValue());

// Adobe CMYK/YCCK files without a profile come out in the colours of an
// independent decoder's reference renders (which may round and upsample a
// little differently); one with a profile goes through it (cmyk_colour_test).
TEST(JpegDecode, CmykMatchesReferenceRenders) {
  SKIP_WITHOUT_TESTDATA();
  JpegImage jpeg;
  engine::PngImage png;
  for (const char* name : {"reftest/mozilla/jpg-cmyk-1", "reftest/mozilla/jpg-cmyk-2"}) {
    const fs::path base = JpegDir() / "jpeg-decoder" / name;
    Bitmap decoded, reference;
    jpeg.Load(base.string() + ".jpg", decoded);
    png.Load(base.string() + ".png", reference);
    reference.ConvertTo24();
    ASSERT_EQ(decoded.width(), reference.width()) << name;
    ASSERT_EQ(decoded.height(), reference.height()) << name;
    long long total = 0;
    int worst = 0;
    for (int y = 0; y < decoded.height(); ++y)
      for (int i = 0; i < decoded.width() * 3; ++i) {
        const int error = std::abs(decoded.ScanLine(y)[i] - reference.ScanLine(y)[i]);
        total += error;
        worst = std::max(worst, error);
      }
    const double mean = double(total) / (double(decoded.width()) * decoded.height() * 3);
    EXPECT_LT(mean, 0.5) << name;  // inverted or unconverted inks would be off by ~100
    EXPECT_LE(worst, 4) << name;
  }
}

TEST(JpegDecode, ScaledDecodeGivesAFractionOfTheSize) {
  SKIP_WITHOUT_TESTDATA();
  JpegImage codec;
  Bitmap picture;
  codec.Load(JpegDir() / "libjpeg-turbo/testorig.jpg", picture, 4);  // 227 x 149
  EXPECT_EQ(picture.width(), 57);
  EXPECT_EQ(picture.height(), 38);
  EXPECT_THROW(codec.Load(JpegDir() / "libjpeg-turbo/testorig.jpg", picture, 3), img::ImageError);
}

TEST(JpegDecode, ReadSizeReadsTheHeaderOnly) {
  SKIP_WITHOUT_TESTDATA();
  EXPECT_EQ(JpegImage::ReadSize(JpegDir() / "libjpeg-turbo/testorig.jpg"), std::make_pair(227, 149));
  EXPECT_EQ(JpegImage::ReadSize(JpegDir() / "exif-orientation/Landscape_6.jpg"), std::make_pair(1200, 1800));
  EXPECT_THROW(JpegImage::ReadSize(JpegDir() / "jpeg-decoder/crashtest/empty.jpg"), img::ImageError);
  EXPECT_THROW(JpegImage::ReadSize(JpegDir() / "missing.jpg"), img::ImageError);
}

// Files whose data are lost or unreadable. Stray bytes and odd progression
// orders (mjpeg.jpg, extraneous-data.jpg, progressive-missing-dc.jpg) load.
const std::set<std::string> kRefused = {
    "jpeg-decoder/crashtest/dc-predictor-overflow.jpg",  // data segment ends early
    "jpeg-decoder/crashtest/derive-huffman-codes-overflow.jpg",
    "jpeg-decoder/crashtest/empty.jpg",
    "jpeg-decoder/crashtest/invalid-dimensions.jpg",
    "jpeg-decoder/crashtest/invalid-prediction-shift.jpg",
    "jpeg-decoder/crashtest/max_size.jpg",
    "jpeg-decoder/crashtest/missing-frame-image-1410.jpg",
    "jpeg-decoder/crashtest/missing-sof.jpg",
    "jpeg-decoder/crashtest/missing-sos.jpg",
    "jpeg-decoder/crashtest/null_height.jpg",
    "jpeg-decoder/crashtest/subtract-with-overflow.jpg",  // bad Huffman codes
    "jpeg-decoder/reftest/lossless/jpeg_lossless_sel1-8bit.jpg",
    "jpeg-decoder/reftest/lossless/jpeg_lossless_sel1.jpg",
    "jpeg-decoder/reftest/mozilla/jpg-size-6x6.jpg",  // a PNG file
    "jpeg-decoder/reftest/partial_progressive.jpg",   // scans cut short
    "libjpeg-turbo/monkey12.jpg",                     // 12-bit samples
    "libjpeg-turbo/testorig12.jpg",
};

TEST(JpegDecode, EverySampleLoadsOrIsRefusedCleanly) {
  SKIP_WITHOUT_TESTDATA();
  JpegImage codec;
  int loaded = 0;
  for (const auto& entry : fs::recursive_directory_iterator(JpegDir())) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".jpg" && ext != ".jpeg") continue;
    const std::string name = entry.path().lexically_relative(JpegDir()).generic_string();
    Bitmap picture = testsupport::GradientBitmap(3, 2);
    try {
      codec.Load(entry.path(), picture);
      EXPECT_FALSE(kRefused.count(name)) << name << " should be refused";
      EXPECT_FALSE(picture.empty()) << name;
      const auto size = JpegImage::ReadSize(entry.path());
      EXPECT_EQ(size, std::make_pair(picture.width(), picture.height())) << name;
      ++loaded;
    } catch (const img::ImageError& e) {
      EXPECT_TRUE(kRefused.count(name)) << name << ": " << e.what();
      EXPECT_EQ(DifferentBytes(picture, testsupport::GradientBitmap(3, 2)), 0) << name;
    }
  }
  EXPECT_GT(loaded, 80);
}

// The codec reuses its pixel buffers; a reused one must give the same bytes,
// row padding included, as a new one.
TEST(JpegDecode, ReusedBuffersGiveTheSameBytes) {
  JpegImage codec;
  const std::vector<std::uint8_t> file = codec.Encode(testsupport::GradientBitmap(30, 7));
  Bitmap picture;
  codec.LoadFromMemory(file, picture);
  for (int y = 0; y < 7; ++y) std::memset(picture.ScanLine(y), 0x77, picture.stride());
  codec.LoadFromMemory(file, picture);
  codec.LoadFromMemory(file, picture);  // into the scribbled buffer
  Bitmap fresh;
  JpegImage().LoadFromMemory(file, fresh);
  ASSERT_EQ(picture.stride(), fresh.stride());
  for (int y = 0; y < 7; ++y) EXPECT_EQ(std::memcmp(picture.ScanLine(y), fresh.ScanLine(y), fresh.stride()), 0);
}

TEST(JpegDecode, TruncatedFilesFail) {
  JpegImage codec;
  const std::vector<std::uint8_t> whole = codec.Encode(testsupport::GradientBitmap(64, 64));
  Bitmap picture = testsupport::GradientBitmap(2, 2);
  for (std::size_t keep : {whole.size() / 2, whole.size() - 40, std::size_t(300), std::size_t(10)}) {
    const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep));
    EXPECT_THROW(codec.LoadFromMemory(cut, picture), img::ImageError) << keep;
    EXPECT_EQ(picture.width(), 2);
  }
  codec.LoadFromMemory(whole, picture);  // the codec still works afterwards
  EXPECT_EQ(picture.width(), 64);
}

TEST(JpegDecode, TruncatedProgressiveFileFails) {
  SKIP_WITHOUT_TESTDATA();
  const std::vector<std::uint8_t> whole = img::ReadWholeFile(JpegDir() / "zigimg/tuba_restart_prog.jpg");
  const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * 2 / 3));
  JpegImage codec;
  Bitmap picture;
  try {
    codec.LoadFromMemory(cut, picture);
    ADD_FAILURE() << "loaded a truncated file";
  } catch (const img::ImageError& e) {
    EXPECT_EQ(e.code(), img::ErrorCode::Truncated);
  }
  EXPECT_TRUE(picture.empty());
}

TEST(JpegDecode, GarbageIsRefused) {
  JpegImage codec;
  Bitmap picture;
  std::vector<std::uint8_t> junk(1000, 0xFF);
  EXPECT_THROW(codec.LoadFromMemory(junk, picture), img::ImageError);
  junk[0] = 0xFF;
  junk[1] = 0xD8;
  EXPECT_THROW(codec.LoadFromMemory(junk, picture), img::ImageError);
  EXPECT_THROW(codec.LoadFromMemory({}, picture), img::ImageError);
}

// A small progressive file written with libjpeg directly (its default error
// handler is fine here: the input is valid).
std::vector<std::uint8_t> ProgressiveJpeg(const Bitmap& picture) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(picture.width());
  cinfo.image_height = static_cast<JDIMENSION>(picture.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(picture.ScanLine(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> file(buffer, buffer + size);
  std::free(buffer);
  return file;
}

// Endless refinement scans would keep a decoder busy for hours; past a
// thousand scans the file is refused.
TEST(JpegDecode, FileWithTooManyScansIsRefused) {
  const std::vector<std::uint8_t> file = ProgressiveJpeg(testsupport::GradientBitmap(16, 16));
  // The first scan (DC, first pass): its header, then coded data up to the next marker.
  std::size_t start = 0;
  while (start + 1 < file.size() && !(file[start] == 0xFF && file[start + 1] == 0xDA)) ++start;
  ASSERT_LT(start + 4, file.size());
  std::size_t end = start + 2 + (file[start + 2] << 8 | file[start + 3]);
  while (end + 1 < file.size() && !(file[end] == 0xFF && file[end + 1] != 0 && (file[end + 1] & 0xF8) != 0xD0)) ++end;
  const std::vector<std::uint8_t> scan(file.begin() + static_cast<std::ptrdiff_t>(start),
                                       file.begin() + static_cast<std::ptrdiff_t>(end));

  JpegImage codec;
  Bitmap picture;
  codec.LoadFromMemory(file, picture);  // the plain progressive file loads
  EXPECT_EQ(picture.width(), 16);

  std::vector<std::uint8_t> many(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(end));
  for (int i = 0; i < 1100; ++i) many.insert(many.end(), scan.begin(), scan.end());
  many.insert(many.end(), file.begin() + static_cast<std::ptrdiff_t>(end), file.end());
  try {
    codec.LoadFromMemory(many, picture);
    ADD_FAILURE() << "loaded a file of 1100 extra scans";
  } catch (const img::ImageError& e) {
    EXPECT_NE(std::string(e.what()).find("scans"), std::string::npos) << e.what();
  }
}

// Many cameras and tools leave out the final FF D9: such a file keeps every
// pixel and loads, baseline or progressive. A file that ends inside its coded
// data, or before its last scan, has lost pixels and still fails.
TEST(JpegDecode, OnlyTheEndMarkerMayBeMissing) {
  testsupport::TempDir dir;
  JpegImage codec;
  const Bitmap source = testsupport::GradientBitmap(64, 48);
  for (const std::vector<std::uint8_t>& whole : {codec.Encode(source), ProgressiveJpeg(source)}) {
    Bitmap expected;
    codec.LoadFromMemory(whole, expected);
    ASSERT_EQ(whole[whole.size() - 2], 0xFF);
    ASSERT_EQ(whole.back(), 0xD9);
    img::WriteFileAtomically(dir / "no-end.jpg", std::span(whole.data(), whole.size() - 2));
    Bitmap picture;
    codec.Load(dir / "no-end.jpg", picture);
    EXPECT_EQ(DifferentBytes(picture, expected), 0);

    std::size_t last_scan = whole.size() - 2;
    while (!(whole[last_scan] == 0xFF && whole[last_scan + 1] == 0xDA)) --last_scan;
    for (std::size_t keep : {whole.size() - 3, last_scan}) {
      const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep));
      try {
        codec.LoadFromMemory(cut, picture);
        ADD_FAILURE() << "loaded a file cut to " << keep << " of " << whole.size() << " bytes";
      } catch (const img::ImageError& e) {
        EXPECT_EQ(e.code(), img::ErrorCode::Truncated) << e.what();
      }
    }
  }
}

// Damaged bytes anywhere give a picture or an ImageError, never a crash (run
// under the sanitizers too).
TEST(JpegDecode, DamagedFilesNeverCrash) {
  JpegImage codec;
  const std::vector<std::vector<std::uint8_t>> files = {
      codec.Encode(testsupport::GradientBitmap(40, 30)),
      ProgressiveJpeg(testsupport::GradientBitmap(33, 17))};
  std::mt19937 random(7);
  int refused = 0;
  for (const std::vector<std::uint8_t>& whole : files) {
    for (int round = 0; round < 300; ++round) {
      std::vector<std::uint8_t> file = whole;
      for (int k = 0; k < 1 + round % 4; ++k)
        file[random() % file.size()] = static_cast<std::uint8_t>(random());
      Bitmap picture;
      try {
        codec.LoadFromMemory(file, picture, 1 << (round % 4));
      } catch (const img::ImageError&) {
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 0);
}

// --- files --------------------------------------------------------------------

TEST(JpegFiles, ChineseNamesLoadAndSave) {
  testsupport::TempDir dir;
  const fs::path folder = dir.path() / img::PathFromUtf8("图片 文件夹");
  fs::create_directories(folder);
  const fs::path path = folder / img::PathFromUtf8("照片.jpg");
  JpegImage codec;
  const Bitmap picture = testsupport::GradientBitmap(20, 10);
  codec.Save(picture, path);
  EXPECT_EQ(img::ReadWholeFile(path), codec.Encode(picture));
  Bitmap back;
  codec.Load(path, back);
  EXPECT_EQ(back.width(), 20);
  EXPECT_EQ(JpegImage::ReadSize(path), std::make_pair(20, 10));
}

TEST(JpegFiles, SavingIntoAMissingFolderThrowsAndLeavesNothing) {
  testsupport::TempDir dir;
  JpegImage codec;
  EXPECT_THROW(codec.Save(testsupport::GradientBitmap(8, 8), dir / "missing/x.jpg"), img::ImageError);
  EXPECT_FALSE(fs::exists(dir / "missing"));
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace

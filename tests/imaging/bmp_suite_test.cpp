// The public BMP suite: every good file loads, files that show the same
// picture decode to the same colours, bad files never load unsafely.

#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "imaging/Bitmap.h"
#include "platform/ImageError.h"

using img::Bitmap;
using img::PaletteEntry;
using img::PixelFormat;

namespace {

using testsupport::Bgr;
using testsupport::ExpectSameColours;

std::filesystem::path Suite(const std::string& name) {
  return testsupport::TestDataDir() / "bmpsuite" / name;
}

Bitmap LoadSuite(const std::string& name) {
  Bitmap bmp;
  bmp.LoadFromFile(Suite(name));
  return bmp;
}

struct GoodFile {
  const char* name;
  int width, height;
  PixelFormat format;
  friend void PrintTo(const GoodFile& c, std::ostream* os) { *os << c.name; }
};

class BmpSuiteGood : public testing::TestWithParam<GoodFile> {};

TEST_P(BmpSuiteGood, LoadsWithItsSizeAndFormat) {
  SKIP_WITHOUT_TESTDATA();
  const GoodFile& f = GetParam();
  Bitmap bmp = LoadSuite(std::string("g/") + f.name);
  EXPECT_EQ(bmp.width(), f.width);
  EXPECT_EQ(bmp.height(), f.height);
  EXPECT_EQ(bmp.format(), f.format);
}

constexpr PixelFormat k1 = PixelFormat::Bits1, k4 = PixelFormat::Bits4, k8 = PixelFormat::Bits8,
                      k15 = PixelFormat::Bits15, k16 = PixelFormat::Bits16, k24 = PixelFormat::Bits24,
                      k32 = PixelFormat::Bits32;

INSTANTIATE_TEST_SUITE_P(
    BmpSuite, BmpSuiteGood,
    testing::Values(GoodFile{"pal1.bmp", 127, 64, k1}, GoodFile{"pal1bg.bmp", 127, 64, k1},
                    GoodFile{"pal1wb.bmp", 127, 64, k1}, GoodFile{"pal4.bmp", 127, 64, k4},
                    GoodFile{"pal4gs.bmp", 127, 64, k4}, GoodFile{"pal4rle.bmp", 127, 64, k4},
                    GoodFile{"pal8-0.bmp", 127, 64, k8}, GoodFile{"pal8.bmp", 127, 64, k8},
                    GoodFile{"pal8gs.bmp", 127, 64, k8}, GoodFile{"pal8nonsquare.bmp", 127, 32, k8},
                    GoodFile{"pal8os2.bmp", 127, 64, k8}, GoodFile{"pal8rle.bmp", 127, 64, k8},
                    GoodFile{"pal8topdown.bmp", 127, 64, k8}, GoodFile{"pal8v4.bmp", 127, 64, k8},
                    GoodFile{"pal8v5.bmp", 127, 64, k8}, GoodFile{"pal8w124.bmp", 124, 61, k8},
                    GoodFile{"pal8w125.bmp", 125, 62, k8}, GoodFile{"pal8w126.bmp", 126, 63, k8},
                    GoodFile{"rgb16-565.bmp", 127, 64, k16}, GoodFile{"rgb16-565pal.bmp", 127, 64, k16},
                    GoodFile{"rgb16.bmp", 127, 64, k15}, GoodFile{"rgb16bfdef.bmp", 127, 64, k15},
                    GoodFile{"rgb24.bmp", 127, 64, k24}, GoodFile{"rgb24pal.bmp", 127, 64, k24},
                    GoodFile{"rgb32.bmp", 127, 64, k32}, GoodFile{"rgb32bf.bmp", 127, 64, k32},
                    GoodFile{"rgb32bfdef.bmp", 127, 64, k32}),
    [](const testing::TestParamInfo<GoodFile>& info) {
      std::string name = info.param.name;
      name = name.substr(0, name.size() - 4);
      for (char& c : name)
        if (c == '-') c = '_';
      return name;
    });

// Pixels read from the file bytes by hand: the top-left pixel is the first
// of the file's last row; (10, 50) lies in the picture's shaded lower part.
TEST(BmpSuite, HandCheckedPixels) {
  SKIP_WITHOUT_TESTDATA();
  Bitmap rgb24 = LoadSuite("g/rgb24.bmp");
  EXPECT_EQ(rgb24.PixelColor(0, 0), Bgr(0, 0, 255));
  EXPECT_EQ(rgb24.PixelColor(126, 0), Bgr(189, 159, 159));
  EXPECT_EQ(rgb24.PixelColor(126, 63), Bgr(126, 96, 96));
  EXPECT_EQ(rgb24.PixelColor(10, 50), Bgr(82, 82, 53));

  // 4 bits: index 8 of the 12-entry palette.
  EXPECT_EQ(LoadSuite("g/pal4.bmp").PixelColor(10, 50), Bgr(255, 128, 0));

  // 5-6-5 word 0x328A: red 6, green 20, blue 10, scaled to 8 bits.
  EXPECT_EQ(LoadSuite("g/rgb16-565.bmp").PixelColor(10, 50), Bgr(82, 81, 49));

  // Masks red 0xFF000000, green 0x00000FF0, blue 0x00FF0000 on word 0x35520520.
  Bitmap bf = LoadSuite("g/rgb32bf.bmp");
  EXPECT_EQ(bf.PixelColor(10, 50), Bgr(82, 82, 53));
  EXPECT_EQ(bf.PixelColor(0, 0), Bgr(0, 0, 255));

  // 2 bits per pixel on a grey palette 0, 85, 170, 255.
  Bitmap pal2 = LoadSuite("q/pal2.bmp");
  EXPECT_EQ(pal2.format(), PixelFormat::Bits4);
  EXPECT_EQ(pal2.PixelColor(0, 0), Bgr(170, 170, 170));
  EXPECT_EQ(pal2.PixelColor(10, 50), Bgr(85, 85, 85));

  // OS/2 RLE24: the bottom row opens with five literal pixels, then a run
  // of four of b 0x33, g 0x2B, r 0; the fourth literal is b 0, g 0x2B, r 0.
  Bitmap rle24 = LoadSuite("q/rgb24rle24.bmp");
  EXPECT_EQ(rle24.PixelColor(3, 63), Bgr(0, 0x2B, 0));
  EXPECT_EQ(rle24.PixelColor(4, 63), Bgr(0, 0, 0));
  EXPECT_EQ(rle24.PixelColor(5, 63), Bgr(0x33, 0x2B, 0));
  EXPECT_EQ(rle24.PixelColor(8, 63), Bgr(0x33, 0x2B, 0));
}

// Header versions, orientations, compressions and mask layouts of one
// picture must not change a single colour.
TEST(BmpSuite, VariantsOfOnePictureDecodeAlike) {
  SKIP_WITHOUT_TESTDATA();
  const struct {
    const char* reference;
    std::vector<const char*> same;
  } groups[] = {
      {"g/pal8.bmp",
       {"g/pal8-0.bmp", "g/pal8topdown.bmp", "g/pal8v4.bmp", "g/pal8v5.bmp", "g/pal8os2.bmp", "g/pal8rle.bmp",
        "q/pal8offs.bmp", "q/pal8oversizepal.bmp", "q/pal8os2v2.bmp", "q/pal8os2v2-16.bmp", "q/pal8os2v2-sz.bmp",
        "q/pal8os2v2-40sz.bmp", "q/pal8os2-sz.bmp", "q/pal8os2-hs.bmp"}},
      {"g/pal4.bmp", {"g/pal4rle.bmp"}},
      {"g/rgb16.bmp", {"g/rgb16bfdef.bmp"}},
      {"g/rgb16-565.bmp", {"g/rgb16-565pal.bmp"}},
      {"g/rgb24.bmp",
       {"g/rgb24pal.bmp", "g/rgb32.bmp", "g/rgb32bf.bmp", "g/rgb32bfdef.bmp", "q/rgb32h52.bmp",
        "q/rgb32-xbgr.bmp", "q/rgb24largepal.bmp"}},
      // Alpha marked by a V5 header, by ALPHABITFIELDS and by a 56-byte header.
      {"q/rgba32-1.bmp", {"q/rgba32abf.bmp", "q/rgba32h56.bmp", "q/rgba32-2.bmp"}},
  };
  EXPECT_EQ(LoadSuite("q/rgba32-1.bmp").format(), PixelFormat::Bits32Alpha);
  EXPECT_EQ(LoadSuite("q/rgb32fakealpha.bmp").format(), PixelFormat::Bits32);  // no mask: no alpha
  for (const auto& group : groups) {
    const Bitmap reference = LoadSuite(group.reference);
    for (const char* name : group.same) ExpectSameColours(reference, LoadSuite(name), name);
  }
}

// Bad and questionable files: either a clean ImageError or a picture of the
// size the header gives. Run under the sanitizers, this also proves no
// out-of-bounds read.
void LoadSafely(const std::filesystem::path& path, int& loaded, int& refused) {
  Bitmap bmp;
  try {
    bmp.LoadFromFile(path);
    ++loaded;
    EXPECT_FALSE(bmp.empty()) << path;
    // Touch every pixel.
    unsigned sum = 0;
    for (int y = 0; y < bmp.height(); ++y)
      for (int x = 0; x < bmp.width(); ++x) sum += bmp.PixelColor(x, y).green;
    (void)sum;
  } catch (const img::ImageError&) {
    ++refused;
  }
}

TEST(BmpSuite, BadFilesAreRefusedOrLoadSafely) {
  SKIP_WITHOUT_TESTDATA();
  int loaded = 0, refused = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Suite("b")))
    LoadSafely(entry.path(), loaded, refused);
  EXPECT_EQ(loaded + refused, 20);
  // Files whose header cannot describe a picture are never taken.
  for (const char* name : {"b/badbitcount.bmp", "b/badheadersize.bmp", "b/badplanes.bmp", "b/badwidth.bmp",
                           "b/reallybig.bmp", "b/rletopdown.bmp", "b/shortfile.bmp"}) {
    Bitmap bmp;
    EXPECT_THROW(bmp.LoadFromFile(Suite(name)), img::ImageError) << name;
  }
}

TEST(BmpSuite, QuestionableFilesAreRefusedOrLoadSafely) {
  SKIP_WITHOUT_TESTDATA();
  int loaded = 0, refused = 0;
  for (const char* folder : {"q", "x"})
    for (const auto& entry : std::filesystem::directory_iterator(Suite(folder)))
      LoadSafely(entry.path(), loaded, refused);
  EXPECT_EQ(loaded + refused, 44);
  EXPECT_GE(loaded, 30);
}

// RLE pixels that the stream skips keep palette index 0.
TEST(BmpSuite, RleSkippedPixelsTakeIndexZero) {
  SKIP_WITHOUT_TESTDATA();
  Bitmap bmp = LoadSuite("q/pal8rletrns.bmp");
  Bitmap full = LoadSuite("g/pal8rle.bmp");
  ASSERT_FALSE(bmp.palette().empty());
  int index_zero = 0;
  for (int y = 0; y < bmp.height(); ++y)
    for (int x = 0; x < bmp.width(); ++x) {
      const PaletteEntry c = bmp.PixelColor(x, y);
      if (!(c == full.PixelColor(x, y))) {
        EXPECT_EQ(bmp.ScanLine(y)[x], 0) << x << "," << y;
        ++index_zero;
      }
    }
  EXPECT_GT(index_zero, 0);
}

}  // namespace

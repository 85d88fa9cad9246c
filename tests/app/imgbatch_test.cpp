// imgbatch as a user runs it: the real binary on pictures made here.

#ifndef _WIN32
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <set>

#include "DngBytes.h"
#include "PictureFiles.h"
#include "GifBytes.h"
#include "PngBytes.h"
#include "TestSupport.h"
#include "TiffBytes.h"
#include "WebpAnimation.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/PictureFormats.h"
#include "engine/formats/png/PngImage.h"
#include "engine/formats/webp/WebpImage.h"
#include "engine/metadata/ExifOrientation.h"
#include "engine/formats/png/PngStreamWriter.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int status = -1;
  std::string output;  // stdout and stderr together
};

#ifdef _WIN32
// cmd.exe runs the line: double quotes (no test argument holds one), and the
// whole line quoted once more, which cmd strips. The program's path is made
// absolute on the current drive.
std::string Quote(const std::string& s) { return '"' + s + '"'; }
const std::string kImgBatch = img::PathToUtf8(fs::absolute(IMGBATCH_PATH));
#else
std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}
const std::string kImgBatch = IMGBATCH_PATH;
#endif

// prefix: a command imgbatch runs under (setpriv ... to run as another user);
// with_stderr false: standard output alone.
RunResult RunImgBatch(const std::vector<std::string>& args, const std::string& prefix = {}, bool with_stderr = true) {
  std::string command = prefix + Quote(kImgBatch);
  for (const std::string& a : args) {
    command += ' ';
    command += Quote(a);
  }
#ifdef _WIN32
  command += with_stderr ? " 2>&1" : " 2>NUL";
#else
  command += with_stderr ? " 2>&1" : " 2>/dev/null";
#endif
  RunResult result;
#ifdef _WIN32
  // The UTF-16 line, so Chinese names reach the program as they are.
  FILE* pipe = _wpopen(img::PathFromUtf8(Quote(command)).c_str(), L"r");
#else
  FILE* pipe = popen(command.c_str(), "r");
#endif
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
#ifdef _WIN32
  result.status = _pclose(pipe);
#else
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return result;
}

std::string U(const fs::path& p) { return img::PathToUtf8(p); }

class ImgBatch : public ::testing::Test {
 protected:
  fs::path src() const { return tmp_ / "src"; }
  fs::path out() const { return tmp_ / "out"; }
  fs::path Jpeg(const fs::path& rel, int w = 80, int h = 60) {
    fs::path p = src() / rel;
    fs::create_directories(p.parent_path());
    engine::JpegImage codec;
    codec.Save(testsupport::GradientBitmap(w, h), p);
    return p;
  }
  std::vector<std::string> OutNames() const {
    std::vector<std::string> names;
    if (!fs::exists(out())) return names;
    for (auto& e : fs::directory_iterator(out())) names.push_back(U(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
  }
  testsupport::TempDir tmp_;
};

TEST_F(ImgBatch, FileSourceWithTheWindowsFormatsKeepsItsName) {
  fs::path a = Jpeg("Photo.JPG");
  RunResult r = RunImgBatch({U(a), "-o", U(out() / "new" / "deeper"), "-f", "bmp,jpg,jpeg,png"});
  EXPECT_EQ(r.status, 0) << r.output;
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(out() / "new" / "deeper")) names.push_back(U(e.path().filename()));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Photo.bmp", "Photo.jpeg", "Photo.jpg", "Photo.png"}));
  EXPECT_NE(r.output.find("1 picture, 4 files written, 0 failed"), std::string::npos) << r.output;
  // The summary is a diagnostic: standard output stays empty for a pipe.
  r = RunImgBatch({U(a), "-o", U(out() / "again")}, {}, false);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "");
}

TEST_F(ImgBatch, FolderSourceWalksNestedFoldersAndNumbersTheLaterOfTwoNames) {
  Jpeg("b/x.jpg", 20, 10);
  Jpeg("c/X.JPG", 30, 10);  // listed after b/x.jpg: its targets are numbered
  Jpeg("c/d/deep.jpg");
  Jpeg(".hidden.jpg");
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "bmp,png", "-j", "2"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{".hidden.bmp", ".hidden.png", "X (2).bmp", "X (2).png",
                                                  "deep.bmp", "deep.png", "x.bmp", "x.png"}));
  EXPECT_NE(r.output.find("4 pictures, 8 files written, 2 renamed, 0 failed"), std::string::npos) << r.output;
  for (auto [name, width] : {std::pair{"x.bmp", 20}, {"X (2).bmp", 30}}) {
    img::Bitmap bmp;
    bmp.LoadFromFile(out() / name);
    EXPECT_EQ(bmp.width(), width) << name;
  }
}

TEST_F(ImgBatch, ResizeAndRotateOptions) {
  fs::path a = Jpeg("big.jpg", 400, 300);
  ASSERT_EQ(RunImgBatch({U(a), "-o", U(out()), "-f", "bmp", "--width", "100", "--keep-ratio", "--rotate", "90"})
                .status,
            0);
  img::Bitmap bmp;
  bmp.LoadFromFile(out() / "big.bmp");
  EXPECT_EQ(bmp.width(), 75);
  EXPECT_EQ(bmp.height(), 100);

  ASSERT_EQ(RunImgBatch({U(a), "-o", U(out()), "-f", "bmp", "--width", "100", "--height", "50"}).status, 0);
  bmp.LoadFromFile(out() / "big.bmp");
  EXPECT_EQ(bmp.width(), 100);
  EXPECT_EQ(bmp.height(), 50);
}

// The colour a target has at (x, y), its alpha in `reserved` (0 for a
// target without alpha).
struct Probe {
  int x, y;
  img::PaletteEntry colour;
};

struct FrameCase {
  const char* name;
  std::vector<std::string> options;
  bool alpha;          // the source's left half clear, its right half opaque
  const char* format;  // the target's
  int width, height;   // the target's size
  std::vector<Probe> probes;
  const char* failure = nullptr;  // the picture fails with this code, and nothing is written
  friend void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }
};

// The 40 x 30 source's pixel (x, y), as GradientBitmap makes it.
img::PaletteEntry At(int x, int y, int alpha = 0) {
  img::PaletteEntry c = testsupport::Bgr(x, y, x ^ y);
  c.reserved = static_cast<std::uint8_t>(alpha);
  return c;
}
const img::PaletteEntry kWhite = testsupport::Bgr(255, 255, 255);
const img::PaletteEntry kChosen = testsupport::Bgr(0x30, 0x20, 0x10);  // --background #102030
const img::PaletteEntry kClear{255, 255, 255, 0};  // a transparent canvas

class ImgBatchFrame : public ImgBatch, public ::testing::WithParamInterface<FrameCase> {};

// --crop, --pad and --background: the target's size, told alike by its
// {w}x{h} name, --dry-run and the report, and its pixels where they are
// exact; a box reaching outside the picture fails it, as does a canvas
// past the memory budget.
TEST_P(ImgBatchFrame, CutsPadsAndFillsAsAsked) {
  const FrameCase& c = GetParam();
  fs::create_directories(src());
  img::Bitmap picture = testsupport::GradientBitmap(40, 30);
  if (c.alpha) {
    picture.SetPixelFormat(img::PixelFormat::Bits32Alpha);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 20; ++x) picture.ScanLine(y)[4 * x + 3] = 0;
  }
  engine::PngImage().Save(picture, src() / "a.png");
  std::vector<std::string> args = {U(src() / "a.png"), "-o", U(out()), "-f", c.format, "--name", "{w}x{h}"};
  args.insert(args.end(), c.options.begin(), c.options.end());
  std::vector<std::string> dry = args;
  dry.push_back("--dry-run");
  args.insert(args.end(), {"--report", "json"});
  RunResult r = RunImgBatch(args);
  if (c.failure) {
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find(std::string("\"code\":\"") + c.failure + "\""), std::string::npos) << r.output;
    EXPECT_TRUE(OutNames().empty());
    return;
  }
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + "." + c.format;
  EXPECT_EQ(OutNames(), std::vector<std::string>{name});
  EXPECT_NE(r.output.find(name + "\",\"width\":" + std::to_string(c.width) + ",\"height\":" + std::to_string(c.height)),
            std::string::npos) << r.output;
  EXPECT_NE(RunImgBatch(dry).output.find(name), std::string::npos);
  img::Bitmap written;
  engine::LoadPicture(U(out() / name), written);
  ASSERT_EQ(written.width(), c.width);
  ASSERT_EQ(written.height(), c.height);
  for (const Probe& p : c.probes) EXPECT_EQ(written.PixelColor(p.x, p.y), p.colour) << p.x << ", " << p.y;
}

INSTANTIATE_TEST_SUITE_P(
    Options, ImgBatchFrame,
    ::testing::Values(
        FrameCase{"box", {"--crop", "10x5+2+3"}, false, "png", 10, 5, {{0, 0, At(2, 3)}, {9, 4, At(11, 7)}}},
        FrameCase{"box_to_the_far_corner", {"--crop", "10x5+30+25"}, false, "png", 10, 5, {{9, 4, At(39, 29)}}},
        FrameCase{"box_a_pixel_past_the_edge", {"--crop", "10x5+31+25"}, false, "png", 0, 0, {}, "crop_outside"},
        FrameCase{"box_wholly_outside", {"--crop", "1x1+40+0"}, false, "png", 0, 0, {}, "crop_outside"},
        // The box is of the picture as turned: 30 x 40 after a quarter clockwise.
        FrameCase{"box_turned_a_quarter", {"--crop", "10x5+2+3", "--rotate", "90"}, false, "png", 10, 5,
                  {{0, 0, At(3, 27)}, {9, 4, At(7, 18)}}},
        FrameCase{"box_turned_three_quarters", {"--crop", "10x5+2+3", "--rotate", "270"}, false, "png", 10, 5,
                  {{0, 0, At(36, 2)}, {9, 4, At(32, 11)}}},
        FrameCase{"box_turned_a_half", {"--crop", "10x5+2+3", "--rotate", "180"}, false, "png", 10, 5,
                  {{0, 0, At(37, 26)}}},
        FrameCase{"box_then_the_resize", {"--crop", "20x10+0+0", "--fit", "10x10"}, false, "png", 10, 5, {}},
        FrameCase{"square", {"--crop", "1:1"}, false, "png", 30, 30, {{0, 0, At(5, 0)}, {29, 29, At(34, 29)}}},
        FrameCase{"tall", {"--crop", "1:2"}, false, "png", 15, 30, {{0, 0, At(12, 0)}}},
        FrameCase{"its_own_shape", {"--crop", "4:3"}, false, "png", 40, 30, {{0, 0, At(0, 0)}}},
        FrameCase{"pad", {"--pad", "60x40"}, false, "png", 60, 40,
                  {{9, 5, kWhite}, {10, 4, kWhite}, {10, 5, At(0, 0)}, {49, 34, At(39, 29)}, {50, 34, kWhite}}},
        FrameCase{"pad_odd_line_right_and_bottom", {"--pad", "41x31"}, false, "bmp", 41, 31,
                  {{0, 0, At(0, 0)}, {40, 0, kWhite}, {0, 30, kWhite}}},
        FrameCase{"pad_after_a_shrink", {"--pad", "20x20", "--background", "#102030"}, false, "png", 20, 20,
                  {{10, 1, kChosen}, {10, 17, kChosen}}},
        FrameCase{"pad_after_a_crop", {"--crop", "10x10+0+0", "--pad", "12x12", "--background", "black"}, false,
                  "png", 12, 12, {{0, 0, testsupport::Bgr(0, 0, 0)}, {1, 1, At(0, 0)}, {10, 10, At(9, 9)}}},
        FrameCase{"pad_past_the_memory_budget", {"--pad", "65535x65535", "--memory", "1024"}, false, "png", 0, 0, {},
                  "over_memory_budget"},
        FrameCase{"pad_of_a_transparent_picture", {"--pad", "42x30"}, true, "png", 42, 30,
                  {{0, 0, kClear}, {1, 0, At(0, 0, 0)}, {40, 0, At(39, 0, 255)}, {41, 29, kClear}}},
        FrameCase{"pad_of_a_transparent_picture_on_a_colour", {"--pad", "42x30", "--background", "#102030"}, true,
                  "png", 42, 30, {{0, 0, img::PaletteEntry{0x30, 0x20, 0x10, 255}}, {1, 0, At(0, 0, 0)}}},
        FrameCase{"transparency_over_the_colour", {"--background", "#102030"}, true, "bmp", 40, 30,
                  {{0, 0, kChosen}, {19, 29, kChosen}, {20, 0, At(20, 0)}}},
        FrameCase{"transparency_kept_where_the_target_holds_it", {"--background", "#102030"}, true, "png", 40, 30,
                  {{0, 0, At(0, 0, 0)}, {20, 0, At(20, 0, 255)}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImgBatch, EmptyFormatListWritesNothing) {
  fs::path a = Jpeg("a.jpg");
  RunResult r = RunImgBatch({U(a), "-o", U(out()), "-f", ""});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(OutNames().empty());
}

TEST_F(ImgBatch, CorruptPictureAmongGoodOnesIsReportedAndTheOthersConverted) {
  Jpeg("good1.jpg");
  Jpeg("good2.jpg");
  fs::create_directories(src());
  img::WriteFileAtomically(src() / "broken.png", std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 1, 2});
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "jpg", "-q"});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("broken.png"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("cannot be decoded"), std::string::npos) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"good1.jpg", "good2.jpg"}));
}

// A 1-bit picture of the largest pixel count loads in 16 MB but needs
// 400 MB once made 24-bit for the shrink, more than imgbatch may take here:
// the shrink fails, and the picture must fail rather than be written at
// its full size.
TEST_F(ImgBatch, AShrinkThatFailsFailsThePictureInsteadOfWritingItUnresized) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory does not fit an address-space limit";
#elif defined(_WIN32)
  GTEST_SKIP() << "no address-space limit for a program started through cmd";
#endif
  fs::create_directories(src());
  img::Bitmap(16384, 8192, img::PixelFormat::Bits1).SaveToFile(src() / "huge.bmp");
  RunResult r = RunImgBatch({U(src() / "huge.bmp"), "-o", U(out()), "-f", "bmp,png", "--width", "100",
                             "--height", "50", "-j", "1"},
                            "ulimit -v 350000; ");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("huge.bmp: cannot be resized: not enough memory"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("1 picture, 0 files written, 1 failed"), std::string::npos) << r.output;
  EXPECT_TRUE(OutNames().empty());
}

struct WebpCase {
  const char* name;
  std::vector<std::string> options;
  int tolerance;  // largest channel difference after the round trip
  friend void PrintTo(const WebpCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchWebp : public ImgBatch, public ::testing::WithParamInterface<WebpCase> {};

// Written by one run, read back by another from a folder walk: lossy within
// a tolerance (at the default quality 90, the same bytes as --quality 90),
// lossless exactly.
TEST_P(ImgBatchWebp, WrittenAndReadBack) {
  const img::Bitmap original = testsupport::GradientBitmap(64, 48);
  fs::create_directories(src());
  original.SaveToFile(src() / "Pic.bmp");
  std::vector<std::string> args = {U(src() / "Pic.bmp"), "-o", U(out()), "-f", "webp", "-q"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  RunResult r = RunImgBatch(args);
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(OutNames(), std::vector<std::string>{"Pic.webp"});

  r = RunImgBatch({U(out()), "-o", U(tmp_ / "back"), "-f", "bmp", "-q"});
  ASSERT_EQ(r.status, 0) << r.output;
  img::Bitmap back;
  back.LoadFromFile(tmp_ / "back" / "Pic.bmp");
  const int difference = testsupport::MaxChannelDifference(back, original);
  EXPECT_GE(difference, 0) << "size " << back.width() << "x" << back.height();
  EXPECT_LE(difference, GetParam().tolerance);

  if (GetParam().options.empty()) {
    ASSERT_EQ(RunImgBatch({U(src() / "Pic.bmp"), "-o", U(tmp_ / "q90"), "-f", "webp", "--quality", "90"}).status, 0);
    EXPECT_EQ(img::ReadWholeFile(tmp_ / "q90" / "Pic.webp"), img::ReadWholeFile(out() / "Pic.webp"));
  }
}

INSTANTIATE_TEST_SUITE_P(LossyAndLossless, ImgBatchWebp,
                         ::testing::Values(WebpCase{"lossy", {}, 24}, WebpCase{"lossless", {"--lossless"}, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct MaxSizeCase {
  const char* name;
  const char* format;
  // The limit: the size the target has at this quality without one; 0 a
  // limit of 100 bytes, which no file of the picture fits.
  int limitQuality;
  friend void PrintTo(const MaxSizeCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchMaxSize : public ImgBatch, public ::testing::WithParamInterface<MaxSizeCase> {
 protected:
  // The target imgbatch writes of the source with these options, as bytes
  // (empty when none is written), and its standard output.
  std::vector<std::uint8_t> Target(std::vector<std::string> options, std::string& output) {
    fs::remove_all(out());
    std::vector<std::string> args = {U(src() / "a.bmp"), "-o", U(out()), "-f", GetParam().format, "-q"};
    args.insert(args.end(), options.begin(), options.end());
    RunResult r = RunImgBatch(args, {}, false);
    output = r.output;
    const fs::path file = out() / (std::string("a.") + GetParam().format);
    return fs::exists(file) ? img::ReadWholeFile(file) : std::vector<std::uint8_t>{};
  }
};

// --max-size writes the file of the highest quality that fits: the bytes a
// plain --quality of that number gives, and one quality more would not fit.
// The report tells that quality; a limit nothing fits fails the target,
// naming the smallest size, and writes nothing.
TEST_P(ImgBatchMaxSize, WritesTheHighestQualityThatFits) {
  if (!engine::FindFormatByName(GetParam().format)) GTEST_SKIP() << "this build has no " << GetParam().format;
  fs::create_directories(src());
  testsupport::GradientBitmap(160, 120).SaveToFile(src() / "a.bmp");
  std::string output;
  const std::uint64_t limit =
      GetParam().limitQuality > 0
          ? Target({"--quality", std::to_string(GetParam().limitQuality)}, output).size()
          : 100;
  ASSERT_GT(limit, 0u);
  const std::vector<std::uint8_t> fitted =
      Target({"--max-size", std::to_string(limit), "--report", "json"}, output);
  if (GetParam().limitQuality == 0) {
    EXPECT_TRUE(fitted.empty());
    EXPECT_NE(output.find("\"code\":\"over_max_size\""), std::string::npos) << output;
    EXPECT_NE(output.find("it does not fit in --max-size 100 bytes: the smallest file, at quality "),
              std::string::npos) << output;
    return;
  }
  ASSERT_FALSE(fitted.empty()) << output;
  EXPECT_LE(fitted.size(), limit);
  const std::size_t at = output.find("\"quality\":");
  ASSERT_NE(at, std::string::npos) << output;
  const int quality = std::atoi(output.c_str() + at + 10);
  EXPECT_GE(quality, GetParam().limitQuality);
  EXPECT_EQ(Target({"--quality", std::to_string(quality)}, output), fitted);
  if (quality < 90) {
    EXPECT_GT(Target({"--quality", std::to_string(quality + 1)}, output).size(), limit);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ImgBatchMaxSize,
    ::testing::Values(MaxSizeCase{"jpg_below_its_quality", "jpg", 40}, MaxSizeCase{"jpg_at_its_quality", "jpg", 90},
                      MaxSizeCase{"jpg_too_small", "jpg", 0}, MaxSizeCase{"webp_below_its_quality", "webp", 60},
                      MaxSizeCase{"webp_too_small", "webp", 0}, MaxSizeCase{"avif_below_its_quality", "avif", 30}),
    [](const auto& info) { return std::string(info.param.name); });

// Without --quality JPEG targets are the quality-90 encoding; --quality 100
// gives the encoding the window writes, a lower quality other, smaller files.
TEST_F(ImgBatch, QualitySetsTheJpegQualityAndDefaultsTo90) {
  const img::Bitmap original = testsupport::GradientBitmap(96, 64);
  fs::create_directories(src());
  original.SaveToFile(src() / "a.bmp");
  engine::JpegImage codec;
  codec.SetQuality(100);
  const std::vector<std::uint8_t> at100 = codec.Encode(original);
  codec.SetQuality(90);
  const std::vector<std::uint8_t> at90 = codec.Encode(original);

  std::vector<std::vector<std::uint8_t>> files;
  for (const std::vector<std::string>& quality :
       std::vector<std::vector<std::string>>{{}, {"--quality", "100"}, {"--quality", "50"}}) {
    fs::path folder = tmp_ / "q";  // a string sum here sets off g++ 12's -Wrestrict
    folder += std::to_string(files.size());
    std::vector<std::string> args = {U(src() / "a.bmp"), "-o", U(folder), "-f", "jpg,jpeg", "-q"};
    args.insert(args.end(), quality.begin(), quality.end());
    RunResult r = RunImgBatch(args);
    ASSERT_EQ(r.status, 0) << r.output;
    files.push_back(img::ReadWholeFile(folder / "a.jpg"));
    EXPECT_EQ(img::ReadWholeFile(folder / "a.jpeg"), files.back());
  }
  EXPECT_EQ(files[0], at90);
  EXPECT_EQ(files[1], at100);
  EXPECT_LT(files[2].size() * 2, at100.size());
}

// The JPEG coding options and --effort reach the encoders: the codecs'
// bytes with those settings, in both JPEG targets; 420 and effort 4 are
// the defaults' own bytes.
TEST_F(ImgBatch, EncoderOptionsGiveTheCodecsBytes) {
  const img::Bitmap original = testsupport::GradientBitmap(61, 35);
  fs::create_directories(src());
  original.SaveToFile(src() / "a.bmp");
  using engine::ChromaSampling;
  const struct {
    std::vector<std::string> options;
    engine::JpegCoding coding;
    int effort;
  } runs[] = {{{"--progressive", "--optimize", "--sampling", "444", "--effort", "0"}, {true, true, ChromaSampling::Yuv444}, 0},
              {{"--sampling=4:2:2", "--effort=6"}, {false, false, ChromaSampling::Yuv422}, 6},
              {{"--sampling", "420"}, {}, 4}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.options[0]);
    fs::remove_all(out());
    std::vector<std::string> args = {U(src() / "a.bmp"), "-o", U(out()), "-f", "jpg,jpeg,webp", "-q"};
    args.insert(args.end(), run.options.begin(), run.options.end());
    ASSERT_EQ(RunImgBatch(args).status, 0);
    engine::JpegImage jpeg;
    jpeg.SetQuality(90);
    jpeg.SetCoding(run.coding);
    EXPECT_EQ(img::ReadWholeFile(out() / "a.jpg"), jpeg.Encode(original));
    EXPECT_EQ(img::ReadWholeFile(out() / "a.jpeg"), img::ReadWholeFile(out() / "a.jpg"));
    EXPECT_EQ(img::ReadWholeFile(out() / "a.webp"), engine::WebpImage().Encode(original, 90, false, run.effort));
  }
}

// PNG rows are filtered by default, as libpng would filter them; --png-filter
// none writes each unfiltered, as the window does. Both decode to the
// source's pixels, and the filtered file is the smaller. --png-level is
// zlib's level: 0 stores the rows.
TEST_F(ImgBatch, PngFilterAndLevel) {
  const img::Bitmap original = testsupport::GradientBitmap(300, 200);
  fs::create_directories(src());
  original.SaveToFile(src() / "a.bmp");
  const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
      {"default", {}},
      {"adaptive", {"--png-filter", "ADAPTIVE", "--png-level", "6"}},
      {"none", {"--png-filter=none"}},
      {"fastest", {"--png-level", "1"}},
      {"stored", {"--png-lev=0"}}};
  std::map<std::string, std::vector<std::uint8_t>> files;
  std::map<std::string, std::set<int>> filters;
  for (const auto& [name, options] : runs) {
    std::vector<std::string> args = {U(src() / "a.bmp"), "-o", U(tmp_ / name), "-f", "png", "-q"};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult r = RunImgBatch(args);
    ASSERT_EQ(r.status, 0) << name << ": " << r.output;
    files[name] = img::ReadWholeFile(tmp_ / name / "a.png");
    img::Bitmap back;
    engine::PngImage().Load(tmp_ / name / "a.png", back);
    EXPECT_TRUE(testsupport::SamePixels(back, original)) << name;
    const std::vector<std::uint8_t> raw =
        testsupport::InflateAll(testsupport::JoinedIdat(testsupport::PngChunks(files[name])));
    ASSERT_EQ(raw.size(), (3u * 300 + 1) * 200) << name;
    for (std::size_t at = 0; at < raw.size(); at += 3 * 300 + 1) filters[name].insert(raw[at]);
  }
  EXPECT_EQ(files["default"], files["adaptive"]);
  EXPECT_EQ(filters["none"], std::set<int>{0});
  EXPECT_GT(filters["adaptive"].size(), 1u);
  EXPECT_LT(files["adaptive"].size() * 2, files["none"].size());
  EXPECT_NE(files["fastest"], files["adaptive"]);
  EXPECT_GT(files["stored"].size(), 3u * 300 * 200);
}

// A .webp that is cut short or not WebP at all fails alone, named, and the
// good one beside it is converted.
TEST_F(ImgBatch, CorruptAndTruncatedWebpFailCleanly) {
  fs::create_directories(src());
  engine::WebpImage codec;
  for (bool lossless : {false, true}) {
    const std::vector<std::uint8_t> good = codec.Encode(testsupport::GradientBitmap(40, 30), 80, lossless);
    const std::string kind = lossless ? "lossless" : "lossy";
    img::WriteFileAtomically(src() / (kind + "-good.webp"), good);
    img::WriteFileAtomically(src() / (kind + "-cut.webp"),
                             std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() * 2 / 3));
  }
  std::vector<std::uint8_t> junk = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', ' '};
  junk.resize(48, 0xA5);
  img::WriteFileAtomically(src() / "junk.webp", junk);

  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png"});
  EXPECT_EQ(r.status, 1) << r.output;
  for (const char* name : {"lossy-cut.webp", "lossless-cut.webp", "junk.webp"})
    EXPECT_NE(r.output.find(U(src() / name) + ": cannot be decoded"), std::string::npos) << name << r.output;
  EXPECT_NE(r.output.find("5 pictures, 2 files written, 3 failed"), std::string::npos) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"lossless-good.png", "lossy-good.png"}));
}

// Pixel (x, y) of the picture stored with EXIF orientation o as a viewer
// shows it, taken from the stored picture: each value's meaning, by hand.
img::PaletteEntry SeenUpright(const img::Bitmap& stored, int o, int x, int y) {
  const int w = stored.width(), h = stored.height();
  switch (o) {
    case 2: return stored.PixelColor(w - 1 - x, y);          // mirrored
    case 3: return stored.PixelColor(w - 1 - x, h - 1 - y);  // upside down
    case 4: return stored.PixelColor(x, h - 1 - y);          // mirrored upside down
    case 5: return stored.PixelColor(y, x);                  // transposed
    case 6: return stored.PixelColor(y, h - 1 - x);          // needs a quarter turn clockwise
    case 7: return stored.PixelColor(w - 1 - y, h - 1 - x);  // transposed the other way
    case 8: return stored.PixelColor(w - 1 - y, x);          // needs a quarter turn back
    default: return stored.PixelColor(x, y);
  }
}

int PixelsDiffering(const img::Bitmap& a, const img::Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return -1;
  int differing = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) differing += a.PixelColor(x, y) != b.PixelColor(x, y);
  return differing;
}

void WritePngWith(const img::Bitmap& picture, const engine::PictureMetadata& metadata, const fs::path& path) {
  fs::create_directories(path.parent_path());
  img::WriteFileAtomically(path, engine::PngStreamWriter({}, &metadata).Encode(picture));
}

// PNG sources (exact pixels) with an eXIf of each orientation, byte orders
// alternating, and an iCCP: upright targets that carry the EXIF with the
// tag reset to 1 and the profile unchanged.
TEST_F(ImgBatch, AutoOrientTurnsEachOfTheEightOrientationsUpright) {
  const img::Bitmap stored = testsupport::GradientBitmap(5, 3);
  engine::PictureMetadata metadata;
  metadata.icc = testsupport::IccProfile(400);
  for (int o = 1; o <= 8; ++o) {
    metadata.exif = testsupport::ExifWithOrientation(o, o % 2 == 0);
    WritePngWith(stored, metadata, src() / std::string("o").append(std::to_string(o)).append(".png"));
  }
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "--auto-orient", "--keep-metadata", "-q"});
  ASSERT_EQ(r.status, 0) << r.output;
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE("orientation " + std::to_string(o));
    img::Bitmap upright;
    engine::PictureMetadata carried;
    engine::PngImage().Load(out() / std::string("o").append(std::to_string(o)).append(".png"), upright, &carried);
    img::Bitmap expected(o >= 5 ? 3 : 5, o >= 5 ? 5 : 3);
    for (int y = 0; y < expected.height(); ++y)
      for (int x = 0; x < expected.width(); ++x) {
        const img::PaletteEntry c = SeenUpright(stored, o, x, y);
        std::uint8_t* p = expected.ScanLine(y) + 3 * x;
        p[0] = c.blue, p[1] = c.green, p[2] = c.red;
      }
    EXPECT_EQ(PixelsDiffering(upright, expected), 0);
    EXPECT_EQ(carried.exif, testsupport::ExifWithOrientation(1, o % 2 == 0));
    EXPECT_EQ(carried.icc, metadata.icc);
  }
}

// The orientation comes first: a transposed picture turned a quarter is the
// stored one mirrored (the turn first would mirror it top to bottom), and a
// 40x20 picture lying on its side is shrunk as the 20x40 it is.
TEST_F(ImgBatch, AutoOrientComesBeforeTheResizeAndTheTurn) {
  const img::Bitmap stored = testsupport::GradientBitmap(5, 3);
  engine::PictureMetadata metadata;
  metadata.exif = testsupport::ExifWithOrientation(5);
  WritePngWith(stored, metadata, src() / "transposed.png");
  metadata.exif = testsupport::ExifWithOrientation(6);
  WritePngWith(testsupport::GradientBitmap(40, 20), metadata, src() / "lying.png");
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "--auto-orient", "--width", "10",
                             "--keep-ratio", "--rotate", "90", "-q"});
  ASSERT_EQ(r.status, 0) << r.output;
  img::Bitmap result;
  engine::PngImage().Load(out() / "transposed.png", result);
  img::Bitmap mirrored(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) std::memcpy(mirrored.ScanLine(y) + 3 * x, stored.ScanLine(y) + 3 * (4 - x), 3);
  EXPECT_EQ(PixelsDiffering(result, mirrored), 0);
  engine::PngImage().Load(out() / "lying.png", result);
  EXPECT_EQ(result.width(), 20);
  EXPECT_EQ(result.height(), 10);
}

// A photo's EXIF (APP1) and ICC profile (over two APP2 markers) read back
// from the JPEG and PNG targets; with --strip the targets are, byte for
// byte, those of the same photo without metadata.
TEST_F(ImgBatch, KeepMetadataCarriesExifAndIccProfileAndStripCarriesNothing) {
  engine::PictureMetadata metadata;
  metadata.exif = testsupport::ExifWithOrientation(6, true);
  metadata.icc = testsupport::IccProfile(70000);
  const img::Bitmap picture = testsupport::GradientBitmap(40, 30);
  engine::JpegImage codec;
  fs::create_directories(src() / "plain");
  img::WriteFileAtomically(src() / "photo.jpg", codec.Encode(picture, &metadata));
  img::WriteFileAtomically(src() / "plain" / "photo.jpg", codec.Encode(picture));

  auto run = [&](const fs::path& source, const char* folder, std::vector<std::string> options) {
    std::vector<std::string> args{U(source), "-o", U(out() / folder), "-q"};
    args.insert(args.end(), options.begin(), options.end());
    RunResult r = RunImgBatch(args);
    EXPECT_EQ(r.status, 0) << r.output;
  };
  auto carried = [&](const char* folder, const char* name) {
    img::Bitmap picture;
    engine::PictureMetadata read;
    const fs::path path = out() / folder / name;
    if (path.extension() == ".png")
      engine::PngImage().Load(path, picture, &read);
    else
      engine::JpegImage().Load(path, picture, 1, &read);
    return read;
  };
  run(src() / "photo.jpg", "kept", {"-f", "jpg,png,bmp", "--keep-metadata", "--no-auto-orient"});
  for (const char* name : {"photo.jpg", "photo.png"}) {
    SCOPED_TRACE(name);
    const engine::PictureMetadata read = carried("kept", name);
    EXPECT_EQ(read.exif, metadata.exif);
    EXPECT_EQ(read.icc, metadata.icc);
  }

  run(src() / "photo.jpg", "upright", {"-f", "jpg", "--keep-metadata", "--auto-orient"});
  EXPECT_EQ(carried("upright", "photo.jpg").exif, testsupport::ExifWithOrientation(1, true));

  run(src() / "photo.jpg", "default", {"-f", "jpg,png,bmp", "--strip", "--no-auto-orient"});
  run(src() / "plain" / "photo.jpg", "plain", {"-f", "jpg,png,bmp"});
  for (const char* name : {"photo.jpg", "photo.png", "photo.bmp"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(img::ReadWholeFile(out() / "default" / name), img::ReadWholeFile(out() / "plain" / name));
  }
}

// A photo stored lying on its side (orientation 6): left half black, right
// half white, so upright its top is black. In the PNG the tag is a LONG.
struct LyingCase {
  const char* extension;
  bool longTag;
  friend void PrintTo(const LyingCase& c, std::ostream* os) { *os << c.extension; }
};

class ImgBatchLying : public ImgBatch, public ::testing::WithParamInterface<LyingCase> {};

TEST_P(ImgBatchLying, StandsUprightInEveryTargetByDefault) {
  img::Bitmap stored(40, 20);
  for (int y = 0; y < 20; ++y) {
    std::memset(stored.ScanLine(y), 0, 60);
    std::memset(stored.ScanLine(y) + 60, 255, 60);
  }
  engine::PictureMetadata metadata;
  metadata.exif = testsupport::ExifWithOrientation(6);
  if (GetParam().longTag) metadata.exif[22 + 2] = 4;
  const fs::path source = src() / (std::string("lying") + GetParam().extension);
  testsupport::WritePictureWith(stored, metadata, source);

  // Each run: its options, the targets' size, the EXIF the PNG carries.
  const struct {
    const char* folder;
    std::vector<std::string> options;
    int width;
    std::vector<std::uint8_t> exif;
  } runs[] = {{"default", {}, 20, testsupport::ExifWithOrientation(1)},
              {"raw", {"--no-auto-orient", "--keep-metadata"}, 40, metadata.exif},
              {"kept", {"--keep-metadata"}, 20, testsupport::ExifWithOrientation(1)}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.folder);
    std::vector<std::string> args{U(source), "-o", U(out() / run.folder), "-f", "bmp,jpg,png,webp", "-q"};
    args.insert(args.end(), run.options.begin(), run.options.end());
    RunResult r = RunImgBatch(args);
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char* name : {"lying.bmp", "lying.jpg", "lying.png", "lying.webp"}) {
      SCOPED_TRACE(name);
      img::Bitmap target;
      const engine::PictureMetadata carried = testsupport::ReadPictureWith(out() / run.folder / name, target);
      ASSERT_EQ(target.width(), run.width);
      ASSERT_EQ(target.height(), 60 - run.width);
      if (run.width == 20) {
        EXPECT_LT(target.PixelColor(10, 5).red, 64);
        EXPECT_GT(target.PixelColor(10, 35).red, 192);
      }
      if (std::string(name) == "lying.png") {
        EXPECT_EQ(carried.exif, run.exif);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, ImgBatchLying,
                         ::testing::Values(LyingCase{".jpg", false}, LyingCase{".webp", false},
                                           LyingCase{".png", true}),
                         [](const auto& info) { return std::string(info.param.extension + 1); });

// What each target kind carries of a source's EXIF, ICC profile, XMP and
// comment: everything by default and with --keep-metadata (no comment in
// WebP, which has no place for it), nothing with --strip.
struct CarryCase {
  const char* name;
  const char* extension;
  std::vector<std::string> options;
  engine::CarriedMetadata carried;
  friend void PrintTo(const CarryCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchCarry : public ImgBatch, public ::testing::WithParamInterface<CarryCase> {};

TEST_P(ImgBatchCarry, CarriesWhatTheOptionsSay) {
  const std::string xmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF/></x:xmpmeta>";
  const std::string comment = "Holiday 假期";
  const bool webp_source = std::string(GetParam().extension) == ".webp";
  engine::PictureMetadata source;
  source.exif = testsupport::ExifWithOrientation(1);
  source.icc = testsupport::IccProfile(600);
  source.xmp.assign(xmp.begin(), xmp.end());
  if (!webp_source) source.comment.assign(comment.begin(), comment.end());
  const fs::path path = src() / (std::string("photo") + GetParam().extension);
  testsupport::WritePictureWith(testsupport::GradientBitmap(24, 16), source, path);

  std::vector<std::string> args{U(path), "-o", U(out()), "-f", "jpg,png,webp", "-q"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  RunResult r = RunImgBatch(args);
  ASSERT_EQ(r.status, 0) << r.output;
  const bool all = GetParam().carried == engine::CarriedMetadata::All;
  for (const char* name : {"photo.jpg", "photo.png", "photo.webp"}) {
    SCOPED_TRACE(name);
    const bool webp = std::string(name) == "photo.webp";
    img::Bitmap picture;
    const engine::PictureMetadata carried = testsupport::ReadPictureWith(out() / name, picture);
    EXPECT_EQ(carried.icc, GetParam().carried == engine::CarriedMetadata::None ? std::vector<std::uint8_t>{} : source.icc);
    EXPECT_EQ(carried.exif, all ? source.exif : std::vector<std::uint8_t>{});
    EXPECT_EQ(carried.xmp, all ? source.xmp : std::vector<std::uint8_t>{});
    EXPECT_EQ(carried.comment, all && !webp ? source.comment : std::vector<std::uint8_t>{});
  }
  // Where other readers look for them, read by hand (libpng reads the PNG's).
  const std::vector<std::uint8_t> webp = img::ReadWholeFile(out() / "photo.webp");
  const std::vector<std::string> expected_chunks =
      all ? std::vector<std::string>{"VP8X", "ICCP", "VP8 ", "EXIF", "XMP "}
      : GetParam().carried == engine::CarriedMetadata::Profile ? std::vector<std::string>{"VP8X", "ICCP", "VP8 "}
                                                               : std::vector<std::string>{"VP8 "};
  EXPECT_EQ(testsupport::RiffChunkNames(webp), expected_chunks);
  if (all) {
    const std::vector<std::uint8_t> jpeg = img::ReadWholeFile(out() / "photo.jpg");
    const std::string xmp_marker = std::string("http://ns.adobe.com/xap/1.0/") + '\0' + xmp;
    EXPECT_NE(std::search(jpeg.begin(), jpeg.end(), xmp_marker.begin(), xmp_marker.end()), jpeg.end());
  }
}

INSTANTIATE_TEST_SUITE_P(
    SourcesAndOptions, ImgBatchCarry,
    ::testing::Values(CarryCase{"JpegByDefault", ".jpg", {}, engine::CarriedMetadata::All},
                      CarryCase{"JpegKept", ".jpg", {"--keep-metadata"}, engine::CarriedMetadata::All},
                      CarryCase{"JpegStripped", ".jpg", {"--strip"}, engine::CarriedMetadata::None},
                      CarryCase{"PngKept", ".png", {"--keep-metadata"}, engine::CarriedMetadata::All},
                      CarryCase{"WebpByDefault", ".webp", {}, engine::CarriedMetadata::All},
                      CarryCase{"WebpKept", ".webp", {"--keep-metadata"}, engine::CarriedMetadata::All},
                      CarryCase{"WebpStripped", ".webp", {"--strip"}, engine::CarriedMetadata::None}),
    [](const auto& info) { return std::string(info.param.name); });

// EXIF past a JPEG marker's room is left out of the JPEG target only, and
// said: the picture is not a failure.
TEST_F(ImgBatch, ExifTooLargeForAJpegIsNamedAsAWarning) {
  engine::PictureMetadata source;
  source.exif = testsupport::ExifWithOrientation(1);
  source.exif.resize(70000);
  source.icc = testsupport::IccProfile(400);
  WritePngWith(testsupport::GradientBitmap(8, 8), source, src() / "big.png");
  RunResult r = RunImgBatch({U(src() / "big.png"), "-o", U(out()), "-f", "jpg,png", "--keep-metadata"});
  EXPECT_EQ(r.status, 0) << r.output;
  // The output folder as given, then the target's name (with '/' on Windows too).
  EXPECT_NE(r.output.find("imgbatch: warning: " + U(out())), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("big.jpg: EXIF data (70000 bytes) too large"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("1 picture, 2 files written, 0 failed"), std::string::npos) << r.output;
  img::Bitmap picture;
  const engine::PictureMetadata jpeg = testsupport::ReadPictureWith(out() / "big.jpg", picture);
  EXPECT_TRUE(jpeg.exif.empty());
  EXPECT_EQ(jpeg.icc, source.icc);
  EXPECT_EQ(testsupport::ReadPictureWith(out() / "big.png", picture).exif, source.exif);
}

// A grey picture's grey profile stays with it in grey JPEG and PNG targets;
// WebP, always RGB, leaves it out, as a grey PNG leaves out an RGB one.
TEST_F(ImgBatch, AProfileGoesOnlyWhereItDescribesThePixels) {
  engine::PictureMetadata grey;
  grey.icc = testsupport::IccProfile(400, "GRAY");
  WritePngWith(testsupport::GreyGradientBitmap(8, 8), grey, src() / "grey.png");
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "jpg,png,webp", "-q"});
  ASSERT_EQ(r.status, 0) << r.output;
  img::Bitmap picture;
  for (const char* name : {"grey.jpg", "grey.png"}) {
    EXPECT_EQ(testsupport::ReadPictureWith(out() / name, picture).icc, grey.icc) << name;
    EXPECT_TRUE(picture.IsGrey()) << name;
  }
  EXPECT_TRUE(testsupport::ReadPictureWith(out() / "grey.webp", picture).icc.empty());

  engine::PictureMetadata rgb;
  rgb.icc = testsupport::IccProfile(400);
  WritePngWith(testsupport::GreyGradientBitmap(8, 8), rgb, out() / "misfit.png");
  EXPECT_TRUE(testsupport::ReadPictureWith(out() / "misfit.png", picture).icc.empty());
}

// To TIFF and back: colours with alpha and grey levels come back equal,
// grey stays grey with its profile, and a .tif source is read like a .tiff.
TEST_F(ImgBatch, TiffTargetsComeBackAsTheyWere) {
  engine::PictureMetadata grey;
  grey.icc = testsupport::IccProfile(400, "GRAY");
  const img::Bitmap clear = testsupport::AlphaGradientBitmap(30, 20);
  const img::Bitmap levels = testsupport::GreyGradientBitmap(9, 7);
  WritePngWith(levels, grey, src() / "grey.png");
  engine::PngImage().Save(clear, src() / "clear.png");
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "tiff", "-q"});
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(OutNames(), (std::vector<std::string>{"clear.tiff", "grey.tiff"}));
  fs::rename(out() / "grey.tiff", out() / "grey.tif");
  r = RunImgBatch({U(out()), "-o", U(tmp_ / "back"), "-f", "png", "-q"});
  ASSERT_EQ(r.status, 0) << r.output;
  img::Bitmap picture;
  testsupport::ReadPictureWith(tmp_ / "back" / "clear.png", picture);
  EXPECT_EQ(picture.format(), img::PixelFormat::Bits32Alpha);
  EXPECT_TRUE(testsupport::SamePixels(picture, clear));
  EXPECT_EQ(testsupport::ReadPictureWith(tmp_ / "back" / "grey.png", picture).icc, grey.icc);
  EXPECT_TRUE(picture.IsGrey());
  testsupport::ExpectSameColours(picture, levels, "grey");
}

// To AVIF and back where the build writes it: alpha stays, and an AVIF's
// size is known before it is decoded (a target named by its turned size).
TEST_F(ImgBatch, AvifTargetsKeepAlphaAndTellTheirSize) {
  if (!engine::FindFormatByName("avif")) GTEST_SKIP() << "this build has no AVIF";
  const img::Bitmap clear = testsupport::AlphaGradientBitmap(30, 20);
  fs::create_directories(src());
  engine::PngImage().Save(clear, src() / "clear.png");
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "avif", "--quality", "100", "-q"});
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(OutNames(), std::vector<std::string>{"clear.avif"});
  r = RunImgBatch({U(out()), "-o", U(tmp_ / "back"), "-f", "png", "--rotate", "90", "--name", "{name}_{w}x{h}", "-q"});
  ASSERT_EQ(r.status, 0) << r.output;
  img::Bitmap picture;
  testsupport::ReadPictureWith(tmp_ / "back" / "clear_20x30.png", picture);
  ASSERT_EQ(picture.format(), img::PixelFormat::Bits32Alpha);
  EXPECT_NEAR(picture.ScanLine(0)[3], clear.ScanLine(clear.height() - 1)[3], 8);  // turned clockwise: bottom-left first
}

struct UsageCase {
  std::vector<std::string> args;
  std::string message;
  friend void PrintTo(const UsageCase& c, std::ostream* os) { *os << testsupport::Joined(c.args); }
};

// A case named by its command line past the usual "x.jpg -o OUT": the
// options without their dashes, a negative value "minus".
std::string UsageName(const ::testing::TestParamInfo<UsageCase>& info) {
  const std::vector<std::string>& args = info.param.args;
  const std::size_t from = args.size() >= 3 && args[0] == "x.jpg" && args[1] == "-o" && args[2] == "OUT" ? 3 : 0;
  std::vector<std::string> words;
  for (std::size_t i = from; i < args.size(); ++i) {
    const bool value = i > from && args[i - 1].starts_with('-') && args[i - 1].find('=') == std::string::npos;
    words.push_back(value ? args[i] : args[i].substr(std::min(args[i].find_first_not_of('-'), args[i].size())));
  }
  return testsupport::ParamName(testsupport::Joined(words));
}

constexpr const char* kOneSize = "--width or --height alone needs --keep-ratio; to fit inside a box use --fit WxH";

class ImgBatchUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(ImgBatchUsage, UsageErrorsExitWithTwoAndWriteNothing) {
  testsupport::TempDir tmp;
  std::vector<std::string> args = GetParam().args;
  for (std::string& a : args)
    if (a.ends_with("OUT")) a = a.substr(0, a.size() - 3) + U(tmp / "out");
  RunResult r = RunImgBatch(args);
  EXPECT_EQ(r.status, 2) << r.output;
  EXPECT_NE(r.output.find(GetParam().message), std::string::npos) << r.output;
  // One line and where to look, not the whole help.
  EXPECT_EQ(r.output.find("Usage:"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Try 'imgbatch --help'"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(tmp / "out"));
}

// Long options shortened as getopt_long allows, and -q silent on success.
TEST_F(ImgBatch, AbbreviatedOptionsAndAQuietRun) {
  fs::create_directories(src());
  engine::PngImage().Save(testsupport::GradientBitmap(8, 6), src() / "a.png");
  RunResult r = RunImgBatch({U(src() / "a.png"), "--out=" + U(out()), "--form", "jpg", "--qual=50", "-q"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, "");
  EXPECT_TRUE(fs::exists(out() / "a.jpg"));
}

INSTANTIATE_TEST_SUITE_P(
    BadCommandLines, ImgBatchUsage,
    ::testing::Values(UsageCase{{"x.jpg"}, "no output folder"},
                      UsageCase{{"x.jpg", "-o"}, "needs a value"},
                      UsageCase{{"-o", "OUT"}, "no source"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--bogus"}, "unknown option --bogus"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--keep-metadata", "--strip"}, "cannot be combined"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--width", "12a"}, "whole number"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--width", "0"}, "whole number"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--rotate", "45"}, "0, 90, 180 or 270"},
                      UsageCase{{"x.jpg", "-o", "OUT", "-j", "0"}, "--jobs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "-f", "gif"}, "unknown format 'gif'"},
                      // One size without --keep-ratio would silently be no resize.
                      UsageCase{{"x.jpg", "-oOUT", "--width", "100"}, kOneSize},
                      UsageCase{{"x.jpg", "-oOUT", "--height=100"}, kOneSize},
                      UsageCase{{"x.jpg", "-o", "OUT", "--fit", "100x"}, "--fit needs WxH"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--fit", "0x10"}, "--fit needs WxH"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--fit", "0"}, "--fit needs WxH or N"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--cover", "100"}, "--cover needs WxH"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--fit", "10x10", "--width", "5"}, "--fit cannot be combined"},
                      UsageCase{{"x.jpg", "-o", "OUT", "-qz"}, "unknown option -z"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--k"}, "option '--k' is ambiguous; possibilities: --keep-ratio"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quiet=1"}, "option --quiet takes no value"},
                      UsageCase{{"x.jpg", "-o", "OUT", "-j"}, "needs a value"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality", "0"}, "--quality needs a whole number from 1 to 100"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality", "101"}, "--quality needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality", "high"}, "--quality needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality"}, "needs a value"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality", "png=50"}, "'png=50' is not jpg=N, webp=N"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality", "jpg=85,80"}, "'80' is not jpg=N"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality", "webp=0"}, "webp needs a whole number from 1 to 100"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality", "jpg=85,"}, "'' is not jpg=N"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--memory", "0"}, "--memory needs a whole number of MiB"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--memory", "-1"}, "--memory needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--memory=x"}, "--memory needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--filter", "cubic"}, "--filter needs exact, mitchell or lanczos"},
                      UsageCase{{"x.jpg", "-o", "OUT", "-0"}, "-0 needs --files-from"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--max-depth", "-1"}, "--max-depth needs a whole number"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--report", "csv"}, "--report needs json"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--report=json", "--dry-run"}, "cannot be combined"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--jpeg-lossless", "--max-size", "1M"}, "--jpeg-lossless and --max-size cannot"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--sampling", "411"}, "--sampling needs 420, 422 or 444"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--effort", "10"}, "--effort needs a whole number from 0 to 9"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--scale", "0%"}, "--scale needs a percentage"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--scale", "-50%"}, "--scale needs a percentage"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--scale", "150%"}, "--scale over 100% makes pictures larger"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--cover", "10x"}, "--cover needs WxH"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--fit", "9x9", "--cover", "9x9"}, "--fit cannot be combined with --cover"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--scale", "50", "--width", "9"}, "--scale cannot be combined with --width"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--enlarge"}, "--enlarge needs a resize"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--name", "a/{name}"}, "--name 'a/{name}' has a folder separator"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--name", "{name}/x"}, "--name '{name}/x' has a folder separator"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--name="}, "--name '' is empty"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--name", "{nam}_x"}, "has an unknown field {nam}"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--name", "{name"}, "has a '{' that no '}' closes"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--png-level", "10"}, "--png-level needs a whole number from 0 to 9, not '10'"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--png-level=-1"}, "--png-level needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--png-filter", "paeth"}, "--png-filter needs none or adaptive, not 'paeth'"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--raw", "fast"}, "--raw needs develop or preview, not 'fast'"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--max-size", "0"}, "--max-size needs a size such as 200k"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--max-size", "0.0001k"}, "--max-size needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--max-size", "-5k"}, "--max-size needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--max-size", "200x"}, "--max-size needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--max-size", "1.5.5M"}, "--max-size needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--max-size", "2."}, "--max-size needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--max-size", "k"}, "--max-size needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--max-size", "5000000000000"}, "--max-size needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--crop", "0x5+0+0"}, "--crop needs WxH+X+Y or W:H"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--crop", "5x5"}, "--crop needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--crop", "5x5+1"}, "--crop needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--crop", "5x5+-1+0"}, "--crop needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--crop", "4:0"}, "--crop needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--crop", "4:3:2"}, "--crop needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--pad", "0x10"}, "--pad needs WxH"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--pad", "100000x100000"}, "--pad needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--fit", "9x9", "--pad", "9x9"}, "--fit cannot be combined with --pad"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--background", "red"}, "--background needs white, black or #rrggbb"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--background", "#12345g"}, "--background needs"}),
    UsageName);

// A budget of 1 MiB, a few of these pictures' need, or of 2 GiB: every
// picture that fits the budget alone is converted.
TEST_F(ImgBatch, EveryPictureIsConvertedWhateverTheMemoryBudget) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) Jpeg(name, 300, 200);
  for (const char* memory : {"--memory=1", "--memory=2048"}) {
    SCOPED_TRACE(memory);
    fs::remove_all(out());
    RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "-j", "3", memory, "-q"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(OutNames(), (std::vector<std::string>{"a.png", "b.png", "c.png"}));
  }
}

// A GIF of a few bytes may declare a screen of hundreds of megabytes: a
// picture that needs more than the whole budget is not converted, and its
// reason, in the JSON report too, says how many MiB it needs; the picture
// beside it is converted, and a budget of that many MiB converts it.
TEST_F(ImgBatch, APictureNeedingMoreThanTheWholeBudgetIsRefusedWithItsNeed) {
  Jpeg("small.jpg", 30, 20);
  testsupport::GifPicture gif;
  gif.screenWidth = 3000;
  gif.screenHeight = 2000;
  gif.width = gif.height = 1;
  gif.indices = {1};
  gif.colours = {{0, 0, 0}, {200, 100, 50}};
  const std::vector<std::uint8_t> bytes = testsupport::GifBytes(gif);
  testsupport::WriteFile(src() / "screen.gif", std::string(bytes.begin(), bytes.end()));
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "-j", "2", "--memory", "8", "--report", "json"});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_EQ(OutNames(), std::vector<std::string>{"small.png"});
  EXPECT_NE(r.output.find("\"code\":\"over_memory_budget\""), std::string::npos) << r.output;
  const std::string words = "screen.gif: converting it would need about ";
  const std::size_t at = r.output.find(words);
  ASSERT_NE(at, std::string::npos) << r.output;
  const std::string mib = std::to_string(std::stoi(r.output.substr(at + words.size())));
  EXPECT_NE(r.output.find(words + mib + " MiB of memory, more than --memory allows"), std::string::npos) << r.output;
  r = RunImgBatch({U(src() / "screen.gif"), "-o", U(out()), "-f", "png", "--memory", mib});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"screen.png", "small.png"}));
}

TEST(ImgBatchInfo, HelpAndVersion) {
  RunResult help = RunImgBatch({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("Usage: imgbatch"), std::string::npos);
  for (const char* option : {"--quality N", "--lossless", "png,webp", ".webp", "--memory MB", "--filter NAME",
                             "--progressive", "--optimize", "--sampling S", "--effort N", "--cover WxH",
                             "--scale N%", "--enlarge", "--name TEMPLATE", "--png-level N", "--png-filter NAME"})
    EXPECT_NE(help.output.find(option), std::string::npos) << option;
  RunResult version = RunImgBatch({"--version"});
  EXPECT_EQ(version.status, 0);
  // The formats of the build follow, read and written, each as -f names it.
  EXPECT_EQ(version.output.rfind("imgbatch 2.2\nreads: bmp jpg jpeg png webp", 0), 0u) << version.output;
  EXPECT_NE(version.output.find("\nwrites: bmp jpg jpeg png webp tif tiff"), std::string::npos) << version.output;
}

TEST_F(ImgBatch, MissingSourceIsAFailureNotAUsageError) {
  Jpeg("here.jpg");
  RunResult r = RunImgBatch({U(src() / "here.jpg"), U(src() / "gone.jpg"), "-o", U(out()), "-f", "png"});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("gone.jpg"), std::string::npos);
  EXPECT_EQ(OutNames(), std::vector<std::string>{"here.png"});
}

// A run with no picture to write makes no output folder, so a mistyped
// source leaves nothing behind.
struct NoPictureCase {
  const char* name;
  const char* source;  // under the source folder, which holds notes.txt alone
  int status;
  friend void PrintTo(const NoPictureCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchNoPicture : public ImgBatch, public ::testing::WithParamInterface<NoPictureCase> {};

TEST_P(ImgBatchNoPicture, MakesNoOutputFolder) {
  testsupport::WriteFile(src() / "notes.txt", "no picture");
  const RunResult r = RunImgBatch({U(src() / GetParam().source), "-o", U(out() / "new")});
  EXPECT_EQ(r.status, GetParam().status) << r.output;
  EXPECT_FALSE(fs::exists(out())) << r.output;
}

INSTANTIATE_TEST_SUITE_P(Sources, ImgBatchNoPicture,
                         ::testing::Values(NoPictureCase{"MissingFile", "gone.jpg", 1},
                                           NoPictureCase{"MissingFolder", "nosuchdir", 1},
                                           NoPictureCase{"FolderWithoutPictures", ".", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// The output folder the source's own: no picture is replaced, by a target
// of itself or of another picture, in one run or in the next.
TEST_F(ImgBatch, AnOutputFolderEqualToTheSourceLosesNoPicture) {
  Jpeg("a.jpg", 60, 80);
  engine::PngImage().Save(testsupport::GradientBitmap(100, 50), src() / "a.png");
  engine::PngImage().Save(testsupport::GradientBitmap(10, 10), src() / "b.png");
  const std::string a_png = testsupport::ReadFile(src() / "a.png"), a_jpg = testsupport::ReadFile(src() / "a.jpg");
  RunResult r = RunImgBatch({U(src()), "-o", U(src()), "-f", "bmp,jpg,jpeg,png"});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("3 pictures, 9 files written, 4 renamed, 2 failed"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("a.png: it would replace the source picture "), std::string::npos) << r.output;
  for (int run = 0; run < 2; ++run) RunImgBatch({"-f", "png,bmp", U(src()), "-o", U(src())});
  EXPECT_TRUE(testsupport::ReadFile(src() / "a.png") == a_png) << "a.png was replaced";
  EXPECT_TRUE(testsupport::ReadFile(src() / "a.jpg") == a_jpg) << "a.jpg was replaced";
}

// Into its own folder, a run that reads only some of its pictures keeps
// the others as well: a target that is one of them is refused with the
// reason (the dry run says so too), or numbered when a template names it.
struct OwnFolderCase {
  const char* name;
  std::vector<std::string> args;  // SRC and PNG stand for the folder and its PNG
  int status;
  const char* says;
  friend void PrintTo(const OwnFolderCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchOwnFolder : public ImgBatch, public ::testing::WithParamInterface<OwnFolderCase> {};

TEST_P(ImgBatchOwnFolder, KeepsThePicturesItWasNotToldToRead) {
  const fs::path jpg = Jpeg("photo.jpg", 60, 80), png = src() / "photo.png";
  engine::PngImage().Save(testsupport::GradientBitmap(100, 50), png);
  const std::string jpg_bytes = testsupport::ReadFile(jpg);
  std::vector<std::string> args{"-o", U(src()), "-f", "jpg"};
  for (std::string a : GetParam().args) args.push_back(a == "SRC" ? U(src()) : a == "PNG" ? U(png) : a);
  const RunResult r = RunImgBatch(args);
  EXPECT_EQ(r.status, GetParam().status) << r.output;
  EXPECT_NE(r.output.find(GetParam().says), std::string::npos) << r.output;
  EXPECT_TRUE(testsupport::ReadFile(jpg) == jpg_bytes) << "photo.jpg was replaced";
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ImgBatchOwnFolder,
    ::testing::Values(
        OwnFolderCase{"OnlyItsPngsIncluded", {"SRC", "--include", "*.png"}, 1,
                      "photo.jpg: it would replace "},
        OwnFolderCase{"ItsJpegsExcluded", {"SRC", "--exclude", "*.jpg"}, 1, "of that name in a folder the run reads"},
        OwnFolderCase{"ItsPngNamedAlone", {"PNG"}, 1, "1 picture, 0 files written, 1 failed"},
        OwnFolderCase{"ADryRun", {"PNG", "--dry-run"}, 1, "photo.jpg: it would replace "},
        OwnFolderCase{"ANameTemplate", {"PNG", "--name", "{name}"}, 0, "1 picture, 1 file written, 1 renamed"}),
    [](const auto& info) { return std::string(info.param.name); });

// Camera folders repeat their names: every picture lands, the counts are
// the files that exist, and a file named twice is converted once.
TEST_F(ImgBatch, PicturesOfOneNameAllLandAndAreCountedTruly) {
  for (int n = 1; n <= 3; ++n) Jpeg("100CANON/IMG_000" + std::to_string(n) + ".JPG", 40, 30);
  for (int n = 1; n <= 4; ++n) Jpeg("101CANON/IMG_000" + std::to_string(n) + ".JPG", 30, 40);
  RunResult r = RunImgBatch({"-f", "jpg", "--fit", "800x800", U(src()), U(src() / "101CANON" / "IMG_0004.JPG"),
                             "-o", U(out())});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("7 pictures, 7 files written, 3 renamed, 0 failed"), std::string::npos) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"IMG_0001 (2).jpg", "IMG_0001.jpg", "IMG_0002 (2).jpg",
                                                  "IMG_0002.jpg", "IMG_0003 (2).jpg", "IMG_0003.jpg",
                                                  "IMG_0004.jpg"}));
  img::Bitmap second;
  engine::JpegImage().Load(out() / "IMG_0001 (2).jpg", second);
  EXPECT_EQ(second.width(), 30);
}

#ifndef _WIN32
// FAT through FUSE gives each spelling of a name a number of its own and has
// no unnamed files: a target spelt in other letters is still its source, a
// file named in two spellings is converted once, and a run removes the
// temporaries a killed one left.
TEST_F(ImgBatch, OnAFatFileSystemSpellingsInOtherCaseAreOneFile) {
  const fs::path image = tmp_ / "fat.img", mount = tmp_ / "fat";
  fs::create_directories(mount);
  if (std::system(("mkfs.vfat -C " + Quote(U(image)) + " 8192 >/dev/null 2>&1").c_str()) != 0 ||
      std::system(("fusefat -o rw+ " + Quote(U(image)) + " " + Quote(U(mount)) + " >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << "no FAT file system through FUSE here (dosfstools, fusefat, /dev/fuse)";
  struct Unmount {
    std::string at;
    ~Unmount() { std::system(("fusermount -u " + at + " 2>/dev/null || umount " + at).c_str()); }
  } unmount{Quote(U(mount))};

  const fs::path dir = mount / "DIR";
  fs::create_directories(dir);
  engine::JpegImage().Save(testsupport::GradientBitmap(40, 30), dir / "IMG_0001.JPG");
  const std::string photo = testsupport::ReadFile(dir / "IMG_0001.JPG");
  testsupport::WriteFile(dir / ".imgconvert-7fffffff-0.tmp", "left by a killed run");
  RunResult r = RunImgBatch({"-f", "jpg", U(dir), "-o", U(dir)});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("IMG_0001.jpg: the target is the source file itself"), std::string::npos) << r.output;
  EXPECT_TRUE(testsupport::ReadFile(dir / "IMG_0001.JPG") == photo) << "the photo was replaced";
  EXPECT_FALSE(fs::exists(dir / ".imgconvert-7fffffff-0.tmp"));

  r = RunImgBatch({"-f", "png", U(dir / "IMG_0001.JPG"), U(mount / "dir" / "img_0001.jpg"), "-o", U(dir)});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("1 picture, 1 file written, 0 failed"), std::string::npos) << r.output;
}
#endif

// Outcomes that once read as success: a kept proportion that derives a side
// of nothing, a pipe named like a picture, an output folder that is a file.
TEST_F(ImgBatch, SmallThingsAreReportedTruly) {
  Jpeg("wide.jpg", 300, 200);
  RunResult r = RunImgBatch({U(src() / "wide.jpg"), "-o", U(out()), "-f", "png", "--width", "1", "--keep-ratio"});
  EXPECT_EQ(r.status, 0) << r.output;
  img::Bitmap thin;
  engine::PngImage().Load(out() / "wide.png", thin);
  EXPECT_EQ(thin.width(), 1);
  EXPECT_EQ(thin.height(), 1);

  testsupport::WriteFile(tmp_ / "ofile");
  r = RunImgBatch({U(src()), "-o", U(tmp_ / "ofile"), "-q"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("cannot create the output folder " + U(tmp_ / "ofile") + ": "), std::string::npos)
      << r.output;
#ifndef _WIN32
  ASSERT_EQ(mkfifo(U(src() / "pipe.jpg").c_str(), 0600), 0);
  r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "-q"});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find(U(src() / "pipe.jpg") + ": not read: not a regular file"), std::string::npos) << r.output;
#endif
}

struct UnreadableCase {
  const char* name;
  const char* folder;  // under src(); empty for src() itself
  fs::perms perms;
  const char* named;   // what the failure line names, under src()
  const char* summary;
  friend void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchUnreadable : public ImgBatch, public ::testing::WithParamInterface<UnreadableCase> {};

// A folder the user may not read held pictures that were never converted:
// named, counted, and the exit status says so.
TEST_P(ImgBatchUnreadable, IsNamedCountedAndFailsTheRun) {
#ifdef _WIN32
  GTEST_SKIP() << "folder permissions are POSIX modes here";
#else
  // Root reads every folder: run as nobody where this runs as root.
  std::string as_user;
  if (geteuid() == 0) {
    as_user = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (RunImgBatch({"--version"}, as_user).status != 0)
      GTEST_SKIP() << "root, and imgbatch cannot be run as nobody (no setpriv, or its folder is closed)";
  }
  Jpeg("a.jpg");
  Jpeg("locked/b.jpg");
  fs::create_directories(out());
  for (const auto& e : fs::recursive_directory_iterator(tmp_.path()))
    fs::permissions(e, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(tmp_.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(out(), fs::perms::all);
  fs::permissions(src() / GetParam().folder, GetParam().perms);

  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png"}, as_user);
  EXPECT_EQ(r.status, 1) << r.output;
  const std::string named = *GetParam().named ? U(src() / GetParam().named) : U(src());
  EXPECT_NE(r.output.find("imgbatch: " + named + ": cannot be read: Permission denied"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find(GetParam().summary), std::string::npos) << r.output;
#endif
}

INSTANTIATE_TEST_SUITE_P(
    FoldersAndEntries, ImgBatchUnreadable,
    ::testing::Values(UnreadableCase{"ClosedSubfolder", "locked", fs::perms::none, "locked",
                                     "1 picture, 1 file written, 1 failed"},
                      UnreadableCase{"EntriesOfAReadOnlySubfolder", "locked",
                                     fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                                     "locked/b.jpg", "1 picture, 1 file written, 1 failed"},
                      UnreadableCase{"ClosedSource", "", fs::perms::none, "", "0 pictures, 0 files written, 1 failed"}),
    testsupport::ByName());

// --keep-tree: names are numbered within one folder only; an output folder inside
// the source is still not walked; a subfolder that cannot be made fails its
// pictures and no others.
TEST_F(ImgBatch, KeepTreeRepeatsTheSubfoldersAndNumbersWithinEachOnly) {
  Jpeg("a/Photo1.jpg", 40, 10);
  Jpeg("b/photo1.jpg", 30, 10);
  Jpeg("b/c/x.jpeg", 20, 10);
  Jpeg("b/c/X.JPG", 24, 10);  // listed after x.jpeg in the same folder: numbered
  Jpeg("top.jpg", 16, 10);
  Jpeg("blocked/lost.jpg");
  const fs::path output = src() / "out";
  fs::create_directories(output);
  img::WriteFileAtomically(output / "blocked", std::vector<std::uint8_t>{1});
  Jpeg("out/old.jpg");  // a target of an earlier run, not a source

  RunResult r = RunImgBatch({U(src()), "-o", U(output), "--keep-tree", "-f", "bmp"});
  EXPECT_EQ(r.status, 1) << r.output;
  const std::size_t lost = r.output.find("lost.jpg: cannot create the folder ");
  EXPECT_NE(lost, std::string::npos) << r.output;
  EXPECT_NE(r.output.find("blocked", lost), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("6 pictures, 5 files written, 1 renamed, 1 failed"), std::string::npos) << r.output;
  std::vector<std::string> files;
  for (auto& e : fs::recursive_directory_iterator(output))
    if (e.is_regular_file()) files.push_back(U(fs::relative(e.path(), output).generic_u8string()));
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"a/Photo1.bmp", "b/c/X (2).bmp", "b/c/x.bmp", "b/photo1.bmp",
                                             "blocked", "old.jpg", "top.bmp"}));
  for (auto [rel, width] : {std::pair{"a/Photo1.bmp", 40}, {"b/photo1.bmp", 30}, {"b/c/x.bmp", 20},
                            {"b/c/X (2).bmp", 24}}) {
    img::Bitmap bmp;
    bmp.LoadFromFile(output / rel);
    EXPECT_EQ(bmp.width(), width) << rel;
  }
}

// A PNG named .jpg and a JPEG named .png convert, and so does a GIF's first
// picture; a walk's files of other kinds are counted, not failed.
TEST_F(ImgBatch, PicturesAreReadByWhatTheyAreAndOtherFilesCounted) {
  Jpeg("photo.png", 40, 30);
  engine::PngImage().Save(testsupport::GradientBitmap(30, 20), src() / "shot.jpg");
  testsupport::GifPicture gif;
  gif.screenWidth = gif.width = 6;
  gif.screenHeight = gif.height = 4;
  gif.indices.assign(24, 1);
  gif.colours = {{0, 0, 0}, {200, 100, 50}};
  const std::vector<std::uint8_t> gif_bytes = testsupport::GifBytes(gif);
  testsupport::WriteFile(src() / "sub" / "anim.gif", std::string(gif_bytes.begin(), gif_bytes.end()));
  testsupport::WriteFile(src() / "sub" / "scan.tga");
  testsupport::WriteFile(src() / "notes.txt");
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "bmp"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("3 pictures, 3 files written, 0 failed, 2 other files not converted, "), std::string::npos)
      << r.output;
  img::Bitmap bmp;
  bmp.LoadFromFile(out() / "shot.bmp");
  EXPECT_TRUE(testsupport::SamePixels(bmp, testsupport::GradientBitmap(30, 20)));
  bmp.LoadFromFile(out() / "photo.bmp");
  EXPECT_EQ(bmp.width(), 40);
}

// White shrunk by a smooth kernel stays 255, as it does by default; the
// exact shrink's is 254.
TEST_F(ImgBatch, FilterChoosesTheResampler) {
  fs::create_directories(src());
  img::Bitmap(90, 60).SaveToFile(src() / "white.bmp");
  for (auto [filter, white] : {std::pair{"exact", 254}, {"Lanczos", 255}, {"", 255}}) {
    std::vector<std::string> args{U(src() / "white.bmp"), "-o", U(out()), "-f", "bmp", "--fit", "40x40"};
    if (*filter) args.insert(args.end(), {"--filter", filter});
    RunResult r = RunImgBatch(args);
    ASSERT_EQ(r.status, 0) << r.output;
    img::Bitmap result;
    result.LoadFromFile(out() / "white.bmp");
    EXPECT_EQ(result.PixelColor(20, 13).red, white) << filter;
  }
}

// Without -f each picture is written once, in its own kind and under its
// own name; GIF, which imgbatch only reads, becomes PNG where its first
// picture is clear anywhere (a transparent colour, a frame smaller than the
// screen), else JPG. The kind is what the bytes say, not the name.
struct OwnKindCase {
  const char* name;
  const char* source;
  void (*make)(const fs::path& path);
  const char* target;
  const char* kind;  // the target's kind, by its bytes
  friend void PrintTo(const OwnKindCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchOwnKind : public ImgBatch, public ::testing::WithParamInterface<OwnKindCase> {};

void WriteGif(const fs::path& path, int transparent, int frameWidth) {
  testsupport::GifPicture gif;
  gif.screenWidth = 6;
  gif.width = frameWidth;
  gif.screenHeight = gif.height = 4;
  gif.indices.assign(static_cast<std::size_t>(frameWidth) * 4, 1);
  gif.indices[0] = 0;
  gif.colours = {{0, 0, 0}, {200, 100, 50}};
  gif.transparent = transparent;
  const std::vector<std::uint8_t> bytes = testsupport::GifBytes(gif);
  testsupport::WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

void WriteKind(const fs::path& path) {
  testsupport::WritePictureWith(testsupport::GradientBitmap(12, 8), {}, path);
}

void WriteJpeg(const fs::path& path) { engine::JpegImage().Save(testsupport::GradientBitmap(12, 8), path); }

TEST_P(ImgBatchOwnKind, WritesOneTargetOfThePicturesKind) {
  const fs::path source = src() / GetParam().source;
  fs::create_directories(src());
  GetParam().make(source);
  const RunResult r = RunImgBatch({U(source), "-o", U(out())});
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(OutNames(), std::vector<std::string>{GetParam().target}) << r.output;
  const fs::path target = out() / GetParam().target;
  const engine::PictureFormat* kind =
      engine::ChooseLoader(img::ReadFileHead(target, engine::kSignatureBytes), "no-extension");
  ASSERT_NE(kind, nullptr);
  EXPECT_TRUE(engine::SameKind(*kind, engine::FormatNamed(GetParam().kind))) << kind->name;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ImgBatchOwnKind,
    ::testing::Values(
        OwnKindCase{"JpgInCapitals", "Photo.JPG", WriteJpeg, "Photo.JPG", "jpg"},
        OwnKindCase{"Jpeg", "a.jpeg", WriteJpeg, "a.jpeg", "jpeg"},
        OwnKindCase{"Png", "Shot.png", WriteKind, "Shot.png", "png"},
        OwnKindCase{"Webp", "w.webp", WriteKind, "w.webp", "webp"},
        OwnKindCase{"Tiff", "scan.tiff", WriteKind, "scan.tiff", "tiff"},
        OwnKindCase{"Bmp", "b.bmp", [](const fs::path& p) { testsupport::GradientBitmap(5, 3).SaveToFile(p); },
                    "b.bmp", "bmp"},
        OwnKindCase{"PngNamedJpg", "inside.jpg",
                    [](const fs::path& p) { engine::PngImage().Save(testsupport::GradientBitmap(5, 3), p); },
                    "inside.png", "png"},
        OwnKindCase{"OpaqueGif", "o.gif", [](const fs::path& p) { WriteGif(p, -1, 6); }, "o.jpg", "jpg"},
        OwnKindCase{"GifWithATransparentColour", "t.gif", [](const fs::path& p) { WriteGif(p, 0, 6); }, "t.png",
                    "png"},
        OwnKindCase{"GifFrameSmallerThanItsScreen", "s.gif", [](const fs::path& p) { WriteGif(p, -1, 5); }, "s.png",
                    "png"}),
    [](const auto& info) { return std::string(info.param.name); });

// --strip-gps takes the GPS IFD and IFD0's pointer to it out of the EXIF a
// target carries and keeps the rest readable; without it the EXIF is the
// source's, byte for byte.
struct GpsCase {
  const char* name;
  const char* source;
  bool bigEndian;
  bool strip;
  friend void PrintTo(const GpsCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchGps : public ImgBatch, public ::testing::WithParamInterface<GpsCase> {};

TEST_P(ImgBatchGps, StripGpsLeavesNoPositionAndTheRestOfTheExif) {
  engine::PictureMetadata metadata;
  metadata.exif = testsupport::ExifWithGps(1, GetParam().bigEndian);
  const fs::path source = src() / GetParam().source;
  testsupport::WritePictureWith(testsupport::GradientBitmap(12, 8), metadata, source);
  std::vector<std::string> args{U(source), "-o", U(out())};
  if (GetParam().strip) args.push_back("--strip-gps");
  const RunResult r = RunImgBatch(args);
  ASSERT_EQ(r.status, 0) << r.output;
  img::Bitmap picture;
  const std::vector<std::uint8_t> exif =
      testsupport::ReadPictureWith(out() / GetParam().source, picture).exif;
  if (!GetParam().strip) {
    EXPECT_EQ(exif, metadata.exif);
    return;
  }
  ASSERT_EQ(exif.size(), metadata.exif.size());
  const std::optional<testsupport::ExifIfd> ifd0 = testsupport::ReadExifIfd(exif, 8);
  ASSERT_TRUE(ifd0);
  EXPECT_EQ(ifd0->tags, (std::vector<std::uint16_t>{0x010F, 0x0112, 0xC4A5}));
  const std::optional<testsupport::ExifIfd> ifd1 = testsupport::ReadExifIfd(exif, ifd0->next);
  ASSERT_TRUE(ifd1);
  EXPECT_EQ(ifd1->tags, std::vector<std::uint16_t>{0x0103});
  EXPECT_TRUE(std::all_of(exif.begin() + testsupport::kExifGpsStart, exif.begin() + testsupport::kExifGpsEnd,
                          [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(std::string(exif.begin() + 62, exif.begin() + 65), "Cam");
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ImgBatchGps,
    ::testing::Values(GpsCase{"JpegKeptByDefault", "photo.jpg", false, false},
                      GpsCase{"JpegStripped", "photo.jpg", false, true},
                      GpsCase{"BigEndianJpegStripped", "photo.jpg", true, true},
                      GpsCase{"PngStripped", "photo.png", false, true},
                      GpsCase{"WebpStripped", "photo.webp", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct FitCase {
  int width, height;
  const char* box;
  int fitWidth, fitHeight;
  friend void PrintTo(const FitCase& c, std::ostream* os) { *os << c.width << "x" << c.height << " in " << c.box; }
};

class ImgBatchFit : public ImgBatch, public ::testing::WithParamInterface<FitCase> {};

TEST_P(ImgBatchFit, ShrinksInsideTheBoxWithProportionsKept) {
  const FitCase c = GetParam();
  fs::path a = Jpeg("a.jpg", c.width, c.height);
  RunResult r = RunImgBatch({U(a), "-o", U(out()), "-f", "bmp", "--fit", c.box});
  ASSERT_EQ(r.status, 0) << r.output;
  img::Bitmap bmp;
  bmp.LoadFromFile(out() / "a.bmp");
  EXPECT_EQ(bmp.width(), c.fitWidth);
  EXPECT_EQ(bmp.height(), c.fitHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ImgBatchFit,
    ::testing::Values(FitCase{400, 300, "100x100", 100, 75},   // landscape: the width limits
                      FitCase{300, 400, "100x100", 75, 100},   // portrait: the height limits
                      FitCase{400, 300, "200x100", 133, 100},  // landscape, the box wider still
                      FitCase{300, 200, "100x100", 100, 67},   // 66.7 rounds to the nearest pixel
                      FitCase{90, 300, "100X100", 30, 100},    // one side fits already
                      FitCase{50, 40, "100x100", 50, 40},      // smaller than the box: not enlarged
                      FitCase{1000, 2, "100x100", 100, 1},     // never thinner than a line
                      FitCase{400, 300, "100", 100, 75},       // one number: a square box
                      FitCase{300, 400, "100", 75, 100}),
    testsupport::ByValue());

struct ResizeCase {
  std::vector<std::string> options;
  int width, height;  // of the 400 x 300 source's target
  friend void PrintTo(const ResizeCase& c, std::ostream* os) { *os << testsupport::Joined(c.options); }
};

class ImgBatchResize : public ImgBatch, public ::testing::WithParamInterface<ResizeCase> {};

TEST_P(ImgBatchResize, GivesTheSize) {
  fs::path a = Jpeg("a.jpg", 400, 300);
  std::vector<std::string> args = {U(a), "-o", U(out()), "-f", "bmp", "-q"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  RunResult r = RunImgBatch(args);
  ASSERT_EQ(r.status, 0) << r.output;
  img::Bitmap bmp;
  bmp.LoadFromFile(out() / "a.bmp");
  EXPECT_EQ(bmp.width(), GetParam().width);
  EXPECT_EQ(bmp.height(), GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    Options, ImgBatchResize,
    ::testing::Values(ResizeCase{{"--scale=12.5"}, 50, 38}, ResizeCase{{"--scale", "0.01%"}, 1, 1}, ResizeCase{{"--scale", "150%", "--enlarge"}, 600, 450},
                      ResizeCase{{"--cover", "200x50"}, 200, 50},
                      ResizeCase{{"--cover", "1000x100"}, 400, 100},  // not enlarged: only cut
                      ResizeCase{{"--cover", "1000x1000", "--enlarge"}, 1000, 1000},
                      ResizeCase{{"--fit", "800x800", "--enlarge"}, 800, 600},
                      ResizeCase{{"--width", "800", "--keep-ratio", "--enlarge", "--filter", "lanczos"}, 800, 600}),
    testsupport::ByValue());

// --name: the source's own case kept in {name}, the target's extension
// after; a name every picture shares numbers them all.
TEST_F(ImgBatch, NameTemplateNamesTargetsAndLosesNoPicture) {
  Jpeg("Photo.JPG");
  Jpeg("sub/IMG_2.jpg");
  RunResult r = RunImgBatch({U(src()), "-o", U(out() / "a"), "-f", "jpg,png", "--name", "{name}_small.{ext}", "-q"});
  ASSERT_EQ(r.status, 0) << r.output;
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(out() / "a")) names.push_back(U(e.path().filename()));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"IMG_2_small.jpg.jpg", "IMG_2_small.png.png", "Photo_small.jpg.jpg",
                                             "Photo_small.png.png"}));

  Jpeg("c.jpg");
  r = RunImgBatch({U(src()), "-o", U(out()), "-f", "jpg", "--name", "thumb"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("3 pictures, 3 files written, 2 renamed, 0 failed"), std::string::npos) << r.output;
  for (const char* name : {"thumb.jpg", "thumb (2).jpg", "thumb (3).jpg"}) EXPECT_TRUE(fs::exists(out() / name)) << name;
}

// {w} and {h} are the size written: the source turned upright by its EXIF,
// resized, then turned by --rotate, told before the picture is decoded.
class ImgBatchSizeNames : public ImgBatch, public ::testing::WithParamInterface<const char*> {};

TEST_P(ImgBatchSizeNames, AreTheSizeWritten) {
  engine::PictureMetadata metadata;
  metadata.exif = testsupport::ExifWithOrientation(6);
  const fs::path source = src() / (std::string("lying") + GetParam());
  testsupport::WritePictureWith(testsupport::GradientBitmap(90, 40), metadata, source);
  for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
           {"--fit", "30x30"}, {"--cover", "10x20", "--rotate", "90"}, {"--no-auto-orient", "--scale", "50%"}}) {
    SCOPED_TRACE(options[0]);
    fs::remove_all(out());
    std::vector<std::string> args = {U(source), "-o", U(out()), "-f", "png", "-q", "--name", "{w}x{h}"};
    args.insert(args.end(), options.begin(), options.end());
    ASSERT_EQ(RunImgBatch(args).status, 0);
    ASSERT_EQ(OutNames().size(), 1u);
    img::Bitmap written;
    engine::PngImage().Load(out() / OutNames()[0], written);
    EXPECT_EQ(OutNames()[0], std::to_string(written.width()) + "x" + std::to_string(written.height()) + ".png");
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, ImgBatchSizeNames, ::testing::Values(".jpg", ".png", ".webp"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST_F(ImgBatch, SkipExistingLeavesTargetsUntouchedAndCountsThem) {
  fs::path a = Jpeg("a.jpg", 40, 30);
  ASSERT_EQ(RunImgBatch({U(a), "-o", U(out()), "-f", "bmp,png"}).status, 0);
  // Whole seconds: Windows keeps file times in steps of 100 ns.
  const auto old_time = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() - std::chrono::hours(24));
  fs::last_write_time(out() / "a.bmp", old_time);
  fs::last_write_time(out() / "a.png", old_time);
  const std::vector<std::uint8_t> bmp_bytes = img::ReadWholeFile(out() / "a.bmp");
  const std::vector<std::uint8_t> png_bytes = img::ReadWholeFile(out() / "a.png");

  Jpeg("a.jpg", 20, 10);  // the source changed since
  RunResult r = RunImgBatch({U(a), "-o", U(out()), "-f", "bmp,jpg,png", "--skip-existing"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("1 picture, 1 file written, 2 skipped, 0 failed"), std::string::npos) << r.output;
  EXPECT_EQ(img::ReadWholeFile(out() / "a.bmp"), bmp_bytes);
  EXPECT_EQ(img::ReadWholeFile(out() / "a.png"), png_bytes);
  EXPECT_EQ(fs::last_write_time(out() / "a.bmp"), old_time);
  EXPECT_EQ(fs::last_write_time(out() / "a.png"), old_time);
  EXPECT_TRUE(fs::exists(out() / "a.jpg"));
}

// Options as getopt spells them: values attached to short options and after
// '=' to long ones, flags clustered, format names in any case, and "--"
// before a source whose name begins with a dash.
TEST_F(ImgBatch, GetoptSpellingsAndDashNamedSources) {
  fs::path a = Jpeg("a.jpg", 40, 30);
  RunResult r = RunImgBatch({U(a), "-o" + U(out()), "-fBMP,Jpg", "-qj1", "--fit=20x20"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"a.bmp", "a.jpg"}));
  img::Bitmap bmp;
  bmp.LoadFromFile(out() / "a.bmp");
  EXPECT_EQ(bmp.width(), 20);

#ifndef _WIN32  // cmd's cd and && are not the shell's
  Jpeg("-odd.jpg");
  r = RunImgBatch({"-o", U(out()), "-f", "bmp", "--", "-odd.jpg"}, "cd " + Quote(U(src())) + " && ");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(fs::exists(out() / "-odd.bmp")) << r.output;
#endif
}

#ifndef _WIN32
// The progress display on a 50-column terminal: every update rewrites the
// one line, none runs into the last column (which would wrap). A failure
// is said as it happens, on a line of its own above the bar, which goes on
// below it.
struct ProgressCase {
  const char* name;
  bool oneBroken;  // the third of the five pictures cannot be decoded
  const char* summary;
  friend void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchProgress : public ImgBatch, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ImgBatchProgress, StaysOnOneLineOfANarrowTerminal) {
  for (int i = 0; i < 5; ++i) Jpeg("p" + std::to_string(i) + ".jpg");
  if (GetParam().oneBroken) testsupport::WriteFile(src() / "p2.jpg", "\xFF\xD8\xFF\xE0 cut short");
  winsize size{};
  size.ws_col = 50;
  size.ws_row = 24;
  const std::string source = U(src()), output = U(out());
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, &size);
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl(IMGBATCH_PATH, "imgbatch", source.c_str(), "-o", output.c_str(), "-f", "bmp", "-j1",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(master, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  close(master);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (GetParam().oneBroken ? 1 : 0)) << text;

  // The terminal sends each \n as \r\n.
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  std::vector<std::string> lines{""};  // what each \n ends, split at each \r
  int updates = 0;
  // A failure's line holds a long path and may wrap; the display's never.
  auto fits = [](const std::string& line) { return line.starts_with("imgbatch: ") || line.size() < 50; };
  for (char c : text) {
    if (c == '\n') {
      EXPECT_TRUE(fits(lines.back())) << lines.back();
      lines.emplace_back();
    } else if (c == '\r') {
      ++updates;
      EXPECT_TRUE(fits(lines.back())) << lines.back();
      lines.back().clear();
    } else {
      lines.back() += c;
    }
  }
  EXPECT_GE(updates, 5);
  // The failure, if any, then the display's own line and the summary:
  // nothing else started a line.
  const std::size_t failure_lines = GetParam().oneBroken ? 1 : 0;
  ASSERT_EQ(lines.size(), 3u + failure_lines) << text;
  if (failure_lines) {
    EXPECT_TRUE(lines[0].starts_with("imgbatch: ")) << text;
    EXPECT_NE(lines[0].find("p2.jpg"), std::string::npos) << text;
  }
  EXPECT_NE(lines[failure_lines].find("5/5"), std::string::npos) << text;
  EXPECT_NE(lines[failure_lines + 1].find(GetParam().summary), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ImgBatchProgress,
    ::testing::Values(ProgressCase{"AllConverted", false, "5 pictures, 5 files written, 0 failed"},
                      ProgressCase{"OneFailsOnTheWay", true, "5 pictures, 4 files written, 1 failed"}),
    [](const auto& info) { return std::string(info.param.name); });
#endif

// Camera raw files: a DNG lying on its side (orientation 6), grey with a
// warm patch low on its right and a blue JPEG preview of 64 x 48 embedded.
// Each run's targets: their size upright, and whether the preview was read.
struct RawRun {
  const char* name;
  std::vector<std::string> options;
  int width, height;
  bool preview;
  friend void PrintTo(const RawRun& r, std::ostream* os) { *os << r.name; }
};

class ImgBatchRaw : public ImgBatch, public ::testing::WithParamInterface<RawRun> {
 protected:
  fs::path Dng() {
    testsupport::DngPicture p;
    p.orientation = 6;
    p.colour = testsupport::OnWhiteRows(p.height, [](int x, int y) {
      return x >= 40 && x < 60 && y >= 30 && y < 44 ? testsupport::LinearColour{0.5, 0.25, 0.1}
                                                     : testsupport::LinearColour{0.2, 0.2, 0.2};
    });
    img::Bitmap blue(64, 48);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) blue.ScanLine(y)[3 * x + 1] = blue.ScanLine(y)[3 * x + 2] = 0;
    p.previewJpeg = engine::JpegImage().Encode(blue);
    p.previewWidth = 64;
    p.previewHeight = 48;
    const fs::path path = src() / "shot.dng";
    fs::create_directories(src());
    img::WriteFileAtomically(path, testsupport::DngBytes(p));
    return path;
  }
  void SetUp() override {
    if (!engine::FindFormatByExtension(".dng")) GTEST_SKIP() << "a build without LibRaw";
  }
};

TEST_P(ImgBatchRaw, IsDevelopedUprightOrReadFromItsPreview) {
  const RawRun& run = GetParam();
  std::vector<std::string> args{U(Dng()), "-o", U(out()), "-f", "png,jpg", "--keep-metadata", "-q"};
  args.insert(args.end(), run.options.begin(), run.options.end());
  RunResult r = RunImgBatch(args);
  ASSERT_EQ(r.status, 0) << r.output;
  img::Bitmap png;
  testsupport::ReadPictureWith(out() / "shot.png", png);
  ASSERT_EQ(png.width(), run.width);
  ASSERT_EQ(png.height(), run.height);
  const img::PaletteEntry middle = png.PixelColor(run.width / 2, run.height / 2);
  if (run.preview) {
    EXPECT_GT(middle.blue, 240);
    EXPECT_LT(middle.red, 16);
  } else {
    // Grey at a fifth of white is 124 in sRGB; the warm patch stands low on the left once upright.
    EXPECT_NEAR(middle.red, 124, 3);
    EXPECT_NEAR(middle.blue, 124, 3);
    const img::PaletteEntry patch = png.PixelColor(run.width * 10 / 48, run.height * 50 / 64);
    EXPECT_NEAR(patch.red, 188, 4);
    EXPECT_NEAR(patch.green, 137, 4);
    EXPECT_NEAR(patch.blue, 89, 4);
  }
  img::Bitmap jpeg;
  const engine::PictureMetadata carried = testsupport::ReadPictureWith(out() / "shot.jpg", jpeg);
  const std::string exif(carried.exif.begin(), carried.exif.end());
  EXPECT_NE(exif.find("Raw One"), std::string::npos);
  EXPECT_NE(exif.find("2024:05:06 07:08:09"), std::string::npos);
  EXPECT_EQ(engine::ReadExifOrientation(carried.exif), 1);
  EXPECT_EQ(jpeg.width(), run.width);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ImgBatchRaw,
    ::testing::Values(RawRun{"developed", {}, 48, 64, false},
                      RawRun{"preview_as_large", {"--raw", "preview"}, 48, 64, true},
                      RawRun{"preview_larger_than_the_fit", {"--raw=preview", "--fit", "30x30"}, 23, 30, true},
                      RawRun{"preview_short_of_the_target", {"--raw", "preview", "--scale", "150%", "--enlarge"}, 72, 96, false},
                      RawRun{"develop_asked", {"--raw", "develop", "--fit", "30x30"}, 23, 30, false}),
    testsupport::ByName());

// The raw data and LibRaw's working picture count against --memory from
// the header: a picture of 2 megapixels, whose developed picture alone
// needs about 10 MiB, needs well over 24 MiB.
TEST_F(ImgBatch, ARawFileNeedingMoreThanTheBudgetIsRefused) {
  if (!engine::FindFormatByExtension(".dng")) GTEST_SKIP() << "a build without LibRaw";
  testsupport::DngPicture p;
  p.width = 1600;
  p.height = 1200;
  fs::create_directories(src());
  img::WriteFileAtomically(src() / "big.dng", testsupport::DngBytes(p));
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "--memory", "24", "--report", "json"});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("\"code\":\"over_memory_budget\""), std::string::npos) << r.output;
  EXPECT_TRUE(OutNames().empty());
  r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "--memory", "1000", "-q"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(OutNames(), std::vector<std::string>{"big.png"});
}

}  // namespace

// --dry-run says what a run would write, numbering and skips included, and
// leaves the disk as it was: no target, no output folder.
TEST_F(ImgBatch, DryRunSaysEachTargetAndWritesNothing) {
  Jpeg("b/x.jpg");
  Jpeg("c/X.JPG");
  const std::string x = U(src() / "b" / "x.jpg"), big_x = U(src() / "c" / "X.JPG");  // as the walk spells them
  const std::string o = U(out() / "new");
  RunResult r = RunImgBatch({U(src()), "-o", o, "-f", "png,bmp", "--dry-run"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, x + " -> " + o + "/x.bmp\n" + x + " -> " + o + "/x.png\n" + big_x + " -> " + o +
                          "/X (2).bmp\n" + big_x + " -> " + o + "/X (2).png\n");
  EXPECT_FALSE(fs::exists(out()));

  fs::create_directories(out() / "new");
  testsupport::WriteFile(out() / "new" / "x.png", "kept");
  r = RunImgBatch({x, "-o", o, "-f", "png,bmp", "--skip-existing", "--dry-run"});
  EXPECT_EQ(r.output, x + " -> " + o + "/x.bmp\n");
  EXPECT_EQ(testsupport::ReadFile(out() / "new" / "x.png"), "kept");
  EXPECT_FALSE(fs::exists(out() / "new" / "x.bmp"));
}

// A dry run fails where the run would, and says why: a file where an
// output subfolder must go, a numbered name longer than a file system takes.
TEST_F(ImgBatch, ADryRunFailsWhereTheRunWould) {
  Jpeg("sub/x.jpg");
  testsupport::WriteFile(out() / "sub", "a file");
  const std::string o = U(out());
  RunResult r = RunImgBatch({U(src()), "-o", o, "-f", "png", "--keep-tree", "--dry-run"});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("x.jpg: cannot create the folder " + o + "/sub/"), std::string::npos) << r.output;
  EXPECT_EQ(RunImgBatch({U(src()), "-o", o, "-f", "png", "--keep-tree"}).status, 1);

  const std::string long_name = std::string(251, 'n') + ".jpg";
  Jpeg("a/" + long_name);
  Jpeg("b/" + long_name);
  const std::string flat = U(tmp_ / "flat");
  for (const char* dry : {"--dry-run", "-q"}) {
    r = RunImgBatch({U(src() / "a"), U(src() / "b"), "-o", flat, "-f", "png", dry});
    EXPECT_EQ(r.status, 1) << dry << r.output;
    EXPECT_NE(r.output.find(" (2).png: File name too long"), std::string::npos) << dry << r.output;
  }
}

#ifndef _WIN32  // a FIFO, a shell, and names with control bytes
// A list comes through a pipe as well as from a file, and a name with
// control characters is printed with them escaped, never raw.
TEST_F(ImgBatch, ListsComeThroughPipesAndNamesArePrintedEscaped) {
  const fs::path a = Jpeg("a.jpg"), list = tmp_ / "list";
  ASSERT_EQ(mkfifo(U(list).c_str(), 0600), 0);
  const std::string hostile = U(src() / "b\x1b]0;owned\x07\x7f.jpg");
  const std::string feed = "(printf '%s\\n%s\\n' " + Quote(U(a)) + " " + Quote(hostile) + " > " + Quote(U(list)) + " &); ";
  RunResult r = RunImgBatch({"--files-from", U(list), "-o", U(out()), "-f", "png"}, feed);
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_EQ(OutNames(), std::vector<std::string>{"a.png"});
  EXPECT_NE(r.output.find("b\\x1b]0;owned\\x07\\x7f.jpg: no such picture file or folder"), std::string::npos)
      << r.output;
  EXPECT_EQ(r.output.find_first_of("\x1b\x07\x7f"), std::string::npos) << r.output;
}
#endif

// A list names files and folders as the command line does: blank lines and
// Windows line ends are no sources, and a path that names nothing fails
// alone. Paths may hold blanks and newlines once NUL bytes separate them.
TEST_F(ImgBatch, FilesFromListsSourcesByLineOrByNul) {
  const fs::path a = Jpeg("a b.jpg"), c = Jpeg("sub/c.jpg");
  testsupport::WriteFile(tmp_ / "list.txt", U(a) + "\r\n\n  \n" + U(src() / "sub") + "\r\n");
  RunResult r = RunImgBatch({"--files-from", U(tmp_ / "list.txt"), "-o", U(out()), "-f", "png"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"a b.png", "c.png"}));

  r = RunImgBatch({"--files-from", U(tmp_ / "none.txt"), "-o", U(out() / "x"), "-f", "png"});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("cannot read the list of sources"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(out() / "x"));

#ifndef _WIN32  // printf and a pipe are the shell's
  fs::remove_all(out());
  const fs::path odd = Jpeg("new\nline.jpg");
  const std::string feed = "printf '%s\\0%s\\0\\0%s\\0' " + Quote(U(odd)) + " " + Quote(U(src() / "gone.jpg")) + " " +
                           Quote(U(c)) + " | ";
  r = RunImgBatch({"--files-from=-", "-0", "-o", U(out()), "-f", "png"}, feed);
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("gone.jpg: no such picture file or folder"), std::string::npos) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"c.png", "new\nline.png"}));
#endif
}

// Patterns choose among walked and named files alike, the exclusion
// winning; a file passed over is not counted as one left unconverted.
TEST_F(ImgBatch, MaxDepthIncludeAndExcludeChooseTheFiles) {
  for (const char* name : {"a.jpg", "a_small.jpg", "sub/c.JPG", "sub/deeper/d.jpg"}) Jpeg(name);
  engine::PngImage().Save(testsupport::GradientBitmap(8, 6), src() / "b.png");
  testsupport::WriteFile(src() / "notes.txt");
  RunResult r = RunImgBatch({U(src()), U(src() / "a_small.jpg"), "-o", U(out()), "-f", "bmp", "--max-depth", "1",
                             "--include", "*.jpg", "--include=*.PNG", "--exclude", "*_small.*"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("3 pictures, 3 files written, 0 failed, "), std::string::npos) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp"}));

  fs::remove_all(out());
  r = RunImgBatch({U(src()), "-o", U(out()), "-f", "bmp", "--max-depth=0", "-q"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"a.bmp", "a_small.bmp", "b.bmp"}));
}

// --keep-time gives each target its source's time, so a later --update run
// writes only what is missing or older than its source, and a dry run of it
// after that has nothing to say.
TEST_F(ImgBatch, UpdateWritesOnlyTargetsOlderThanTheirSourceAndKeepTimeCopiesTheTime) {
  const fs::path a = Jpeg("a.jpg"), b = Jpeg("b.jpg");
  // Whole seconds: Windows keeps file times in steps of 100 ns.
  const auto day_ago = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() - std::chrono::hours(24));
  fs::last_write_time(a, day_ago);
  fs::last_write_time(b, day_ago);
  ASSERT_EQ(RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "--keep-time"}).status, 0);
  EXPECT_EQ(fs::last_write_time(out() / "a.png"), day_ago);
  const std::string a_png = testsupport::ReadFile(out() / "a.png");

  Jpeg("b.jpg", 20, 10);  // changed since: newer than its target
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png,bmp", "--update", "--keep-time"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("2 pictures, 3 files written, 1 skipped, 0 failed"), std::string::npos) << r.output;
  EXPECT_EQ(testsupport::ReadFile(out() / "a.png"), a_png);
  img::Bitmap bmp;
  bmp.LoadFromFile(out() / "b.bmp");
  EXPECT_EQ(bmp.width(), 20);
  EXPECT_EQ(fs::last_write_time(out() / "b.png"), fs::last_write_time(b));

  r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png,bmp", "--update", "--dry-run"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, "");
}

#ifndef _WIN32
// A line a picture, on standard output alone: its targets with their sizes,
// what was skipped, what failed and why, with file names of any bytes
// escaped so a script finds the very file (a byte that is no UTF-8 as
// \udcXX, as Python's surrogateescape reads it).
TEST_F(ImgBatch, ReportJsonGivesALineForEachPicture) {
  const std::string odd = U(Jpeg("q\"b\\s\x01\xff照.jpg", 40, 30)), ok = U(Jpeg("ok.jpg", 20, 10));
  const std::string broken = U(src() / "broken.png"), gone = U(src() / "gone.jpg"), o = U(out());
  img::WriteFileAtomically(img::PathFromUtf8(broken), std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 1, 2});
  testsupport::WriteFile(out() / "ok.png", "old");
  RunResult r = RunImgBatch({ok, odd, broken, gone, "-o", o, "-f", "png,bmp", "--skip-existing", "--report=json"},
                            {}, false);
  EXPECT_EQ(r.status, 1) << r.output;
  auto bytes = [&](const char* name) { return std::to_string(fs::file_size(out() / name)); };
  auto source = [&](const std::string& path) { return std::to_string(fs::file_size(img::PathFromUtf8(path))); };
  // A picture's time differs from run to run: each converted one has one.
  const std::regex time("\"milliseconds\":[0-9]+\\.[0-9]\\b");
  EXPECT_EQ(std::distance(std::sregex_iterator(r.output.begin(), r.output.end(), time), std::sregex_iterator()), 3)
      << r.output;
  r.output = std::regex_replace(r.output, time, "\"milliseconds\":MS");
  const std::string escaped = U(src()) + "/q\\\"b\\\\s\\u0001\\udcff照";
  for (const std::string& line : {
           "{\"source\":\"" + gone + "\",\"width\":null,\"height\":null,\"kind\":null,\"bytes\":null,"
               "\"milliseconds\":null,\"targets\":[],\"skipped\":[],\"failures\":[{\"path\":\"" + gone +
               "\",\"code\":\"not_read\",\"cause\":null,\"reason\":\"no such picture file or folder\"}],"
               "\"warnings\":[]}\n",
           "{\"source\":\"" + ok + "\",\"width\":20,\"height\":10,\"kind\":\"jpg\",\"bytes\":" + source(ok) +
               ",\"milliseconds\":MS,\"targets\":[{\"path\":\"" + o + "/ok.bmp\",\"width\":20,\"height\":10,"
               "\"bytes\":" + bytes("ok.bmp") + "}],\"skipped\":[\"" + o + "/ok.png\"],\"failures\":[],"
               "\"warnings\":[]}\n",
           "{\"source\":\"" + escaped + ".jpg\",\"width\":40,\"height\":30,\"kind\":\"jpg\",\"bytes\":" +
               source(odd) + ",\"milliseconds\":MS,\"targets\":[{\"path\":\"" + o + "/q\\\"b\\\\s\\u0001\\udcff照.bmp\","
               "\"width\":40,\"height\":30,\"bytes\":" + bytes("q\"b\\s\x01\xff照.bmp") + "},{\"path\":\"" + o +
               "/q\\\"b\\\\s\\u0001\\udcff照.png\",\"width\":40,\"height\":30,\"bytes\":" +
               bytes("q\"b\\s\x01\xff照.png") + "}],\"skipped\":[],\"failures\":[],\"warnings\":[]}\n",
           "{\"source\":\"" + broken + "\",\"width\":null,\"height\":null,\"kind\":null,\"bytes\":6,"
               "\"milliseconds\":MS,\"targets\":[],\"skipped\":[],\"failures\":[{\"path\":\"" + broken +
               "\",\"code\":\"not_decoded\",\"cause\":\"damaged\",\"reason\":\"cannot be decoded: PNG: not a PNG "
               "file\"}],\"warnings\":[]}\n"})
    EXPECT_NE(r.output.find(line), std::string::npos) << line << "\nin\n" << r.output;
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 4) << r.output;
}
#endif

namespace {

// Red, green and blue, one after another: the frames of a GIF and of an
// animated WebP, the pages of a TIFF (with a thumbnail of the first, which
// is no page); a PNG holds red alone.
const std::vector<img::PaletteEntry> kFrameColours = {testsupport::Bgr(0, 0, 255), testsupport::Bgr(0, 255, 0),
                                                      testsupport::Bgr(255, 0, 0)};

std::vector<std::uint8_t> ThreePictures(const std::string& kind) {
  if (kind == "gif") {
    std::vector<testsupport::GifPicture> frames(3);
    for (std::size_t i = 0; i < 3; ++i) {
      frames[i].screenWidth = frames[i].screenHeight = frames[i].width = frames[i].height = 8;
      frames[i].colours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};
      frames[i].indices.assign(64, static_cast<std::uint8_t>(i));
    }
    return testsupport::GifBytes(frames);
  }
  if (kind == "tif") {
    std::vector<testsupport::TiffPicture> pages;
    for (const img::PaletteEntry& c : kFrameColours) {
      testsupport::TiffPicture page;
      page.width = page.height = 8;
      for (int i = 0; i < 64; ++i) page.data.insert(page.data.end(), {c.red, c.green, c.blue});
      pages.push_back(page);
    }
    testsupport::TiffPicture thumbnail = pages[0];
    thumbnail.width = thumbnail.height = 2;
    thumbnail.data.resize(12);
    thumbnail.reduced = true;
    pages.insert(pages.begin() + 1, thumbnail);
    return testsupport::TiffBytes(pages);
  }
  if (kind == "webp") {
    std::vector<testsupport::WebpFrame> frames;
    for (const img::PaletteEntry& c : kFrameColours) frames.push_back({testsupport::SolidBitmap(8, 8, c), 100});
    return testsupport::WebpAnimationBytes(frames);
  }
  return engine::PngStreamWriter({}, nullptr).Encode(testsupport::SolidBitmap(8, 8, kFrameColours[0]));
}

struct PageCase {
  const char* name;
  const char* kind;  // the source's extension
  const char* page;  // --page's value; nullptr: none given
  int colour;        // index into kFrameColours of what the PNG target shows; -1: it fails
  const char* said;  // the warning, or the failure's reason; "" none
  friend void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchPages : public ImgBatch, public ::testing::WithParamInterface<PageCase> {};

// A file of several pictures converts one, the first or --page's, and says
// so on standard error and in the report; a page past the last fails the
// picture, saying how many the file holds.
TEST_P(ImgBatchPages, ConvertOneAndSaySo) {
  const PageCase& c = GetParam();
  const fs::path source = src() / (std::string("three.") + c.kind);
  fs::create_directories(src());
  img::WriteFileAtomically(source, ThreePictures(c.kind));
  std::vector<std::string> args = {U(source), "-o", U(out()), "-f", "png", "--report", "json"};
  if (c.page) args.insert(args.end(), {"--page", c.page});
  const RunResult r = RunImgBatch(args);
  const std::string said = std::string(c.said).empty() ? "" : U(source) + ": " + c.said;
  if (c.colour < 0) {
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_TRUE(OutNames().empty());
    EXPECT_NE(r.output.find(std::string(c.said) + "\"}],\"warnings\":[]}"), std::string::npos) << r.output;
    return;
  }
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string warnings = said.empty() ? "[]" : "[\"" + testsupport::InJson(said) + "\"]";
  EXPECT_NE(r.output.find("\"warnings\":" + warnings + "}"), std::string::npos) << r.output;
  if (!said.empty()) {
    EXPECT_NE(r.output.find("warning: " + said + "\n"), std::string::npos) << r.output;
  }
  img::Bitmap target;
  testsupport::ReadPictureWith(out() / "three.png", target);
  img::PaletteEntry seen = target.PixelColor(4, 4);
  seen.reserved = 0;
  EXPECT_EQ(seen, kFrameColours[static_cast<std::size_t>(c.colour)]);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ImgBatchPages,
    ::testing::Values(PageCase{"GifFirst", "gif", nullptr, 0, "3 frames: the first converted"},
                      PageCase{"GifSecond", "gif", "2", 1, "3 frames: frame 2 converted"},
                      PageCase{"GifPastTheLast", "gif", "4", -1, "frame 4 asked for, the file holds 3 frames"},
                      PageCase{"TiffFirst", "tif", nullptr, 0, "3 pages: the first converted"},
                      PageCase{"TiffThird", "tif", "3", 2, "3 pages: page 3 converted"},
                      PageCase{"TiffPastTheLast", "tif", "4", -1, "page 4 asked for, the file holds 3 pages"},
                      PageCase{"WebpFirst", "webp", nullptr, 0, "3 frames: the first converted"},
                      PageCase{"WebpThird", "webp", "3", 2, "3 frames: frame 3 converted"},
                      PageCase{"PngAlone", "png", nullptr, 0, ""},
                      PageCase{"PngSecond", "png", "2", -1, "picture 2 asked for, the file holds one picture"}),
    testsupport::ByName());

}  // namespace

namespace {

struct DamageCase {
  const char* name;
  const char* kind;     // the source's extension
  std::size_t kept;     // the bytes of the whole file kept
  bool keep;            // --damaged keep
  const char* said;     // the warning when converted, else the failure's reason
  friend void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchDamaged : public ImgBatch, public ::testing::WithParamInterface<DamageCase> {};

// A file cut short fails by default; with --damaged keep, what decodes is
// converted with a warning: its first rows as the whole file gives them, the
// rest grey. A file cut within its header fails either way.
TEST_P(ImgBatchDamaged, IsRefusedOrKeptAsFarAsItDecodes) {
  const DamageCase& c = GetParam();
  // Large enough that the first half holds whole rows of either kind.
  const img::Bitmap picture = testsupport::GradientBitmap(256, 128);
  const std::vector<std::uint8_t> whole = std::string(c.kind) == "jpg"
                                              ? engine::JpegImage().Encode(picture)
                                              : engine::PngStreamWriter({}, nullptr).Encode(picture);
  const fs::path source = src() / (std::string("cut.") + c.kind);
  fs::create_directories(src());
  img::WriteFileAtomically(source, testsupport::Cut(whole, c.kept ? c.kept : whole.size() / 2));
  std::vector<std::string> args = {U(source), "-o", U(out()), "-f", "png", "--report", "json"};
  if (c.keep) args.insert(args.end(), {"--damaged", "keep"});
  const RunResult r = RunImgBatch(args);
  if (!c.keep || c.kept) {
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_TRUE(OutNames().empty());
    EXPECT_NE(r.output.find(std::string(c.said) + "\"}],\"warnings\":[]}"), std::string::npos) << r.output;
    return;
  }
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string said = U(source) + ": " + c.said;
  EXPECT_NE(r.output.find("\"failures\":[],\"warnings\":[\"" + testsupport::InJson(said) + "\"]}"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("warning: " + said + "\n"), std::string::npos) << r.output;
  img::Bitmap all, kept;
  engine::LoadPicture(img::PathToUtf8(out() / "cut.png"), kept);
  img::WriteFileAtomically(tmp_ / (std::string("whole.") + c.kind), whole);
  engine::LoadPicture(img::PathToUtf8(tmp_ / (std::string("whole.") + c.kind)), all);
  for (int x = 0; x < 256; x += 37) {
    EXPECT_EQ(kept.PixelColor(x, 0), all.PixelColor(x, 0)) << x;
    EXPECT_EQ(kept.PixelColor(x, 127), testsupport::Bgr(128, 128, 128)) << x;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ImgBatchDamaged,
    ::testing::Values(DamageCase{"JpegRefused", "jpg", 0, false, "Premature end of JPEG file"},
                      DamageCase{"JpegKept", "jpg", 0, true, "damaged, what decodes converted: JPEG: Premature end of JPEG file"},
                      DamageCase{"JpegHeaderCut", "jpg", 100, true, "Premature end of JPEG file"},
                      DamageCase{"PngRefused", "png", 0, false, "PNG: file ends early"},
                      DamageCase{"PngKept", "png", 0, true, "damaged, what decodes converted: PNG: file ends early"},
                      DamageCase{"PngHeaderCut", "png", 20, true, "PNG: file ends early"}),
    testsupport::ByName());

}  // namespace

namespace {

// Red, green and blue frames of 8 x 4, shown 100, 200 and 300 ms, played
// three times, as a GIF or an animated WebP.
std::vector<std::uint8_t> Animated(const std::string& kind, int frames = 3, int side = 8) {
  if (kind == "gif") {
    std::vector<testsupport::GifPicture> pictures(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
      testsupport::GifPicture& p = pictures[static_cast<std::size_t>(i)];
      p.screenWidth = p.width = side;
      p.screenHeight = p.height = side / 2;
      p.colours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};
      p.indices.assign(static_cast<std::size_t>(side * side / 2), static_cast<std::uint8_t>(i % 3));
      p.delay = 10 * (i % 3 + 1);
    }
    pictures[0].loops = 3;
    return testsupport::GifBytes(pictures);
  }
  std::vector<testsupport::WebpFrame> shown;
  for (int i = 0; i < frames; ++i)
    shown.push_back({testsupport::SolidBitmap(side, side / 2, kFrameColours[static_cast<std::size_t>(i % 3)]),
                     100 * (i % 3 + 1)});
  return testsupport::WebpAnimationBytes(shown, 3);
}

struct AnimationCase {
  const char* name;
  const char* kind;                // the source's extension
  std::vector<std::string> args;   // beside -f webp --lossless
  int width, height;               // of every frame written
  friend void PrintTo(const AnimationCase& c, std::ostream* os) { *os << c.name; }
};

class ImgBatchAnimation : public ImgBatch, public ::testing::WithParamInterface<AnimationCase> {};

// An animated GIF or WebP stays animated in WebP: every frame in its colour,
// time and order, the loop count kept, resizes and turns made of each.
TEST_P(ImgBatchAnimation, StaysAnimatedInWebp) {
  const AnimationCase& c = GetParam();
  const fs::path source = src() / (std::string("moving.") + c.kind);
  fs::create_directories(src());
  img::WriteFileAtomically(source, Animated(c.kind));
  std::vector<std::string> args = {U(source), "-o", U(out()), "-f", "webp", "--lossless", "--report", "json"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  const RunResult r = RunImgBatch(args);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("\"warnings\":[]}"), std::string::npos) << r.output;  // no frame left out
  const testsupport::WebpAnimationRead read = testsupport::ReadWebpAnimation(img::ReadWholeFile(out() / "moving.webp"));
  EXPECT_EQ(read.loops, 3);
  ASSERT_EQ(read.frames.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const img::Bitmap& frame = read.frames[i].picture;
    EXPECT_EQ(read.frames[i].milliseconds, 100 * static_cast<int>(i + 1)) << i;
    ASSERT_EQ(frame.width(), c.width) << i;
    ASSERT_EQ(frame.height(), c.height) << i;
    img::PaletteEntry seen = frame.PixelColor(c.width / 2, c.height / 2);
    seen.reserved = 0;
    EXPECT_EQ(seen, kFrameColours[i]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ImgBatchAnimation,
    ::testing::Values(AnimationCase{"Gif", "gif", {}, 8, 4}, AnimationCase{"Webp", "webp", {}, 8, 4},
                      AnimationCase{"GifShrunkAndTurned", "gif", {"--fit", "4", "--rotate", "90"}, 2, 4},
                      AnimationCase{"WebpShrunkAndTurned", "webp", {"--fit", "4", "--rotate", "90"}, 2, 4}),
    testsupport::ByName());

// Every frame counts against --memory for a WebP target, the first alone
// for any other.
TEST_F(ImgBatch, AnAnimationsFramesCountAgainstTheMemoryBudgetForWebp) {
  fs::create_directories(src());
  img::WriteFileAtomically(src() / "long.gif", Animated("gif", 60, 512));
  RunResult r = RunImgBatch({U(src() / "long.gif"), "-o", U(out()), "-f", "png", "--memory", "24", "-q"});
  EXPECT_EQ(r.status, 0) << r.output;
  r = RunImgBatch({U(src() / "long.gif"), "-o", U(out()), "-f", "webp", "--memory", "24", "--report", "json"});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("\"code\":\"over_memory_budget\""), std::string::npos) << r.output;
}

}  // namespace

// imgbatch as a user runs it: the real binary on pictures made here.

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>

#include "TestSupport.h"
#include "engine/JpegImage.h"
#include "engine/PngImage.h"
#include "engine/WebpImage.h"
#include "imaging/FileIO.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int status = -1;
  std::string output;  // stdout and stderr together
};

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// prefix: a command imgbatch runs under (setpriv ... to run as another user).
RunResult RunImgBatch(const std::vector<std::string>& args, const std::string& prefix = {}) {
  std::string command = prefix + Quote(IMGBATCH_PATH);
  for (const std::string& a : args) {
    command += ' ';
    command += Quote(a);
  }
  command += " 2>&1";
  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

TEST_F(ImgBatch, FileSourceWithDefaultFormatsKeepsItsName) {
  fs::path a = Jpeg("Photo.JPG");
  RunResult r = RunImgBatch({U(a), "-o", U(out() / "new" / "deeper"), "-q"});
  EXPECT_EQ(r.status, 0) << r.output;
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(out() / "new" / "deeper")) names.push_back(U(e.path().filename()));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Photo.bmp", "Photo.jpeg", "Photo.jpg", "Photo.png"}));
  EXPECT_NE(r.output.find("1 pictures, 4 files written, 0 failed"), std::string::npos) << r.output;
}

TEST_F(ImgBatch, FolderSourceWalksNestedFoldersAndLaterCollisionWins) {
  Jpeg("b/x.jpg", 20, 10);
  Jpeg("c/X.JPG", 30, 10);  // listed after b/x.jpg: its targets win
  Jpeg("c/d/deep.jpg");
  Jpeg(".hidden.jpg");
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "bmp,png", "-j", "2"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{".hidden.bmp", ".hidden.png", "deep.bmp", "deep.png",
                                                  "x.bmp", "x.png"}));
  img::Bitmap bmp;
  bmp.LoadFromFile(out() / "x.bmp");
  EXPECT_EQ(bmp.width(), 30);
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

  // Without keep-ratio a single size box means no resize, as in the window.
  ASSERT_EQ(RunImgBatch({U(a), "-o", U(out()), "-f", "bmp", "--width", "100"}).status, 0);
  bmp.LoadFromFile(out() / "big.bmp");
  EXPECT_EQ(bmp.width(), 400);

  ASSERT_EQ(RunImgBatch({U(a), "-o", U(out()), "-f", "bmp", "--width", "100", "--height", "50"}).status, 0);
  bmp.LoadFromFile(out() / "big.bmp");
  EXPECT_EQ(bmp.width(), 100);
  EXPECT_EQ(bmp.height(), 50);
}

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
#endif
  fs::create_directories(src());
  img::Bitmap(16384, 8192, img::PixelFormat::Bits1).SaveToFile(src() / "huge.bmp");
  RunResult r = RunImgBatch({U(src() / "huge.bmp"), "-o", U(out()), "-f", "bmp,png", "--width", "100",
                             "--height", "50", "-j", "1", "-q"},
                            "ulimit -v 350000; ");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("huge.bmp: cannot be resized: not enough memory"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("1 pictures, 0 files written, 1 failed"), std::string::npos) << r.output;
  EXPECT_TRUE(OutNames().empty());
}

struct WebpCase {
  const char* name;
  std::vector<std::string> options;
  int tolerance;  // largest channel difference after the round trip
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
  back.LoadFromFile(tmp_ / "back" / "pic.bmp");
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

// Without --quality JPEG targets are the quality-100 encoding the window
// writes; a lower quality gives other, smaller files.
TEST_F(ImgBatch, QualitySetsTheJpegQualityAndDefaultsTo100) {
  const img::Bitmap original = testsupport::GradientBitmap(96, 64);
  fs::create_directories(src());
  original.SaveToFile(src() / "a.bmp");
  engine::JpegImage codec;
  codec.SetQuality(100);
  const std::vector<std::uint8_t> at100 = codec.Encode(original);

  std::vector<std::vector<std::uint8_t>> files;
  for (const std::vector<std::string>& quality :
       std::vector<std::vector<std::string>>{{}, {"--quality", "100"}, {"--quality", "50"}}) {
    const fs::path folder = tmp_ / ("q" + std::to_string(files.size()));
    std::vector<std::string> args = {U(src() / "a.bmp"), "-o", U(folder), "-f", "jpg,jpeg", "-q"};
    args.insert(args.end(), quality.begin(), quality.end());
    RunResult r = RunImgBatch(args);
    ASSERT_EQ(r.status, 0) << r.output;
    files.push_back(img::ReadWholeFile(folder / "a.jpg"));
    EXPECT_EQ(img::ReadWholeFile(folder / "a.jpeg"), files.back());
  }
  EXPECT_EQ(files[0], at100);
  EXPECT_EQ(files[1], at100);
  EXPECT_LT(files[2].size() * 2, at100.size());
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

  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "-q"});
  EXPECT_EQ(r.status, 1) << r.output;
  for (const char* name : {"lossy-cut.webp", "lossless-cut.webp", "junk.webp"})
    EXPECT_NE(r.output.find(U(src() / name) + ": cannot be decoded"), std::string::npos) << name << r.output;
  EXPECT_NE(r.output.find("5 pictures, 2 files written, 3 failed"), std::string::npos) << r.output;
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"lossless-good.png", "lossy-good.png"}));
}

struct UsageCase {
  std::vector<std::string> args;
  std::string message;
};

class ImgBatchUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(ImgBatchUsage, UsageErrorsExitWithTwoAndWriteNothing) {
  testsupport::TempDir tmp;
  std::vector<std::string> args = GetParam().args;
  for (std::string& a : args)
    if (a == "OUT") a = U(tmp / "out");
  RunResult r = RunImgBatch(args);
  EXPECT_EQ(r.status, 2) << r.output;
  EXPECT_NE(r.output.find(GetParam().message), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(tmp / "out"));
}

INSTANTIATE_TEST_SUITE_P(
    BadCommandLines, ImgBatchUsage,
    ::testing::Values(UsageCase{{"x.jpg"}, "no output folder"},
                      UsageCase{{"x.jpg", "-o"}, "needs a value"},
                      UsageCase{{"-o", "OUT"}, "no source"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--bogus"}, "unknown option --bogus"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--width", "12a"}, "whole number"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--width", "0"}, "whole number"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--rotate", "45"}, "0, 90, 180 or 270"},
                      UsageCase{{"x.jpg", "-o", "OUT", "-j", "0"}, "--jobs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "-f", "gif"}, "unknown format 'gif'"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality", "0"}, "--quality needs a whole number from 1 to 100"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality", "101"}, "--quality needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality", "high"}, "--quality needs"},
                      UsageCase{{"x.jpg", "-o", "OUT", "--quality"}, "needs a value"}));

TEST(ImgBatchInfo, HelpAndVersion) {
  RunResult help = RunImgBatch({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("Usage: imgbatch"), std::string::npos);
  for (const char* option : {"--quality N", "--lossless", "png,webp", ".webp"})
    EXPECT_NE(help.output.find(option), std::string::npos) << option;
  RunResult version = RunImgBatch({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "imgbatch 2.2\n");
}

TEST_F(ImgBatch, MissingSourceIsAFailureNotAUsageError) {
  Jpeg("here.jpg");
  RunResult r = RunImgBatch({U(src() / "here.jpg"), U(src() / "gone.jpg"), "-o", U(out()), "-f", "png"});
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("gone.jpg"), std::string::npos);
  EXPECT_EQ(OutNames(), std::vector<std::string>{"here.png"});
}

struct UnreadableCase {
  const char* folder;  // under src(); empty for src() itself
  fs::perms perms;
  const char* named;   // what the failure line names, under src()
  const char* summary;
};

class ImgBatchUnreadable : public ImgBatch, public ::testing::WithParamInterface<UnreadableCase> {};

// A folder the user may not read held pictures that were never converted:
// named, counted, and the exit status says so.
TEST_P(ImgBatchUnreadable, IsNamedCountedAndFailsTheRun) {
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

  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "-q"}, as_user);
  EXPECT_EQ(r.status, 1) << r.output;
  const std::string named = *GetParam().named ? U(src() / GetParam().named) : U(src());
  EXPECT_NE(r.output.find("imgbatch: " + named + ": cannot be read: Permission denied"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find(GetParam().summary), std::string::npos) << r.output;
}

INSTANTIATE_TEST_SUITE_P(
    FoldersAndEntries, ImgBatchUnreadable,
    ::testing::Values(UnreadableCase{"locked", fs::perms::none, "locked", "1 pictures, 1 files written, 1 failed"},
                      UnreadableCase{"locked", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                                     "locked/b.jpg", "1 pictures, 1 files written, 1 failed"},
                      UnreadableCase{"", fs::perms::none, "", "0 pictures, 0 files written, 1 failed"}));

}  // namespace

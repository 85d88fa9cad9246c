// imgbatch as a user runs it: the real binary on pictures made here.

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "TestSupport.h"
#include "engine/JpegImage.h"
#include "engine/PngImage.h"
#include "engine/PngStreamWriter.h"
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
  metadata.icc = testsupport::RgbIccProfile(400);
  for (int o = 1; o <= 8; ++o) {
    metadata.exif = testsupport::ExifWithOrientation(o, o % 2 == 0);
    WritePngWith(stored, metadata, src() / ("o" + std::to_string(o) + ".png"));
  }
  RunResult r = RunImgBatch({U(src()), "-o", U(out()), "-f", "png", "--auto-orient", "--keep-metadata", "-q"});
  ASSERT_EQ(r.status, 0) << r.output;
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE("orientation " + std::to_string(o));
    img::Bitmap upright;
    engine::PictureMetadata carried;
    engine::PngImage().Load(out() / ("o" + std::to_string(o) + ".png"), upright, &carried);
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
// from the JPEG and PNG targets; without the option the targets are,
// byte for byte, those of the same photo without metadata.
TEST_F(ImgBatch, KeepMetadataCarriesExifAndIccProfileAndTheDefaultCarriesNothing) {
  engine::PictureMetadata metadata;
  metadata.exif = testsupport::ExifWithOrientation(6, true);
  metadata.icc = testsupport::RgbIccProfile(70000);
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
  run(src() / "photo.jpg", "kept", {"-f", "jpg,png,bmp", "--keep-metadata"});
  for (const char* name : {"photo.jpg", "photo.png"}) {
    SCOPED_TRACE(name);
    const engine::PictureMetadata read = carried("kept", name);
    EXPECT_EQ(read.exif, metadata.exif);
    EXPECT_EQ(read.icc, metadata.icc);
  }

  run(src() / "photo.jpg", "upright", {"-f", "jpg", "--keep-metadata", "--auto-orient"});
  EXPECT_EQ(carried("upright", "photo.jpg").exif, testsupport::ExifWithOrientation(1, true));

  run(src() / "photo.jpg", "default", {"-f", "jpg,png,bmp"});
  run(src() / "plain" / "photo.jpg", "plain", {"-f", "jpg,png,bmp"});
  for (const char* name : {"photo.jpg", "photo.png", "photo.bmp"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(img::ReadWholeFile(out() / "default" / name), img::ReadWholeFile(out() / "plain" / name));
  }
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
                      UsageCase{{"x.jpg", "-o", "OUT", "-f", "gif"}, "unknown format 'gif'"}));

TEST(ImgBatchInfo, HelpAndVersion) {
  RunResult help = RunImgBatch({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("Usage: imgbatch"), std::string::npos);
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

#include "engine/plan/RunPlan.h"
#include "engine/convert/PictureConverter.h"
#include "engine/convert/ResizeRules.h"

#include <functional>

#include "PictureFiles.h"
#include "TestSupport.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/png/PngImage.h"
#include "engine/formats/webp/WebpImage.h"
#include "platform/FileIO.h"
#include "imaging/CentreCrop.h"
#include "imaging/LinearLightResize.h"
#include "imaging/RightAngleTurn.h"
#include "imaging/ShrinkBitmap.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

// A host that counts progress steps.
class ScriptedHost : public FixedOptionsCallbacks {
 public:
  using FixedOptionsCallbacks::FixedOptionsCallbacks;
  int steps = 0;
  void StepProgress() override { ++steps; }
};

std::string Utf8(const fs::path& p) { return img::PathToUtf8(p); }

std::vector<std::uint8_t> Bytes(const fs::path& p) { return img::ReadWholeFile(p); }

class ConverterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(src_dir());
    fs::create_directories(out_dir());
  }
  fs::path src_dir() const { return tmp_ / "src"; }
  fs::path out_dir() const { return tmp_ / "out"; }
  std::string out() const { return Utf8(out_dir()) + "/"; }

  fs::path MakeJpeg(const std::string& name, int w = 64, int h = 48) {
    fs::path p = src_dir() / img::PathFromUtf8(name);
    JpegImage codec;
    codec.Save(testsupport::GradientBitmap(w, h), p);
    return p;
  }
  fs::path MakeBmp(const std::string& name, int w = 30, int h = 20) {
    fs::path p = src_dir() / img::PathFromUtf8(name);
    testsupport::GradientBitmap(w, h).SaveToFile(p);
    return p;
  }
  fs::path MakePng(const std::string& name, int w = 30, int h = 20) {
    fs::path p = src_dir() / img::PathFromUtf8(name);
    PngImage codec;
    codec.Save(testsupport::GradientBitmap(w, h), p);
    return p;
  }

  testsupport::TempDir tmp_;
  VectorPictureList converted_;
};

TEST_F(ConverterTest, NamesTargetsByTheRouteTableInTheFixedOrder) {
  ScriptedHost host(testsupport::TickedFormats(true, true, false, false), &converted_);
  PictureConverter converter(host);
  fs::path source = MakeJpeg("Photo.JPG");
  ConversionReport r = ConvertAlone(converter, Utf8(source), out());
  EXPECT_TRUE(r.ok());
  ASSERT_EQ(r.written.size(), 2u);
  EXPECT_EQ(r.written[0], out() + "Photo.bmp");
  EXPECT_EQ(r.written[1], out() + "Photo.jpg");
  ASSERT_EQ(converted_.Count(), 2);
  EXPECT_EQ(converted_.Item(0), "Photo.bmp");
  EXPECT_EQ(converted_.Item(1), "Photo.jpg");

  ConvertAlone(converter, Utf8(source), out());  // listed once however often
  EXPECT_EQ(converted_.Count(), 2);
}

TEST_F(ConverterTest, SameKindRoutesKeepTheSourceNameLetterForLetter) {
  ScriptedHost host(testsupport::TickedFormats(true, false, false, true), &converted_);
  PictureConverter converter(host);
  EXPECT_EQ(ConvertAlone(converter, Utf8(MakeBmp("A.BMP")), out()).written,
            (std::vector<std::string>{out() + "A.BMP", out() + "A.png"}));
  EXPECT_EQ(ConvertAlone(converter, Utf8(MakePng("p.PNG")), out()).written,
            (std::vector<std::string>{out() + "p.bmp", out() + "p.PNG"}));
}

TEST_F(ConverterTest, JpgAndJpegTargetsAreIdenticalQuality100Files) {
  ScriptedHost host(testsupport::TickedFormats(false, true, true, false), &converted_);
  PictureConverter converter(host);
  ConversionReport r = ConvertAlone(converter, Utf8(MakeJpeg("x.jpeg")), out());
  ASSERT_EQ(r.written.size(), 2u);
  EXPECT_EQ(Bytes(out_dir() / "x.jpg"), Bytes(out_dir() / "x.jpeg"));
}

TEST_F(ConverterTest, OtherFilesAndNoTickedFormatWriteNothing) {
  ScriptedHost host(testsupport::TickedFormats(true, true, true, true), &converted_);
  PictureConverter converter(host);
  for (const char* name : {"a.tga", "b.ico", "noext", "c.jpg.txt"}) {
    fs::path p = src_dir() / name;
    img::WriteFileAtomically(p, std::vector<std::uint8_t>{1, 2, 3});
    ConversionReport r = ConvertAlone(converter, Utf8(p), out());
    EXPECT_FALSE(r.isPicture) << name;
    EXPECT_TRUE(r.written.empty());
  }
  host.options() = testsupport::TickedFormats(false, false, false, false);
  ConversionReport r = ConvertAlone(converter, Utf8(MakeJpeg("y.jpg")), out());
  EXPECT_TRUE(r.written.empty());
  EXPECT_EQ(converted_.Count(), 0);
  EXPECT_TRUE(fs::is_empty(out_dir()));
}

// A PNG saved as .jpg and a JPEG saved as .png: read by what they are,
// named by what they are called.
TEST_F(ConverterTest, AMisnamedPictureIsReadByWhatItIs) {
  ScriptedHost host(testsupport::TickedFormats(true, false, false, true), &converted_);
  PictureConverter converter(host);
  ConversionReport r = ConvertAlone(converter, Utf8(MakePng("shot.jpg", 30, 20)), out());
  EXPECT_EQ(r.written, (std::vector<std::string>{out() + "shot.bmp", out() + "shot.png"}));
  img::Bitmap written;
  written.LoadFromFile(out_dir() / "shot.bmp");
  EXPECT_TRUE(testsupport::SamePixels(written, testsupport::GradientBitmap(30, 20)));
  r = ConvertAlone(converter, Utf8(MakeJpeg("photo.png", 64, 48)), out());
  EXPECT_EQ(r.written, (std::vector<std::string>{out() + "photo.bmp", out() + "photo.png"}));
  PngImage().Load(out_dir() / "photo.png", written);
  EXPECT_LE(testsupport::MaxChannelDifference(written, testsupport::GradientBitmap(64, 48)), 32);
}

TEST_F(ConverterTest, ReplacesExistingTargetsButNeverTheSourceItself) {
  ScriptedHost host(testsupport::TickedFormats(true, false, false, true), &converted_);
  PictureConverter converter(host);
  img::WriteFileAtomically(out_dir() / "z.bmp", std::vector<std::uint8_t>{9});
  ConvertAlone(converter, Utf8(MakeJpeg("z.jpg")), out());
  img::Bitmap written;
  written.LoadFromFile(out_dir() / "z.bmp");
  EXPECT_EQ(written.width(), 64);

  // The output folder is the source's own, however spelt: the PNG route
  // would replace the source (a new file in its place), the BMP route runs.
  const fs::path source = MakePng("self.png", 5, 5);
  fs::create_hard_link(source, tmp_ / "original.png");
  std::vector<std::string> folders{Utf8(src_dir()) + "/", Utf8(src_dir()) + "/./", out() + "../src/"};
  std::error_code no_links;  // Wine has no folder links
  fs::create_directory_symlink(src_dir(), tmp_ / "alias", no_links);
  if (!no_links) folders.push_back(Utf8(tmp_ / "alias") + "/");
  for (const std::string& folder : folders) {
    fs::remove(src_dir() / "self.bmp");
    const ConversionReport r = ConvertAlone(converter, Utf8(source), folder);
    EXPECT_EQ(r.written, std::vector<std::string>{folder + "self.bmp"});
    EXPECT_EQ(testsupport::FailureLines(r.failures), std::vector<std::string>{folder + "self.png: the target is the source file itself"});
    EXPECT_TRUE(img::IsSameFile(source, tmp_ / "original.png")) << folder;
    EXPECT_TRUE(fs::exists(src_dir() / "self.bmp")) << folder;
  }
}

// A link that leads nowhere is something at the target's name: kept as it is.
TEST_F(ConverterTest, SkipExistingKeepsALinkThatLeadsNowhere) {
  std::error_code ec;
  fs::create_symlink(tmp_ / "nowhere.png", out_dir() / "d.png", ec);
  if (ec) GTEST_SKIP() << "no file links here: " << ec.message();
  ConversionOptions o = testsupport::TickedFormats(true, false, false, true);
  o.skipExisting = true;
  ScriptedHost host(o, &converted_);
  PictureConverter converter(host);
  const ConversionReport r = ConvertAlone(converter, Utf8(MakeJpeg("d.jpg")), out());
  EXPECT_EQ(r.written, std::vector<std::string>{out() + "d.bmp"});
  EXPECT_EQ(r.skipped, std::vector<std::string>{out() + "d.png"});
  EXPECT_TRUE(fs::is_symlink(out_dir() / "d.png"));
  EXPECT_FALSE(fs::exists(tmp_ / "nowhere.png"));
}

TEST_F(ConverterTest, RotationTurnsEveryTarget) {
  ConversionOptions o = testsupport::TickedFormats(true, true, true, true);
  o.rotation = 1;
  ScriptedHost host(o, &converted_);
  PictureConverter converter(host);
  ConversionReport r = ConvertAlone(converter, Utf8(MakeJpeg("r.jpg", 300, 200)), out());
  ASSERT_EQ(r.written.size(), 4u);
  img::Bitmap bmp;
  bmp.LoadFromFile(out_dir() / "r.bmp");
  EXPECT_EQ(bmp.width(), 200);
  EXPECT_EQ(bmp.height(), 300);
  JpegImage jpeg;
  jpeg.Load(out_dir() / "r.jpeg", bmp);
  EXPECT_EQ(bmp.width(), 200);
  PngImage png;
  png.Load(out_dir() / "r.png", bmp);
  EXPECT_EQ(bmp.height(), 300);
}

// A photo lying on its side stands upright whatever of its metadata the
// targets carry: the orientation is read even where none is kept.
struct CarriedCase {
  const char* name;
  CarriedMetadata carried;
  friend void PrintTo(const CarriedCase& c, std::ostream* os) { *os << c.name; }
};

class UprightWhateverIsCarried : public ConverterTest, public testing::WithParamInterface<CarriedCase> {};

TEST_P(UprightWhateverIsCarried, ALyingJpegIsWrittenUpright) {
  PictureMetadata lying;
  lying.exif = testsupport::ExifWithOrientation(6);
  testsupport::WritePictureWith(testsupport::GradientBitmap(60, 30), lying, src_dir() / "lying.jpg");
  ConversionOptions o = testsupport::TickedFormats(false, false, false, true);
  o.metadata = GetParam().carried;
  ScriptedHost host(o, &converted_);
  PictureConverter converter(host);
  ASSERT_TRUE(ConvertAlone(converter, Utf8(src_dir() / "lying.jpg"), out()).ok());
  img::Bitmap written;
  PngImage().Load(out_dir() / "lying.png", written);
  EXPECT_EQ(written.width(), 30);
  EXPECT_EQ(written.height(), 60);
}

INSTANTIATE_TEST_SUITE_P(Metadata, UprightWhateverIsCarried,
                         testing::Values(CarriedCase{"Stripped", CarriedMetadata::None},
                                         CarriedCase{"ProfileOnly", CarriedMetadata::Profile},
                                         CarriedCase{"AllKept", CarriedMetadata::All}),
                         testsupport::ByName());

TEST_F(ConverterTest, AFolderInTheWayFailsThatTargetOnlyAndIsNotListed) {
  fs::create_directories(out_dir() / "d.jpg");
  fs::create_directories(out_dir() / "d.bmp");
  ScriptedHost host(testsupport::TickedFormats(true, true, false, true), &converted_);
  PictureConverter converter(host);
  ConversionReport r = ConvertAlone(converter, Utf8(MakeJpeg("d.jpg")), out());
  EXPECT_EQ(r.written, std::vector<std::string>{out() + "d.png"});
  EXPECT_EQ(r.failures.size(), 2u);
  ASSERT_EQ(converted_.Count(), 1);
  EXPECT_EQ(converted_.Item(0), "d.png");
  EXPECT_TRUE(fs::is_directory(out_dir() / "d.jpg"));
}

TEST_F(ConverterTest, AnUndecodableSourceWritesNothingFromThePreviousPicture) {
  ScriptedHost host(testsupport::TickedFormats(true, true, true, true), &converted_);
  PictureConverter converter(host);
  ASSERT_TRUE(ConvertAlone(converter, Utf8(MakeJpeg("good.jpg")), out()).ok());
  const int listed = converted_.Count();

  fs::path bad = src_dir() / "bad.jpg";
  img::WriteFileAtomically(bad, std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J'});
  ConversionReport r = ConvertAlone(converter, Utf8(bad), out());
  EXPECT_TRUE(r.isPicture);
  EXPECT_TRUE(r.written.empty());
  EXPECT_EQ(r.failures.size(), 1u);  // reported once, not once per format
  EXPECT_EQ(converted_.Count(), listed);
  for (const char* name : {"bad.bmp", "bad.jpg", "bad.jpeg", "bad.png"})
    EXPECT_FALSE(fs::exists(out_dir() / name)) << name;
}

// A picture far larger than the ones before does not leave the converter
// holding its memory; usual pictures keep theirs for the next one.
TEST_F(ConverterTest, HandsBackTheMemoryOfAnUnusuallyLargePicture) {
  ScriptedHost host(testsupport::TickedFormats(false, false, false, true), &converted_);
  PictureConverter converter(host);
  const std::string small = Utf8(MakeBmp("small.bmp", 800, 600));
  const int side = 7000;  // 147 MB decoded: over twice what is always kept
  const fs::path large = src_dir() / "large.bmp";
  img::Bitmap(side, side).SaveToFile(large);

  ASSERT_TRUE(ConvertAlone(converter, small, out()).ok());
  EXPECT_GE(converter.KeptBytes(), 800u * 600 * 3);
  ASSERT_TRUE(ConvertAlone(converter, Utf8(large), out()).ok());
  EXPECT_LT(converter.KeptBytes(), PictureConverter::kAlwaysKeptBytes);
  ASSERT_TRUE(ConvertAlone(converter, small, out()).ok());
  EXPECT_GE(converter.KeptBytes(), 800u * 600 * 3);
}

TEST_F(ConverterTest, OneDecodeForAllFormatsGivesTheBytesOfOneConversionPerFormat) {
  ConversionOptions o = testsupport::TickedFormats(true, true, true, true);
  o.resize.to = engine::SizeBoxes{50, 40};
  o.rotation = 3;
  fs::path source = MakeJpeg("same.jpg", 120, 90);
  ScriptedHost host(o, &converted_);
  PictureConverter converter(host);
  ASSERT_TRUE(ConvertAlone(converter, Utf8(source), out()).ok());

  const char* names[] = {"same.bmp", "same.jpg", "same.jpeg", "same.png"};
  for (int f = 0; f < 4; ++f) {
    fs::path alone = tmp_ / ("alone" + std::to_string(f));
    fs::create_directories(alone);
    ConversionOptions one = o;
    one.targets = FormatTicks::Nothing();
    one.targets.Set(PictureFormats()[f], true);
    ScriptedHost single(one);
    PictureConverter fresh(single);
    ASSERT_TRUE(ConvertAlone(fresh, Utf8(source), Utf8(alone) + "/").ok());
    EXPECT_EQ(Bytes(out_dir() / names[f]), Bytes(alone / names[f])) << names[f];
  }
}

// Turns the rotation on at the first progress step of the PNG route, after
// the BMP target of the same picture has been written.
class RotationSwitchingHost : public ScriptedHost {
 public:
  using ScriptedHost::ScriptedHost;
  void StepProgress() override {
    if (++steps == 4) options().rotation = 1;
  }
};

// A picture takes its options once: a change made while its targets are
// written applies from the next picture, never to half of one.
TEST_F(ConverterTest, AnOptionChangedDuringAPictureAppliesFromTheNextPicture) {
  RotationSwitchingHost host(testsupport::TickedFormats(true, false, false, true), &converted_);
  PictureConverter converter(host);
  ASSERT_TRUE(ConvertAlone(converter, Utf8(MakeJpeg("turn.jpg", 40, 30)), out()).ok());
  ASSERT_EQ(host.options().rotation, 1);
  img::Bitmap picture;
  PngImage png;
  for (const fs::path& target : {out_dir() / "turn.bmp", out_dir() / "turn.png"}) {
    ASSERT_NO_THROW(engine::LoadPicture(Utf8(target), picture));
    EXPECT_EQ(picture.width(), 40) << target;
  }
  ASSERT_TRUE(ConvertAlone(converter, Utf8(MakeJpeg("next.jpg", 40, 30)), out()).ok());
  for (const fs::path& target : {out_dir() / "next.bmp", out_dir() / "next.png"}) {
    ASSERT_NO_THROW(engine::LoadPicture(Utf8(target), picture));
    EXPECT_EQ(picture.width(), 30) << target;
  }
}

TEST_F(ConverterTest, ChineseFileAndFolderNames) {
  fs::path folder = out_dir() / img::PathFromUtf8("输出");
  fs::create_directories(folder);
  ScriptedHost host(testsupport::TickedFormats(true, true, true, true), &converted_);
  PictureConverter converter(host);
  ConversionReport r = ConvertAlone(converter, Utf8(MakePng("照片.png")), Utf8(folder) + "/");
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(fs::exists(folder / img::PathFromUtf8("照片.jpeg")));
  EXPECT_EQ(FindListItem("照片.bmp", &converted_), 0);
}

// --- Alpha and grey sources ---------------------------------------------------

// Every format ticked, shrunk to 20 x 15 and turned a quarter; WebP lossless.
ConversionOptions ShrinkAndTurnToEveryFormat() {
  ConversionOptions o = testsupport::TickedFormats(true, true, true, true);
  o.targets.Set("webp", true);
  o.webpLossless = true;
  o.resize.to = engine::SizeBoxes{20, 15};
  o.rotation = 1;
  return o;
}

// The decoded source shrunk and turned as the options above ask.
img::Bitmap ShrunkAndTurned(const fs::path& source) {
  img::Bitmap picture, shrunk;
  LoadPicture(Utf8(source), picture);
  img::ShrinkBitmap(picture, shrunk, 20, 15);
  img::Bitmap turned = img::Bitmap::Unfilled(15, 20, shrunk.format());
  turned.palette() = shrunk.palette();
  img::SerialParts parts;
  img::TurnRightAngle(shrunk, 1, turned, parts);
  return turned;
}

struct AlphaSource {
  const char* name;
  const char* extension;
  void (*write)(const img::Bitmap&, const fs::path&);
  bool keptInBmp;  // a BMP target holds the alpha of a source of its own kind only
  friend void PrintTo(const AlphaSource& c, std::ostream* os) { *os << c.name; }
};

class AlphaConversion : public ConverterTest, public testing::WithParamInterface<AlphaSource> {};

// PNG and WebP targets keep the alpha through the shrink and the turn, and a
// BMP target a BMP source's; JPEG and the other BMP targets are the bytes a
// picture laid over white gives.
TEST_P(AlphaConversion, KeptWhereTheTargetHoldsItLaidOverWhiteElsewhere) {
  const fs::path source = src_dir() / (std::string("logo") + GetParam().extension);
  GetParam().write(testsupport::AlphaGradientBitmap(40, 30), source);
  ScriptedHost host(ShrinkAndTurnToEveryFormat(), &converted_);
  PictureConverter converter(host);
  ASSERT_TRUE(ConvertAlone(converter, Utf8(source), out()).ok());

  const img::Bitmap expected = ShrunkAndTurned(source);
  ASSERT_EQ(expected.format(), img::PixelFormat::Bits32Alpha);
  std::vector<const char*> kept{"logo.png", "logo.webp"}, flattened{"logo.jpg", "logo.jpeg"};
  (GetParam().keptInBmp ? kept : flattened).push_back("logo.bmp");
  for (const char* target : kept) {
    img::Bitmap written;
    LoadPicture(Utf8(out_dir() / target), written);
    EXPECT_TRUE(testsupport::SamePixels(written, expected)) << target;
  }

  img::Bitmap flat;
  LoadPicture(Utf8(source), flat);
  flat.ConvertTo24();
  const fs::path flat_dir = tmp_ / "flat";
  fs::create_directories(flat_dir / "out");
  PngImage().Save(flat, flat_dir / "logo.png");
  ScriptedHost flat_host(ShrinkAndTurnToEveryFormat());
  PictureConverter flat_converter(flat_host);
  ASSERT_TRUE(ConvertAlone(flat_converter, Utf8(flat_dir / "logo.png"), Utf8(flat_dir / "out") + "/").ok());
  for (const char* target : flattened)
    EXPECT_EQ(Bytes(out_dir() / target), Bytes(flat_dir / "out" / target)) << target;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, AlphaConversion,
    testing::Values(
        AlphaSource{"Png", ".png", [](const img::Bitmap& b, const fs::path& p) { PngImage().Save(b, p); }, false},
        AlphaSource{"Webp", ".webp", [](const img::Bitmap& b, const fs::path& p) { WebpImage().Save(b, p, 0, true); },
                    false},
        AlphaSource{"BmpWithAlphaMask", ".bmp", [](const img::Bitmap& b, const fs::path& p) { b.SaveToFile(p); },
                    true},
        // Read by what it is: a PNG's BMP target, whatever its name.
        AlphaSource{"PngNamedBmp", ".bmp", [](const img::Bitmap& b, const fs::path& p) { PngImage().Save(b, p); },
                    false}),
    [](const testing::TestParamInfo<AlphaSource>& info) { return std::string(info.param.name); });

class BmpSuiteAlpha : public ConverterTest, public testing::WithParamInterface<const char*> {};

// The suite's BMPs whose bit fields name alpha, of every header and mask
// layout: the BMP target is 32 bits with an alpha mask and the very pixels,
// the PNG target keeps them too, the JPG target is the picture over white.
TEST_P(BmpSuiteAlpha, BmpAndPngTargetsKeepItJpgLaysItOverWhite) {
  SKIP_WITHOUT_TESTDATA();
  const fs::path source = testsupport::TestDataDir() / "bmpsuite" / "q" / (std::string(GetParam()) + ".bmp");
  ScriptedHost host(testsupport::TickedFormats(true, true, false, true), &converted_);
  PictureConverter converter(host);
  ASSERT_TRUE(ConvertAlone(converter, Utf8(source), out()).ok());

  img::Bitmap picture;
  LoadPicture(Utf8(source), picture);
  ASSERT_EQ(picture.format(), img::PixelFormat::Bits32Alpha);
  for (const char* extension : {".bmp", ".png"}) {
    img::Bitmap written;
    LoadPicture(Utf8(out_dir() / (std::string(GetParam()) + extension)), written);
    EXPECT_TRUE(testsupport::SamePixels(written, picture)) << extension;
  }
  const std::vector<std::uint8_t> bmp = Bytes(out_dir() / (std::string(GetParam()) + ".bmp"));
  ASSERT_GE(bmp.size(), 70u);
  EXPECT_EQ(bmp[28], 32) << "bits per pixel";
  EXPECT_EQ(bmp[30], 3) << "BI_BITFIELDS";
  EXPECT_EQ(bmp[14 + 52 + 3], 0xFF) << "alpha mask on the fourth byte";

  picture.ConvertTo24();
  const fs::path flat = tmp_ / "flat" / "picture.bmp";
  fs::create_directories(flat.parent_path() / "out");
  picture.SaveToFile(flat);
  ScriptedHost flat_host(testsupport::TickedFormats(false, true, false, false));
  PictureConverter flat_converter(flat_host);
  ASSERT_TRUE(ConvertAlone(flat_converter, Utf8(flat), Utf8(flat.parent_path() / "out") + "/").ok());
  EXPECT_EQ(Bytes(out_dir() / (std::string(GetParam()) + ".jpg")), Bytes(flat.parent_path() / "out" / "picture.jpg"));
}

INSTANTIATE_TEST_SUITE_P(BmpSuite, BmpSuiteAlpha,
                         testing::Values("rgba32-1", "rgba32-2", "rgba32-1010102", "rgba32-61754", "rgba32-81284",
                                         "rgba32abf", "rgba32h56", "rgba16-4444", "rgba16-1924"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           std::erase(name, '-');
                           return name;
                         });

class GreyConversion : public ConverterTest, public testing::WithParamInterface<const char*> {};

// A grey source gives a one-component JPEG and a grey PNG, shrunk and turned.
TEST_P(GreyConversion, StaysGreyInJpegAndPngTargets) {
  const fs::path source = src_dir() / (std::string("scan") + GetParam());
  const img::Bitmap grey = testsupport::GreyGradientBitmap(40, 30);
  if (std::string(GetParam()) == ".png")
    PngImage().Save(grey, source);
  else
    JpegImage().Save(grey, source);
  ConversionOptions o = ShrinkAndTurnToEveryFormat();
  ScriptedHost host(o, &converted_);
  PictureConverter converter(host);
  ASSERT_TRUE(ConvertAlone(converter, Utf8(source), out()).ok());

  img::Bitmap jpeg;
  JpegImage().Load(out_dir() / "scan.jpg", jpeg);
  EXPECT_TRUE(jpeg.IsGrey());  // the decoder gives 8-bit grey for one component only
  EXPECT_EQ(jpeg.width(), 15);
  const std::vector<std::uint8_t> png = Bytes(out_dir() / "scan.png");
  ASSERT_GT(png.size(), 26u);
  EXPECT_EQ(png[25], 0) << "PNG colour type";
  img::Bitmap written;
  LoadPicture(Utf8(out_dir() / "scan.png"), written);
  EXPECT_TRUE(testsupport::SamePixels(written, ShrunkAndTurned(source)));
}

INSTANTIATE_TEST_SUITE_P(Sources, GreyConversion, testing::Values(".jpg", ".png"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param + 1);
                         });

// A smooth shrink to a quarter starts from JPEG's smaller decode, but its
// size is planned from the whole picture (a scale of a quarter decode
// would give a quarter of the size), upright, and its pixels stay those of
// the whole decode's shrink: within a few levels at the far edges, where
// the smaller decode's last block reaches a little past the picture.
struct LoadShrinkCase {
  const char* name;
  decltype(Resize::to) to;
  int orientation;
  int width, height;
  friend void PrintTo(const LoadShrinkCase& c, std::ostream* os) { *os << c.name; }
};

class ShrinkOnLoad : public ConverterTest, public testing::WithParamInterface<LoadShrinkCase> {};

TEST_P(ShrinkOnLoad, PlansFromTheWholePictureAndKeepsItsPixels) {
  const LoadShrinkCase& c = GetParam();
  PictureMetadata stored;
  stored.exif = testsupport::ExifWithOrientation(c.orientation);
  testsupport::WritePictureWith(testsupport::SmoothBitmap(2001, 1001), stored, src_dir() / "big.jpg");
  ConversionOptions o = testsupport::TickedFormats(false, false, false, true);
  o.resize.to = c.to;
  o.resize.filter = ResizeFilter::Lanczos;
  ScriptedHost host(o, &converted_);
  PictureConverter converter(host);
  ASSERT_TRUE(ConvertAlone(converter, Utf8(src_dir() / "big.jpg"), out()).ok());
  img::Bitmap written, decoded, want;
  PngImage().Load(out_dir() / "big.png", written);
  ASSERT_EQ(written.width(), c.width);
  ASSERT_EQ(written.height(), c.height);
  if (c.orientation != 1) return;
  JpegImage().Load(src_dir() / "big.jpg", decoded);
  const ResizePlan plan = PlanResize(2001, 1001, o.resize);
  img::ResizeLinearLight(decoded, want, plan.size.width, plan.size.height, img::ResizeKernel::Lanczos3);
  img::CropCentre(want, c.width, c.height);
  EXPECT_LE(testsupport::MaxChannelDifference(written, want), 8);
}

INSTANTIATE_TEST_SUITE_P(
    Resizes, ShrinkOnLoad,
    testing::Values(LoadShrinkCase{"Fit", FitInBox{200, 200}, 1, 200, 100},
                    LoadShrinkCase{"Scale", ScaleBy{1000}, 1, 200, 100},
                    LoadShrinkCase{"Cover", CoverBox{90, 90}, 1, 90, 90},
                    LoadShrinkCase{"FitLying", FitInBox{150, 150}, 6, 75, 150},
                    LoadShrinkCase{"ScaleLying", ScaleBy{1000}, 6, 100, 200}),
    testsupport::ByName());

// A picture's kinds written side by side (the window's run) give what one
// route after another gives: the same files, the same report, the same
// names listed in the same order, also where a failure has the picture
// made again for the kinds after it.
struct SideBySideCase {
  const char* name;
  bool shrunkAndTurned;
  std::vector<const char*> inTheWay;  // folders standing at target names
  friend void PrintTo(const SideBySideCase& c, std::ostream* os) { *os << c.name; }
};

class SideBySide : public ConverterTest, public ::testing::WithParamInterface<SideBySideCase> {};

TEST_P(SideBySide, WritesWhatOneRouteAfterAnotherWrites) {
  ConversionOptions o = testsupport::TickedFormats(true, true, true, true);
  if (GetParam().shrunkAndTurned) {
    o.resize.to = engine::SizeBoxes{50, 40};
    o.rotation = 1;
  }
  const std::string source = Utf8(MakeJpeg("p.jpg", 120, 90));
  auto convert = [&](bool sideBySide, const fs::path& folder, VectorPictureList& listed) {
    fs::create_directories(folder);
    for (const char* name : GetParam().inTheWay) fs::create_directories(folder / name);
    ScriptedHost host(o, &listed);
    PictureConverter converter(host);
    converter.WriteKindsSideBySide(sideBySide);
    ConversionReport report = ConvertAlone(converter, source, Utf8(folder) + "/");
    for (std::string& path : report.written) path = Utf8(fs::path(path).filename());
    // A failure by the name it missed and its reason (its words name the folder).
    for (ConversionFailure& failure : report.failures)
      report.skipped.push_back(Utf8(fs::path(failure.path).filename()) + " " + text::JsonName(failure.code));
    return report;
  };
  VectorPictureList oneByOne, sideBySide;
  const ConversionReport serial = convert(false, tmp_ / "serial", oneByOne);
  const ConversionReport side = convert(true, tmp_ / "side", sideBySide);

  EXPECT_EQ(side.written, serial.written);
  EXPECT_EQ(side.skipped, serial.skipped);
  EXPECT_EQ(side.warnings, serial.warnings);
  ASSERT_EQ(side.writtenSizes.size(), serial.writtenSizes.size());
  for (std::size_t i = 0; i < side.writtenSizes.size(); ++i) {
    EXPECT_EQ(side.writtenSizes[i].width, serial.writtenSizes[i].width);
    EXPECT_EQ(side.writtenSizes[i].height, serial.writtenSizes[i].height);
  }
  ASSERT_EQ(sideBySide.Count(), oneByOne.Count());
  for (int i = 0; i < oneByOne.Count(); ++i) EXPECT_EQ(sideBySide.Item(i), oneByOne.Item(i));
  for (const std::string& name : serial.written)
    EXPECT_EQ(Bytes(tmp_ / "side" / name), Bytes(tmp_ / "serial" / name)) << name;
  EXPECT_FALSE(serial.written.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SideBySide,
    ::testing::Values(SideBySideCase{"EveryKindShrunkAndTurned", true, {}},
                      SideBySideCase{"FoldersInTheWayOfTheBmpAndTheJpg", false, {"p.bmp", "p.jpg"}},
                      SideBySideCase{"AFolderInTheWayOfThePng", true, {"p.png"}}),
    testsupport::ByName());

}  // namespace

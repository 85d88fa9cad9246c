// The size and orientation a file's header tells, against what the loaders
// find when they decode it: the names a run gives by size must be the sizes
// it writes.

#include "engine/PictureHeader.h"

#include "PictureFiles.h"
#include "PngBytes.h"
#include "TestSupport.h"
#include "engine/ExifOrientation.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A PNG's chunks rewritten: the eXIf moved behind the image data, and
// optionally a damaged eXIf of another orientation left in its place.
Bytes ExifAfterImageData(const Bytes& png, bool damagedFirst) {
  Bytes out(png.begin(), png.begin() + 8);
  testsupport::PngChunk exif;
  for (const testsupport::PngChunk& chunk : testsupport::PngChunks(png)) {
    if (chunk.type == "eXIf") {
      exif = chunk;
      if (damagedFirst) {
        testsupport::AppendPngChunk(out, "eXIf", testsupport::ExifWithOrientation(3));
        out[out.size() - 1] ^= 1;  // its CRC
      }
      continue;
    }
    if (chunk.type == "IEND") testsupport::AppendPngChunk(out, "eXIf", exif.data);
    testsupport::AppendPngChunk(out, chunk.type.c_str(), chunk.data);
  }
  return out;
}

struct HeaderCase {
  const char* name;
  const char* extension;
  int orientation;  // written; 0: none (BMP)
  Bytes (*rewrite)(const Bytes&) = nullptr;
};

class PictureHeaderCases : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(PictureHeaderCases, TellsWhatTheLoaderFinds) {
  const HeaderCase c = GetParam();
  testsupport::TempDir dir;
  const fs::path path = dir / (std::string("p") + c.extension);
  const img::Bitmap stored = testsupport::GradientBitmap(7, 3);
  if (c.orientation == 0) {
    stored.SaveToFile(path);
  } else {
    engine::PictureMetadata metadata;
    metadata.exif = testsupport::ExifWithOrientation(c.orientation, c.orientation % 2 == 1);
    testsupport::WritePictureWith(stored, metadata, path);
  }
  if (c.rewrite) img::WriteFileAtomically(path, c.rewrite(img::ReadWholeFile(path)));

  const std::optional<engine::PictureHeader> header = engine::ReadPictureHeader(img::PathToUtf8(path));
  ASSERT_TRUE(header.has_value());
  img::Bitmap decoded;
  const engine::PictureMetadata found = testsupport::ReadPictureWith(path, decoded);
  EXPECT_EQ(header->width, decoded.width());
  EXPECT_EQ(header->height, decoded.height());
  EXPECT_EQ(header->orientation, found.exif.empty() ? 0 : engine::ReadExifOrientation(found.exif));
  EXPECT_EQ(header->orientation, c.orientation);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PictureHeaderCases,
    ::testing::Values(HeaderCase{"Jpeg", ".jpg", 6}, HeaderCase{"Png", ".png", 8},
                      HeaderCase{"PngExifAfterTheImageData", ".png", 5,
                                 [](const Bytes& png) { return ExifAfterImageData(png, false); }},
                      HeaderCase{"PngDamagedExifPassedOver", ".png", 7,
                                 [](const Bytes& png) { return ExifAfterImageData(png, true); }},
                      HeaderCase{"Webp", ".webp", 6}, HeaderCase{"Bmp", ".bmp", 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// Writes small JPEG XL seeds made by libjxl's encoder: lossy and lossless,
// grey, with alpha, turned with EXIF, a profile and XMP, a JPEG recompressed
// with its reconstruction data, and a picture drawn over a larger layer.
//   fuzz_make_jxl_seeds <folder>   (fills <folder>/jxl)
#include <cstdio>
#include <filesystem>

#include "JxlBytes.h"
#include "SeedFiles.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/jxl/JxlImage.h"

namespace {

// EXIF data of IFD0 with the Orientation tag alone.
std::vector<std::uint8_t> Exif(std::uint8_t orientation) {
  return {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, orientation, 0, 0, 0, 0, 0, 0, 0};
}

// A grey picture: the grey ramp as its palette.
img::Bitmap Grey(int width, int height) {
  img::Bitmap picture(width, height, img::PixelFormat::Bits8);
  picture.palette().clear();
  for (int level = 0; level < 256; ++level) {
    const auto v = static_cast<std::uint8_t>(level);
    picture.palette().push_back({v, v, v, 0});
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture.ScanLine(y)[x] = static_cast<std::uint8_t>(x * 19 + y * 7);
  return picture;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_jxl_seeds <folder>\n");
    return 2;
  }
  const std::filesystem::path root = std::filesystem::path(argv[1]) / "jxl";
  std::filesystem::create_directories(root);
  const img::Bitmap colour = fuzz::SeedPattern(19, 11);
  img::SerialParts parts;
  engine::PictureMetadata carried;
  carried.exif = Exif(6);
  carried.icc = testsupport::DisplayP3Profile();
  carried.xmp = {'<', 'x', '/', '>'};
  fuzz::WriteSeed(root / "seed_lossy.jxl", engine::EncodeJxl(colour, {60, false, 3}, nullptr, parts));
  fuzz::WriteSeed(root / "seed_lossless.jxl", engine::EncodeJxl(colour, {100, false, 1}, nullptr, parts));
  fuzz::WriteSeed(root / "seed_grey.jxl",
                  engine::EncodeJxl(Grey(13, 9), {100, false, 2}, nullptr, parts));
  fuzz::WriteSeed(root / "seed_alpha.jxl",
                  engine::EncodeJxl(fuzz::SeedPattern(16, 16, true), {80, false, 3}, nullptr, parts));
  fuzz::WriteSeed(root / "seed_metadata.jxl", engine::EncodeJxl(colour, {70, false, 3}, &carried, parts));
  engine::JpegImage jpeg;
  fuzz::WriteSeed(root / "seed_recompressed.jxl",
                  *engine::RecompressJpeg(jpeg.Encode(colour, &carried), 3, parts));
  fuzz::WriteSeed(root / "seed_layer.jxl", testsupport::JxlWithLayer(8, 8, 24, 20));
  return 0;
}

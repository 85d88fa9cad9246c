// Writes small HEIF seeds made by libheif's encoders: HEIC (x265) plain,
// turned and with alpha and EXIF, AVIF (aom) from this program's writer with
// alpha, a profile and a turn.
//   fuzz_make_heif_seeds <folder>   (fills <folder>/heif)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "HeifBytes.h"
#include "SeedFiles.h"
#include "engine/formats/heif/HeifImage.h"

namespace {

// EXIF data of IFD0 with the Orientation tag alone.
std::vector<std::uint8_t> Exif(std::uint8_t orientation) {
  return {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, orientation, 0, 0, 0, 0, 0, 0, 0};
}

// An RGB display profile's header and nothing more.
std::vector<std::uint8_t> Profile() {
  std::vector<std::uint8_t> icc(132);
  icc[3] = 132;
  const char* words[] = {"mntr", "RGB ", "XYZ "};
  for (int i = 0; i < 3; ++i) std::copy(words[i], words[i] + 4, icc.begin() + 12 + 4 * i);
  icc[36] = 'a', icc[37] = 'c', icc[38] = 's', icc[39] = 'p';
  return icc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_heif_seeds <folder>\n");
    return 2;
  }
  const std::filesystem::path root = std::filesystem::path(argv[1]) / "heif";
  std::filesystem::create_directories(root);
  const img::Bitmap colour = fuzz::SeedPattern(19, 11);
  const img::Bitmap clear = fuzz::SeedPattern(16, 16, true);
  testsupport::HeifPicture turned;
  turned.orientation = heif_orientation_rotate_90_cw_then_flip_horizontally;
  turned.exif = Exif(5);
  turned.icc = Profile();
  fuzz::WriteSeed(root / "seed_plain.heic", testsupport::HeifBytes(colour));
  fuzz::WriteSeed(root / "seed_turned.heic", testsupport::HeifBytes(colour, turned));
  fuzz::WriteSeed(root / "seed_alpha.heic", testsupport::HeifBytes(clear));
  engine::PictureMetadata carried;
  carried.icc = Profile();
  carried.exif = Exif(3);
  carried.xmp = {'<', 'x', '/', '>'};
  fuzz::WriteSeed(root / "seed_alpha.avif", engine::EncodeAvif(clear, 70, &carried));
  fuzz::WriteSeed(root / "seed_plain.avif", engine::EncodeAvif(colour, 40));
  return 0;
}

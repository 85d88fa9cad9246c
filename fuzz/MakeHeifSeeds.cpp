// Writes small HEIF seeds made by libheif's encoders: HEIC (x265) plain,
// turned and with alpha and EXIF, AVIF (aom) from this program's writer with
// alpha, a profile and a turn.
//   fuzz_make_heif_seeds <folder>   (fills <folder>/heif)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "HeifBytes.h"
#include "engine/HeifImage.h"

namespace {

// Colours every pixel apart, with alpha from clear to opaque where asked.
img::Bitmap Pattern(int width, int height, bool alpha) {
  img::Bitmap picture(width, height, alpha ? img::PixelFormat::Bits32Alpha : img::PixelFormat::Bits24);
  const int bytes = alpha ? 4 : 3;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = picture.ScanLine(y) + bytes * x;
      p[0] = static_cast<std::uint8_t>(x * 37);
      p[1] = static_cast<std::uint8_t>(y * 53);
      p[2] = static_cast<std::uint8_t>((x ^ y) * 17);
      if (alpha) p[3] = static_cast<std::uint8_t>(x * 16 + y);
    }
  return picture;
}

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

void Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_heif_seeds <folder>\n");
    return 2;
  }
  const std::filesystem::path root = std::filesystem::path(argv[1]) / "heif";
  std::filesystem::create_directories(root);
  const img::Bitmap colour = Pattern(19, 11, false);
  const img::Bitmap clear = Pattern(16, 16, true);
  testsupport::HeifPicture turned;
  turned.orientation = heif_orientation_rotate_90_cw_then_flip_horizontally;
  turned.exif = Exif(5);
  turned.icc = Profile();
  Write(root / "seed_plain.heic", testsupport::HeifBytes(colour));
  Write(root / "seed_turned.heic", testsupport::HeifBytes(colour, turned));
  Write(root / "seed_alpha.heic", testsupport::HeifBytes(clear));
  engine::PictureMetadata carried;
  carried.icc = Profile();
  carried.exif = Exif(3);
  carried.xmp = {'<', 'x', '/', '>'};
  Write(root / "seed_alpha.avif", engine::EncodeAvif(clear, 70, &carried));
  Write(root / "seed_plain.avif", engine::EncodeAvif(colour, 40));
  return 0;
}

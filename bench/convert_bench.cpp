// Whole conversion JPEG -> BMP + JPG + JPEG + PNG against the codec floor:
// one libjpeg decode, one JPEG encode, one PNG encode and one BMP write of the
// same pictures, called straight through the libraries.
//
// usage: convert_bench [pictures=12] [width=4000] [height=3000] [runs=2]

#include "BenchSupport.h"
#include "engine/ConversionHost.h"
#include "engine/PictureConverter.h"
#include "imaging/FileIO.h"

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 12;
  const int width = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int height = argc > 3 ? std::atoi(argv[3]) : 3000;
  const int runs = argc > 4 ? std::atoi(argv[4]) : 2;
  bench::PrintMachine();
  const auto root = std::filesystem::temp_directory_path() / "imgconvert-bench";
  std::printf("making %d photograph-like %dx%d JPEG files in %s ...\n", count, width, height,
              root.c_str());
  const auto files = bench::MakeJpegSet(root / ("set-" + std::to_string(width) + "x" + std::to_string(height)),
                                        count, width, height);
  const auto out = root / "out";
  std::filesystem::create_directories(out);

  const double floor = bench::BestOf(runs, [&] {
    for (const auto& f : files) {
      bench::RawPicture p = bench::FloorJpegDecode(bench::ReadBytes(f));
      bench::FloorBmpWrite(p, out / "floor.bmp");
      bench::WriteBytes(out / "floor.jpg", bench::FloorJpegEncode(p));
      bench::FloorPngWrite(p, out / "floor.png");
    }
  });

  engine::FixedOptionsHost host;  // the window's defaults: all four formats
  engine::PictureConverter converter(host);
  const std::string out_folder = img::PathToUtf8(out) + "/";
  const double convert = bench::BestOf(runs, [&] {
    for (const auto& f : files) converter.ConvertPicture(img::PathToUtf8(f), out_folder);
  });

  std::printf("codec floor (decode + JPEG + PNG + BMP): %8.1f ms/picture\n", 1000 * floor / count);
  std::printf("conversion to BMP+JPG+JPEG+PNG:          %8.1f ms/picture\n", 1000 * convert / count);
  std::printf("ratio conversion/floor:                  %8.3f (target <= 1.15)\n", convert / floor);
  return 0;
}

// Whole conversion JPEG -> BMP + JPG + JPEG + PNG against the codec floor:
// one libjpeg decode, one JPEG encode, one PNG encode and one BMP write of the
// same pictures, called straight through the libraries.
//
// usage: convert_bench [pictures=12] [width=4000] [height=3000] [runs=2]

#include "BenchSupport.h"
#include "engine/plan/RunPlan.h"
#include "engine/convert/ConversionCallbacks.h"
#include "engine/convert/PictureConverter.h"
#include "engine/threads/WorkerPool.h"
#include "platform/FileIO.h"

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 12;
  const int width = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int height = argc > 3 ? std::atoi(argv[3]) : 3000;
  const int runs = argc > 4 ? std::atoi(argv[4]) : 2;
  bench::StartBenchmark();
  const auto root = std::filesystem::temp_directory_path() / "imgconvert-bench";
  std::printf("making %d photograph-like %dx%d JPEG files in %s ...\n", count, width, height,
              root.c_str());
  const auto files = bench::MakeJpegSet(root / ("set-" + std::to_string(width) + "x" + std::to_string(height)),
                                        count, width, height);
  const auto out = root / "out";
  std::filesystem::create_directories(out);

  const bench::Timing floor = bench::BestOfBoth(runs, [&] {
    for (const auto& f : files) {
      bench::RawPicture p = bench::FloorJpegDecode(bench::ReadBytes(f));
      bench::FloorBmpWrite(p, out / "floor.bmp");
      bench::WriteBytes(out / "floor.jpg", bench::FloorJpegEncode(p));
      bench::FloorPngWrite(p, out / "floor.png");
    }
  });

  engine::FixedOptionsCallbacks host;  // the window's defaults: all four formats
  engine::PictureConverter converter(host);
  const std::string out_folder = img::PathToUtf8(out) + "/";
  auto convert_all = [&] {
    for (const auto& f : files) engine::ConvertAlone(converter, img::PathToUtf8(f), out_folder);
  };
  const int cores = engine::PictureThreads();
  engine::SetPictureThreads(1);
  const bench::Timing one_thread = bench::BestOfBoth(runs, convert_all);
  engine::SetPictureThreads(cores);
  const bench::Timing all_cores = bench::BestOfBoth(runs, convert_all);

  const double n = count;
  std::printf("best of %d runs, load average %.2f\n", runs, bench::LoadAverage());
  std::printf("%-46s %10s %10s\n", "ms/picture", "wall", "CPU");
  auto row = [&](const char* name, const bench::Timing& t) {
    std::printf("%-46s %10.1f %10.1f\n", name, 1000 * t.wall / n, 1000 * t.cpu / n);
  };
  row("codec floor (decode + JPEG + PNG + BMP)", floor);
  row("conversion, PNG on one thread", one_thread);
  row("conversion, PNG on every core", all_cores);
  std::printf("one thread / floor (CPU):   %.3f (target <= 1.15)\n", one_thread.cpu / floor.cpu);
  std::printf("every core / floor (wall):  %.3f (target <= 0.65 on 2 cores)\n", all_cores.wall / floor.wall);
  return 0;
}

// Rotation by 90 degrees of a 24-megapixel 24-bit picture, against a plain
// memcpy of the same bytes measured in the same run: on one thread, and on
// the threads the converter gives one picture (all cores). Run by hand:
//   build/bin/rotate_bench [width height runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "engine/threads/PoolParts.h"
#include "imaging/Bitmap.h"
#include "imaging/RightAngleTurn.h"
#include "imaging/ScreenRotateScanLine.h"

namespace {

void Report(const char* what, double megapixels, bench::Timing t, bench::Timing base) {
  std::printf(
      "%-34s wall %7.1f ms %7.1f MP/s %5.2f x memcpy | cpu %7.1f ms %7.1f MP/s %5.2f x memcpy\n",
      what, t.wall * 1e3, megapixels / t.wall, base.wall / t.wall, t.cpu * 1e3, megapixels / t.cpu,
      base.cpu / t.cpu);
}


}  // namespace

int main(int argc, char** argv) {
  const int width = argc > 2 ? std::atoi(argv[1]) : 6000;
  const int height = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
  bench::StartBenchmark();

  const img::Bitmap source = bench::MakePhotoLikeBitmap(width, height, 1);
  const double megapixels = static_cast<double>(width) * height / 1e6;
  const std::size_t bytes = source.stride() * static_cast<std::size_t>(height);
  std::printf("picture: %d x %d, 24 bits, %.1f megapixels, %.1f MB; best of %d runs\n", width,
              height, megapixels, bytes / 1e6, runs);

  img::Bitmap copy(width, height);  // allocated and touched before timing
  const bench::Timing t_memcpy =
      bench::BestOfBoth(runs, [&] { std::memcpy(copy.ScanLine(0), source.ScanLine(0), bytes); });

  img::Bitmap turned(height, width);
  img::SerialParts serial;
  const bench::Timing t_turn =
      bench::BestOfBoth(runs, [&] { img::TurnRightAngle(source, 1, turned, serial); });
  // The turn's parts on the shared pool, as the converter runs them.
  engine::PoolParts pool;
  img::Bitmap turned_pool(height, width);
  const bench::Timing t_turn_pool =
      bench::BestOfBoth(runs, [&] { img::TurnRightAngle(source, 1, turned_pool, pool); });

  // The whole operation as the converter calls it, with a fresh copy of the
  // source each run (making the copy is not timed).
  bench::Timing t_full;
  std::unique_ptr<img::Bitmap> result;
  for (int r = 0; r < runs; ++r) {
    auto input = std::make_unique<img::Bitmap>(source);
    bench::TimeOnce(t_full, [&] {
      img::RotateBitmapScanLine(std::move(input), 90, 0, img::NullProgress(), pool, result);
    });
  }

  // Spot-check the turn so the figures are of a correct one: source (x, y)
  // lands at (H-1-y, x).
  for (auto [x, y] :
       {std::pair{0, 0}, {width - 1, 0}, {width / 3, height - 1}, {width - 1, height - 1}})
    if (turned.PixelColor(height - 1 - y, x) != source.PixelColor(x, y) ||
        result->PixelColor(height - 1 - y, x) != source.PixelColor(x, y)) {
      std::printf("WRONG PIXEL at source %d,%d\n", x, y);
      return 1;
    }
  if (std::memcmp(copy.ScanLine(0), source.ScanLine(0), bytes) != 0 ||
      std::memcmp(turned.ScanLine(0), turned_pool.ScanLine(0), bytes) != 0) {
    std::printf("WRONG: the copy or the threaded turn differs\n");
    return 1;
  }

  Report("memcpy of the same bytes", megapixels, t_memcpy, t_memcpy);
  Report("quarter turn, 90 degrees, 1 thread", megapixels, t_turn, t_memcpy);
  char label[64];
  std::snprintf(label, sizeof label, "quarter turn, 90 degrees, %d thr.", engine::PictureThreads());
  Report(label, megapixels, t_turn_pool, t_memcpy);
  Report("RotateBitmapScanLine 90 (whole)", megapixels, t_full, t_memcpy);
  std::printf("(whole: on all threads; also allocates and clears the %.1f MB result and frees\n"
              " the source; cpu figures of threaded runs add up every thread)\n",
              bytes / 1e6);
  return 0;
}

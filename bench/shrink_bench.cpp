// Shrinks a 24-megapixel 24-bit picture to 1024 x 768 and compares the
// source throughput with a plain read (a sum of every source byte) of the
// same picture in the same run. Best of several rounds each.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "imaging/Bitmap.h"
#include "imaging/ShrinkBitmap.h"

namespace {

std::uint64_t PlainRead(const img::Bitmap& bmp) {
  const int bytes = bmp.width() * 3;
  std::uint64_t total = 0;
  for (int y = 0; y < bmp.height(); ++y) {
    const std::uint8_t* row = bmp.ScanLine(y);
    std::uint32_t rowSum = 0;
    for (int i = 0; i < bytes; ++i) rowSum += row[i];
    total += rowSum;
  }
  return total;
}

}  // namespace

int main() {
  constexpr int kWidth = 6000, kHeight = 4000, kRounds = 7;
  bench::StartBenchmark();

  img::Bitmap source = bench::MakePhotoLikeBitmap(kWidth, kHeight, 1);
  img::Bitmap dest;
  volatile std::uint64_t sink = 0;

  const double read = bench::BestOf(kRounds, [&] { sink = sink + PlainRead(source); });
  const double shrink = bench::BestOf(kRounds, [&] { img::ShrinkBitmap(source, dest, 1024, 768); });
  sink = sink + dest.ScanLine(384)[1536];

  const double megapixels = static_cast<double>(kWidth) * kHeight / 1e6;
  std::printf("source %dx%d 24-bit (%.1f MP), target 1024x768, best of %d\n", kWidth, kHeight,
              megapixels, kRounds);
  std::printf("plain read : %8.2f ms  %8.1f MP/s\n", read * 1e3, megapixels / read);
  std::printf("shrink     : %8.2f ms  %8.1f MP/s\n", shrink * 1e3, megapixels / shrink);
  std::printf("shrink / plain read speed: %.2f (target at least 0.25)\n", read / shrink);
  return 0;
}

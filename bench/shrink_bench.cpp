// Shrinks a 24-megapixel 24-bit picture to 1024 x 768 and compares the
// source throughput with a plain read (a sum of every source byte) of the
// same picture in the same run. Best of several rounds each.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "imaging/Bitmap.h"
#include "imaging/ShrinkBitmap.h"

namespace {

std::string CpuModel() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("model name", 0) == 0) {
      const std::size_t colon = line.find(':');
      return colon == std::string::npos ? line : line.substr(colon + 2);
    }
  return "unknown";
}

// Smooth gradients with noise on top, like a photograph: nothing flat.
img::Bitmap MakePicture(int width, int height) {
  img::Bitmap bmp(width, height);
  std::uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) & 31);
      row[3 * x] = static_cast<std::uint8_t>(x / 24 + noise);
      row[3 * x + 1] = static_cast<std::uint8_t>(y / 16 + noise);
      row[3 * x + 2] = static_cast<std::uint8_t>((x + y) / 40 + noise);
    }
  }
  return bmp;
}

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

template <typename F>
double BestSeconds(int rounds, F&& work) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (took.count() < best) best = took.count();
  }
  return best;
}

}  // namespace

int main() {
  constexpr int kWidth = 6000, kHeight = 4000, kRounds = 7;
  std::printf("machine: %u cores, %s\n", std::thread::hardware_concurrency(), CpuModel().c_str());

  img::Bitmap source = MakePicture(kWidth, kHeight);
  img::Bitmap dest;
  volatile std::uint64_t sink = 0;

  const double read = BestSeconds(kRounds, [&] { sink = sink + PlainRead(source); });
  const double shrink = BestSeconds(kRounds, [&] { img::ShrinkBitmap(source, dest, 1024, 768); });
  sink = sink + dest.ScanLine(384)[1536];

  const double megapixels = static_cast<double>(kWidth) * kHeight / 1e6;
  std::printf("source %dx%d 24-bit (%.1f MP), target 1024x768, best of %d\n", kWidth, kHeight,
              megapixels, kRounds);
  std::printf("plain read : %8.2f ms  %8.1f MP/s\n", read * 1e3, megapixels / read);
  std::printf("shrink     : %8.2f ms  %8.1f MP/s\n", shrink * 1e3, megapixels / shrink);
  std::printf("shrink / plain read speed: %.2f (target at least 0.25)\n", read / shrink);
  return 0;
}

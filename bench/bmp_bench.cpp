// Loading and saving a 12-megapixel 24-bit BMP against the plain byte moves
// it cannot beat: memcpy of the file's bytes in memory, fwrite of them to a
// file. Prints the best of several runs and the ratio to the baseline.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "imaging/Bitmap.h"
#include "platform/FileIO.h"

namespace {

void Report(const char* what, double seconds, double baseline) {
  std::printf("  %-34s %8.1f ms   x%.2f\n", what, seconds * 1000, seconds / baseline);
}

}  // namespace

int main() {
  bench::StartBenchmark();
  const int width = 4000, height = 3000, runs = 7;

  img::Bitmap picture(width, height);
  for (int y = 0; y < height; ++y)
    for (std::size_t i = 0; i < picture.stride(); ++i)
      picture.ScanLine(y)[i] = static_cast<std::uint8_t>(i * 7 + y);
  const std::vector<std::uint8_t> file = picture.EncodeBmp();
  std::printf("picture: %d x %d, 24 bits, %.1f MB file, best of %d runs\n", width, height,
              file.size() / 1e6, runs);

  // The baseline allocates its copy each time, as a load must: on a fresh
  // buffer the first touch of every page costs more than the copy itself.
  const double memcpy_s = bench::BestOf(runs, [&] {
    std::vector<std::uint8_t> copy(file.size());
    std::memcpy(copy.data(), file.data(), file.size());
  });
  std::vector<std::uint8_t> warm(file.size());
  const double warm_s = bench::BestOf(runs, [&] { std::memcpy(warm.data(), file.data(), file.size()); });
  std::printf("in memory (baseline: memcpy of the file bytes into a new buffer, %.1f ms)\n", memcpy_s * 1000);
  Report("memcpy into a reused buffer", warm_s, memcpy_s);
  img::Bitmap loaded;
  Report("LoadFromMemory", bench::BestOf(runs, [&] { loaded.LoadFromMemory(file); }), memcpy_s);
  Report("EncodeBmp", bench::BestOf(runs, [&] { (void)picture.EncodeBmp(); }), memcpy_s);

  const auto dir = std::filesystem::temp_directory_path();
  const auto plain = dir / "imgconvert-bmp-bench-plain.bmp";
  const auto ours = dir / "imgconvert-bmp-bench.bmp";
  const double fwrite_s = bench::BestOf(runs, [&] {
    std::FILE* f = std::fopen(plain.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  });
  std::printf("files (baseline: fwrite of the file bytes, %.1f ms)\n", fwrite_s * 1000);
  Report("WriteBmp to a file", bench::BestOf(runs, [&] {
           std::FILE* f = std::fopen(ours.c_str(), "wb");
           picture.WriteBmp(f);
           std::fclose(f);
         }), fwrite_s);
  Report("SaveToFile (temporary + rename)", bench::BestOf(runs, [&] { picture.SaveToFile(ours); }), fwrite_s);
  const double fread_s = bench::BestOf(runs, [&] {
    std::vector<std::uint8_t> bytes(file.size());
    std::FILE* f = std::fopen(plain.c_str(), "rb");
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::puts("short read");
    std::fclose(f);
  });
  std::printf("reading (baseline: one fread of the file into a new buffer, %.1f ms)\n", fread_s * 1000);
  Report("ReadWholeFile (the load's own read)", bench::BestOf(runs, [&] { (void)img::ReadWholeFile(plain); }), fread_s);
  Report("LoadFromFile", bench::BestOf(runs, [&] { loaded.LoadFromFile(ours); }), fread_s);

  std::error_code ec;
  std::filesystem::remove(plain, ec);
  std::filesystem::remove(ours, ec);
  return 0;
}

// Writes twelve 10-megapixel photograph-like pictures as PNG files (filter
// None, zlib's default level) three ways in the same run: libpng on one
// stream (the floor), the stream writer on one thread, and the stream writer
// on PictureThreads() threads. Reports ms per picture, each against the libpng
// floor, the parallel writer against the one-thread one, and the sizes.
//
// usage: png_parallel_bench [pictures=12] [width=3648] [height=2736]

#include "BenchSupport.h"
#include "engine/formats/png/PngStreamWriter.h"
#include "engine/threads/PoolParts.h"
#include "engine/threads/WorkerPool.h"
#include "imaging/Bitmap.h"

namespace {

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string text;
  std::getline(in, text);
  return text.empty() ? "unknown" : text;
}

double Milliseconds(const std::function<void()>& work) {
  const auto start = bench::Clock::now();
  work();
  return bench::Seconds(start) * 1000;
}

}  // namespace

int main(int argc, char** argv) {
  const int pictures = argc > 1 ? std::atoi(argv[1]) : 12;
  const int width = argc > 2 ? std::atoi(argv[2]) : 3648;
  const int height = argc > 3 ? std::atoi(argv[3]) : 2736;
  bench::StartBenchmark();
  std::printf("load average at start: %s\n", LoadAverage().c_str());
  std::printf("%d pictures of %d x %d, 24 bits; parallel writer on %d threads\n", pictures, width,
              height, engine::PictureThreads());
  const auto folder = bench::fs::temp_directory_path() / "imgconvert-bench" / "png-parallel";
  bench::fs::create_directories(folder);
  const auto floor_path = folder / "floor.png", single_path = folder / "single.png",
             parallel_path = folder / "parallel.png";

  engine::DeflateSettings one_thread;
  one_thread.threads = 1;
  const engine::PngStreamWriter single(one_thread);
  const engine::PngStreamWriter parallel;
  engine::PoolParts parts;  // the writer alone runs on its caller

  double floor_ms = 0, single_ms = 0, parallel_ms = 0;
  double floor_bytes = 0, single_bytes = 0, parallel_bytes = 0;
  for (int i = 0; i < pictures; ++i) {
    const bench::RawPicture raw = bench::MakePhotoLike(width, height, static_cast<unsigned>(i + 1));
    const img::Bitmap photo = bench::ToBitmap(raw);
    const std::function<void()> runs[3] = {
        [&] { floor_ms += Milliseconds([&] { bench::FloorPngWrite(raw, floor_path); }); },
        [&] { single_ms += Milliseconds([&] { single.Save(photo, single_path); }); },
        [&] { parallel_ms += Milliseconds([&] { parallel.Save(photo, parallel_path, parts); }); }};
    // Turn the order each picture so drift in the machine's load hits every way alike.
    for (int k = 0; k < 3; ++k) runs[(i + k) % 3]();
    floor_bytes += static_cast<double>(bench::fs::file_size(floor_path));
    single_bytes += static_cast<double>(bench::fs::file_size(single_path));
    parallel_bytes += static_cast<double>(bench::fs::file_size(parallel_path));
  }

  const double raw_bytes = 3.0 * width * height * pictures;
  std::printf("libpng, one stream (floor): %8.1f ms/picture  1.000  file %.4f of raw\n",
              floor_ms / pictures, floor_bytes / raw_bytes);
  std::printf("stream writer, one thread:  %8.1f ms/picture  %.3f  size %+.3f%%\n",
              single_ms / pictures, single_ms / floor_ms, 100.0 * (single_bytes / floor_bytes - 1));
  std::printf("stream writer, parallel:    %8.1f ms/picture  %.3f  size %+.3f%%\n",
              parallel_ms / pictures, parallel_ms / floor_ms, 100.0 * (parallel_bytes / floor_bytes - 1));
  std::printf("parallel / one-thread stream writer: %.3f, size %+.3f%%\n", parallel_ms / single_ms,
              100.0 * (parallel_bytes / single_bytes - 1));
  std::printf("load average at end: %s\n", LoadAverage().c_str());
  bench::fs::remove_all(folder);
  return 0;
}

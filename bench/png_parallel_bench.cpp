// Encodes twelve 10-megapixel photograph-like pictures as PNG (filter None,
// zlib's default level) three ways in the same run: libpng's own writer on
// one stream (the reference), the stream writer on one thread, and the
// stream writer on PngThreads() threads. Reports ms per picture, the ratio
// of each against the libpng reference, and the size difference. Encoding
// is to memory; writing the file costs the same for every way.
//
// Usage: png_parallel_bench [pictures] [width] [height]

#include <png.h>

#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/PngStreamWriter.h"
#include "engine/WorkerPool.h"
#include "imaging/Bitmap.h"

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

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string text;
  std::getline(in, text);
  return text.empty() ? "unknown" : text;
}

// Smooth shading from a few slow waves across rows and columns, plus a fine
// grain: compresses like a photograph, neither flat nor noise.
img::Bitmap MakePhoto(int width, int height, unsigned seed) {
  std::vector<int> column(static_cast<std::size_t>(width) * 3), row(static_cast<std::size_t>(height) * 3);
  for (int c = 0; c < 3; ++c) {
    const double phase = seed * 0.7 + c * 1.3;
    for (int x = 0; x < width; ++x)
      column[3 * x + c] = static_cast<int>(60 * std::sin(x * (0.004 + 0.001 * c) + phase) +
                                           25 * std::sin(x * 0.031 + phase * 2));
    for (int y = 0; y < height; ++y)
      row[3 * y + c] = static_cast<int>(60 * std::cos(y * (0.005 + 0.001 * c) + phase) +
                                        20 * std::sin(y * 0.027 + phase));
  }
  img::Bitmap bmp(width, height);
  std::uint32_t state = 2463534242u + seed;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = bmp.ScanLine(y);
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const int v = 128 + column[3 * x + c] + row[3 * y + c] + static_cast<int>(state & 3) - 1;
        out[3 * x + c] = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
      }
  }
  return bmp;
}

bool LibpngWrite(png_structp png, png_infop info, int width, int height, png_bytep* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_bgr(png);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

// libpng writing the 24-bit rows straight (it swaps b, g, r itself).
std::vector<std::uint8_t> EncodeWithLibpng(img::Bitmap& bmp) {
  std::vector<png_bytep> rows(bmp.height());
  for (int y = 0; y < bmp.height(); ++y) rows[y] = bmp.ScanLine(y);
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* sink = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        sink->insert(sink->end(), data, data + length);
      },
      nullptr);
  const bool ok = LibpngWrite(png, info, bmp.width(), bmp.height(), rows.data());
  png_destroy_write_struct(&png, &info);
  if (!ok) {
    std::fprintf(stderr, "libpng failed\n");
    std::exit(1);
  }
  return out;
}

template <typename F>
double Milliseconds(F&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int pictures = argc > 1 ? std::atoi(argv[1]) : 12;
  const int width = argc > 2 ? std::atoi(argv[2]) : 3648;
  const int height = argc > 3 ? std::atoi(argv[3]) : 2736;
  std::printf("machine: %u cores, %s\n", std::thread::hardware_concurrency(), CpuModel().c_str());
  std::printf("load average at start: %s\n", LoadAverage().c_str());
  std::printf("%d pictures of %d x %d, 24 bits; parallel writer on %d threads\n", pictures, width,
              height, engine::PngThreads());

  engine::DeflateSettings one_thread;
  one_thread.threads = 1;
  const engine::PngStreamWriter single(one_thread);
  const engine::PngStreamWriter parallel;

  double libpng_ms = 0, single_ms = 0, parallel_ms = 0;
  double libpng_bytes = 0, single_bytes = 0, parallel_bytes = 0;
  for (int i = 0; i < pictures; ++i) {
    img::Bitmap photo = MakePhoto(width, height, static_cast<unsigned>(i));
    std::vector<std::uint8_t> a, b, c;
    // Alternate the order so drift in the machine's load hits every way alike.
    auto run_libpng = [&] { libpng_ms += Milliseconds([&] { a = EncodeWithLibpng(photo); }); };
    auto run_single = [&] { single_ms += Milliseconds([&] { b = single.Encode(photo); }); };
    auto run_parallel = [&] { parallel_ms += Milliseconds([&] { c = parallel.Encode(photo); }); };
    if (i % 2 == 0) {
      run_libpng();
      run_single();
      run_parallel();
    } else {
      run_parallel();
      run_single();
      run_libpng();
    }
    libpng_bytes += static_cast<double>(a.size());
    single_bytes += static_cast<double>(b.size());
    parallel_bytes += static_cast<double>(c.size());
  }

  const double raw = 3.0 * width * height * pictures;
  std::printf("libpng, one stream:          %8.1f ms/picture  1.000   %.4f of raw\n",
              libpng_ms / pictures, libpng_bytes / raw);
  std::printf("stream writer, one thread:   %8.1f ms/picture  %.3f   size %+.3f%%\n",
              single_ms / pictures, single_ms / libpng_ms, 100.0 * (single_bytes / libpng_bytes - 1));
  std::printf("stream writer, parallel:     %8.1f ms/picture  %.3f   size %+.3f%%\n",
              parallel_ms / pictures, parallel_ms / libpng_ms,
              100.0 * (parallel_bytes / libpng_bytes - 1));
  std::printf("parallel / one-thread stream writer: %.3f\n", parallel_ms / single_ms);
  std::printf("load average at end: %s\n", LoadAverage().c_str());
  return 0;
}

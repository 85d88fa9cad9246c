#pragma once
// Shared pieces of the benchmarks: photograph-like test pictures, the codec
// floor called straight through libjpeg, libpng and stdio, timing and the
// machine's name. Header-only: each benchmark is one executable.

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "imaging/Bitmap.h"
#include "platform/MemoryReuse.h"

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Best of `runs` timings of f, in seconds.
inline double BestOf(int runs, const std::function<void()>& f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto t = Clock::now();
    f();
    best = std::min(best, Seconds(t));
  }
  return best;
}

// Best of `runs` timings of f in CPU seconds of this process: fairer than
// wall time on a machine shared with other work, for single-threaded code.
inline double BestOfCpu(int runs, const std::function<void()>& f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    std::clock_t t = std::clock();
    f();
    best = std::min(best, double(std::clock() - t) / CLOCKS_PER_SEC);
  }
  return best;
}

struct Timing {
  double wall = 1e30;  // seconds
  double cpu = 1e30;   // CPU seconds of the whole process, every thread
};

// Times one run of f into best, keeping the smaller wall and CPU times.
inline void TimeOnce(Timing& best, const std::function<void()>& f) {
  auto t = Clock::now();
  std::clock_t c = std::clock();
  f();
  best.cpu = std::min(best.cpu, double(std::clock() - c) / CLOCKS_PER_SEC);
  best.wall = std::min(best.wall, Seconds(t));
}

// Best wall and best CPU time of `runs` runs of f.
inline Timing BestOfBoth(int runs, const std::function<void()>& f) {
  Timing best;
  for (int i = 0; i < runs; ++i) TimeOnce(best, f);
  return best;
}

inline double LoadAverage() {
  double load = 0;
  std::ifstream("/proc/loadavg") >> load;
  return load;
}

// Sets the process up as the programs set theirs up (freed memory kept for
// reuse), then prints the machine line.
inline void StartBenchmark() {
  img::KeepFreedMemory();
  std::string model = "unknown CPU";
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);)
    if (line.rfind("model name", 0) == 0) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  std::printf("machine: %u cores, %s\n", std::thread::hardware_concurrency(), model.c_str());
}

// A picture that compresses like a photograph: smooth shapes and gradients
// with fine grain, rows of b, g, r.
struct RawPicture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bgr;  // width * 3 per row, no padding
};

inline RawPicture MakePhotoLike(int width, int height, unsigned seed) {
  RawPicture p{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0, 1);
  const double fx1 = 2 + 6 * u(rng), fy1 = 2 + 6 * u(rng), fx2 = 10 + 20 * u(rng), fy2 = 10 + 20 * u(rng);
  const double cx = width * u(rng), cy = height * u(rng), r = std::min(width, height) * (0.2 + 0.2 * u(rng));
  std::uint32_t noise = seed * 2654435761u + 1;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = p.bgr.data() + static_cast<std::size_t>(y) * width * 3;
    const double ny = double(y) / height;
    for (int x = 0; x < width; ++x) {
      const double nx = double(x) / width;
      double base = 110 + 60 * std::sin(fx1 * nx + 0.5 * std::sin(fy1 * ny * 3)) +
                    25 * std::sin(fx2 * nx * ny + fy2 * ny);
      const double dx = x - cx, dy = y - cy;
      if (dx * dx + dy * dy < r * r) base = 0.6 * base + 80;
      noise ^= noise << 13;
      noise ^= noise >> 17;
      noise ^= noise << 5;
      const int grain = static_cast<int>(noise % 13) - 6;
      auto clamp = [](double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); };
      row[3 * x] = clamp(base * 0.8 + 30 * ny + grain);
      row[3 * x + 1] = clamp(base + grain);
      row[3 * x + 2] = clamp(base * 1.1 - 20 * nx + grain);
    }
  }
  return p;
}

// A picture's rows as a 24-bit Bitmap.
inline img::Bitmap ToBitmap(const RawPicture& p) {
  img::Bitmap bmp(p.width, p.height);
  const std::size_t row = static_cast<std::size_t>(p.width) * 3;
  for (int y = 0; y < p.height; ++y) std::memcpy(bmp.ScanLine(y), p.bgr.data() + y * row, row);
  return bmp;
}

// The same picture as a 24-bit Bitmap, for the pixel-operation benchmarks.
inline img::Bitmap MakePhotoLikeBitmap(int width, int height, unsigned seed) {
  return ToBitmap(MakePhotoLike(width, height, seed));
}

// --- The codec floor, straight through the libraries -----------------------

// A plain box average to tw x th (integer box edges), the floor of a shrink.
inline RawPicture FloorBoxShrink(const RawPicture& p, int tw, int th) {
  RawPicture out{tw, th, std::vector<std::uint8_t>(static_cast<std::size_t>(tw) * th * 3)};
  std::vector<int> x0(tw + 1);
  for (int x = 0; x <= tw; ++x) x0[x] = static_cast<int>(static_cast<long long>(x) * p.width / tw);
  std::vector<std::uint32_t> sums(static_cast<std::size_t>(p.width) * 3);
  for (int y = 0; y < th; ++y) {
    const int y0 = static_cast<int>(static_cast<long long>(y) * p.height / th);
    const int y1 = static_cast<int>(static_cast<long long>(y + 1) * p.height / th);
    std::fill(sums.begin(), sums.end(), 0);
    for (int sy = y0; sy < y1; ++sy) {
      const std::uint8_t* row = p.bgr.data() + static_cast<std::size_t>(sy) * p.width * 3;
      for (int i = 0; i < p.width * 3; ++i) sums[i] += row[i];
    }
    std::uint8_t* dst = out.bgr.data() + static_cast<std::size_t>(y) * tw * 3;
    for (int x = 0; x < tw; ++x) {
      std::uint32_t b = 0, g = 0, r = 0;
      for (int sx = x0[x]; sx < x0[x + 1]; ++sx) {
        b += sums[3 * sx];
        g += sums[3 * sx + 1];
        r += sums[3 * sx + 2];
      }
      const std::uint32_t n = static_cast<std::uint32_t>((x0[x + 1] - x0[x]) * (y1 - y0));
      dst[3 * x] = static_cast<std::uint8_t>(b / n);
      dst[3 * x + 1] = static_cast<std::uint8_t>(g / n);
      dst[3 * x + 2] = static_cast<std::uint8_t>(r / n);
    }
  }
  return out;
}

inline std::vector<std::uint8_t> FloorJpegEncode(const RawPicture& p, int quality = 100) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = p.width;
  cinfo.image_height = p.height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<std::uint8_t*>(p.bgr.data()) + static_cast<std::size_t>(cinfo.next_scanline) * p.width * 3;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

inline RawPicture FloorJpegDecode(const std::vector<std::uint8_t>& file) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), file.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  RawPicture p{static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), {}};
  p.bgr.resize(static_cast<std::size_t>(p.width) * p.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = p.bgr.data() + static_cast<std::size_t>(cinfo.output_scanline) * p.width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return p;
}

// A PNG through libpng, handed to out as libpng writes it: row(y) gives row
// y's bytes, asked again in each pass of an interlaced picture; with bgr,
// rows of three or four bytes a pixel are in blue, green, red order. filters:
// PNG_FILTER_NONE on every row, or PNG_ALL_FILTERS, libpng's own default
// choice for each row of 8-bit RGB (with the zlib strategy it takes then).
using ByteSink = std::function<void(const std::uint8_t* bytes, std::size_t size)>;
inline void LibpngEncode(int width, int height, int colour_type, int interlace, int level, bool bgr,
                         const std::function<const std::uint8_t*(int y)>& row, const ByteSink& out,
                         int filters = PNG_FILTER_NONE) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return;
  }
  png_set_write_fn(
      png, const_cast<ByteSink*>(&out),
      [](png_structp p, png_bytep data, png_size_t size) { (*static_cast<ByteSink*>(png_get_io_ptr(p)))(data, size); },
      nullptr);
  png_set_IHDR(png, info, width, height, 8, colour_type, interlace, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, 0, filters);
  png_set_compression_level(png, level);
  png_write_info(png, info);
  if (bgr) png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < height; ++y) png_write_row(png, row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
}

// The same written to path.
inline void LibpngWrite(const fs::path& path, int width, int height, int colour_type, int interlace,
                        int level, bool bgr, const std::function<const std::uint8_t*(int y)>& row,
                        int filters = PNG_FILTER_NONE) {
  FILE* f = std::fopen(path.c_str(), "wb");
  LibpngEncode(width, height, colour_type, interlace, level, bgr, row,
               [f](const std::uint8_t* bytes, std::size_t size) { std::fwrite(bytes, 1, size, f); }, filters);
  std::fclose(f);
}

// zlib's default level, one stream, written to path: filter None on every
// row (the window's PNGs), or libpng's own choice for each (imgbatch's).
inline void FloorPngWrite(const RawPicture& p, const fs::path& path, int filters = PNG_FILTER_NONE) {
  LibpngWrite(path, p.width, p.height, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, Z_DEFAULT_COMPRESSION, true,
              [&p](int y) { return p.bgr.data() + static_cast<std::size_t>(y) * p.width * 3; }, filters);
}

// A 24-bit bottom-up BMP with padded rows.
inline void FloorBmpWrite(const RawPicture& p, const fs::path& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  const std::uint32_t stride = (static_cast<std::uint32_t>(p.width) * 3 + 3) & ~3u;
  const std::uint32_t image = stride * p.height, file = 54 + image;
  std::uint8_t h[54] = {'B', 'M'};
  auto put32 = [&](int at, std::uint32_t v) { std::memcpy(h + at, &v, 4); };
  put32(2, file);
  put32(10, 54);
  put32(14, 40);
  put32(18, p.width);
  put32(22, p.height);
  h[26] = 1;
  h[28] = 24;
  put32(34, image);
  std::fwrite(h, 1, 54, f);
  std::vector<std::uint8_t> row(stride, 0);
  for (int y = p.height - 1; y >= 0; --y) {
    std::memcpy(row.data(), p.bgr.data() + static_cast<std::size_t>(y) * p.width * 3, p.width * 3);
    std::fwrite(row.data(), 1, stride, f);
  }
  std::fclose(f);
}

inline void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A folder of `count` photograph-like JPEG files (quality 92) of width x height.
inline std::vector<fs::path> MakeJpegSet(const fs::path& folder, int count, int width, int height) {
  fs::create_directories(folder);
  std::vector<fs::path> files;
  for (int i = 0; i < count; ++i) {
    fs::path p = folder / ("photo" + std::to_string(i + 1) + ".jpg");
    if (!fs::exists(p)) WriteBytes(p, FloorJpegEncode(MakePhotoLike(width, height, 1000 + i), 92));
    files.push_back(p);
  }
  return files;
}

}  // namespace bench

// imgbatch's PNG rows against libpng's on real photographs (Debian's
// plasma-workspace-wallpapers and lomiri-wallpapers, or the JPEG files of a
// folder given). Each photo is decoded once, then written into memory at the
// same zlib level, in every run, two ways, their order turned each run:
//
//  - libpng with its own default filtering (each row the filter its
//    heuristic picks among all five, PNG_ALL_FILTERS), on one thread;
//  - the stream writer with adaptive rows, as imgbatch writes them, on two
//    threads (or --threads N).
//
// Prints the total bytes of each and their ratio (target <= 1), then the
// median over the runs of each total time and of the runs' time ratios
// (target <= 0.5), beside the process CPU time of each and the CPU time of
// the busiest thread: what a busy neighbour does not stretch. On a machine
// shared with other work the busiest thread's time is the better guess at
// the time on two cores of one's own.
//
// usage: png_filter_bench [FOLDER] [--level N] [--runs N] [--threads N]

#include <map>

#include "BenchSupport.h"
#include "RealPhotos.h"
#include "engine/formats/png/PngStreamWriter.h"
#include "engine/threads/PoolParts.h"

namespace {

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Times {
  double wall = 0;     // seconds
  double cpu = 0;      // CPU seconds of every thread together
  double busiest = 0;  // CPU seconds of the thread that had most
};

// The CPU seconds of each of the process's threads so far, by thread id.
std::map<std::string, double> ThreadCpuSeconds() {
  std::map<std::string, double> seconds;
  std::error_code ec;
  for (const auto& task : bench::fs::directory_iterator("/proc/self/task", ec)) {
    double nanoseconds = 0;
    if (std::ifstream(task.path() / "schedstat") >> nanoseconds)
      seconds[task.path().filename().string()] = nanoseconds / 1e9;
  }
  return seconds;
}

Times Measure(const std::function<void()>& work) {
  const std::map<std::string, double> before = ThreadCpuSeconds();
  const auto wall = bench::Clock::now();
  const std::clock_t cpu = std::clock();
  work();
  Times t{bench::Seconds(wall), double(std::clock() - cpu) / CLOCKS_PER_SEC, 0};
  for (const auto& [id, now] : ThreadCpuSeconds()) {
    const auto then = before.find(id);
    t.busiest = std::max(t.busiest, now - (then == before.end() ? 0 : then->second));
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<bench::fs::path> folders;
  int level = 6, runs = 5, threads = 2;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--level" && i + 1 < argc) level = std::clamp(std::atoi(argv[++i]), 0, 9);
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--threads" && i + 1 < argc) threads = std::max(1, std::atoi(argv[++i]));
    else folders.push_back(a);
  }
  bench::StartBenchmark();
  const std::vector<bench::Photo> photos = bench::NamedOrWallpaperPhotos(folders, 4, 21);
  if (bench::NoPhotos(photos)) return 0;
  double megapixels = 0;
  for (const bench::Photo& p : photos) megapixels += p.megapixels();
  std::printf("job: %zu photographs, %.1f megapixels in all, to PNG at zlib level %d; %d runs; load average %.2f\n",
              photos.size(), megapixels, level, runs, bench::LoadAverage());

  engine::DeflateSettings settings;
  settings.threads = threads;
  settings.level = level;
  const engine::PngStreamWriter writer(settings, nullptr, engine::PngFiltering::Adaptive);
  engine::PoolParts parts(threads);

  std::vector<std::uint8_t> theirs_file, ours_file;
  double theirs_bytes = 0, ours_bytes = 0;
  std::vector<Times> theirs(runs), ours(runs);
  std::printf("%-40s %6s %12s %12s %8s\n", "photo", "MP", "libpng bytes", "ours bytes", "ratio");
  for (const bench::Photo& photo : photos) {
    const bench::RawPicture raw = bench::FloorJpegDecode(bench::ReadBytes(photo.path));
    const img::Bitmap picture = bench::ToBitmap(raw);
    const auto libpng = [&] {
      theirs_file.clear();
      bench::LibpngEncode(
          raw.width, raw.height, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, level, true,
          [&raw](int y) { return raw.bgr.data() + static_cast<std::size_t>(y) * raw.width * 3; },
          [&](const std::uint8_t* bytes, std::size_t size) { theirs_file.insert(theirs_file.end(), bytes, bytes + size); },
          PNG_ALL_FILTERS);
    };
    const auto stream_writer = [&] {
      ours_file.clear();
      writer.Write(picture, parts,
                   [&](std::span<const std::uint8_t> piece) { ours_file.insert(ours_file.end(), piece.begin(), piece.end()); });
    };
    for (int r = 0; r < runs; ++r) {
      const auto add = [](Times& total, const Times& t) {
        total.wall += t.wall;
        total.cpu += t.cpu;
        total.busiest += t.busiest;
      };
      // Each first as often as second, so a drift in the machine's load hits both alike.
      if (r % 2 == 0) {
        add(theirs[r], Measure(libpng));
        add(ours[r], Measure(stream_writer));
      } else {
        add(ours[r], Measure(stream_writer));
        add(theirs[r], Measure(libpng));
      }
    }
    theirs_bytes += static_cast<double>(theirs_file.size());
    ours_bytes += static_cast<double>(ours_file.size());
    std::printf("%-40.40s %6.1f %12zu %12zu %8.4f\n", photo.name().c_str(), photo.megapixels(), theirs_file.size(),
                ours_file.size(), double(ours_file.size()) / double(theirs_file.size()));
  }

  std::vector<double> theirs_wall, ours_wall, wall_ratio, theirs_cpu, ours_cpu, theirs_busiest, ours_busiest,
      busiest_ratio;
  for (int r = 0; r < runs; ++r) {
    theirs_wall.push_back(theirs[r].wall);
    ours_wall.push_back(ours[r].wall);
    wall_ratio.push_back(ours[r].wall / theirs[r].wall);
    theirs_cpu.push_back(theirs[r].cpu);
    ours_cpu.push_back(ours[r].cpu);
    theirs_busiest.push_back(theirs[r].busiest);
    ours_busiest.push_back(ours[r].busiest);
    busiest_ratio.push_back(ours[r].busiest / theirs[r].busiest);
  }
  std::printf("load average at the end %.2f\n", bench::LoadAverage());
  std::printf("%-48s %12s %12s %8s\n", "", "libpng", "ours", "ratio");
  std::printf("%-48s %12.0f %12.0f %8.4f  (target <= 1)\n", "total bytes", theirs_bytes, ours_bytes,
              ours_bytes / theirs_bytes);
  std::printf("%-48s %10.2f s %10.2f s %8.3f  (target <= 0.5; median of the runs' ratios)\n",
              ("time, median of " + std::to_string(runs) + " runs, ours on " + std::to_string(threads) + " threads").c_str(),
              Median(theirs_wall), Median(ours_wall), Median(wall_ratio));
  std::printf("%-48s %10.2f s %10.2f s %8.3f  (all threads' CPU time)\n", "CPU time, median", Median(theirs_cpu),
              Median(ours_cpu), Median(ours_cpu) / Median(theirs_cpu));
  std::printf("%-48s %10.2f s %10.2f s %8.3f  (median of the runs' ratios)\n", "busiest thread's CPU time, median",
              Median(theirs_busiest), Median(ours_busiest), Median(busiest_ratio));
  return 0;
}

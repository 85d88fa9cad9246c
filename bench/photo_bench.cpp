// JPEG photographs to full-size PNG as users meet it: real photographs
// (Debian's plasma-workspace-wallpapers and lomiri-wallpapers, or the JPEG
// files of a folder given), against the codec floor measured in the same run:
// libjpeg's decode and libpng's level-6 write, one thread, its rows filtered
// as the PNGs measured are: libpng's own choice for each row where imgbatch
// writes them (its default), filter None for the window's.
//
//  - one imgbatch process per photo on every core (one picture at a time, as
//    the window converts), with each process's peak resident memory against
//    its decoded picture;
//  - imgbatch -j 1 over the photos, and over the largest alone;
//  - the converter in this process as the window's folder run uses it
//    (JPG + BMP + PNG, one picture at a time on every core) against the floor
//    of the same work;
//  - eight 11585x11585 all-zero RGBA interlaced PNGs (a few hundred KB each,
//    half a gigabyte decoded) through imgbatch --memory 2048 -j 8.
//
// usage: photo_bench IMGBATCH [FOLDER] [--runs N] [--no-bombs] [--list]
// (--list prints the photographs chosen and stops)

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <set>

#include "BenchSupport.h"
#include "RealPhotos.h"
#include "engine/plan/RunPlan.h"
#include "engine/convert/ConversionCallbacks.h"
#include "engine/convert/PictureConverter.h"
#include "engine/threads/WorkerPool.h"
#include "platform/FileIO.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using bench::Photo;

struct Child {
  double seconds = 0;
  double peak_mb = 0;  // the process's peak resident memory
  int status = -1;
};

// Runs a program to its end, its output discarded, and measures it. Called in
// a small process of its own (see RunProgram): a child's peak includes the
// memory of the process that started it, which here stays small.
int MeasureProgram(char** argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Child child;
  const auto start = bench::Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) == 0) {
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) == pid) {
      child.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      child.peak_mb = usage.ru_maxrss / 1024.0;
    }
  }
  child.seconds = bench::Seconds(start);
  posix_spawn_file_actions_destroy(&actions);
  std::printf("%.6f %.3f %d\n", child.seconds, child.peak_mb, child.status);
  return 0;
}

std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

// Runs the program through this benchmark's own measuring mode.
Child RunProgram(const std::vector<std::string>& args) {
  std::string command = Quoted(fs::read_symlink("/proc/self/exe").string());
  command += " --measure";
  for (const std::string& a : args) {
    command += ' ';
    command += Quoted(a);
  }
  Child child;
  if (FILE* p = popen(command.c_str(), "r")) {
    if (std::fscanf(p, "%lf %lf %d", &child.seconds, &child.peak_mb, &child.status) != 3) child.status = -1;
    pclose(p);
  }
  return child;
}

// An all-zero RGBA picture, Adam7-interlaced: a few hundred KB of file that
// decodes to side * side * 4 bytes.
void WriteZeroPngBomb(const fs::path& path, int side) {
  const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(side) * 4, 0);
  bench::LibpngWrite(path, side, side, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_ADAM7, 9, false,
                     [&zeros](int) { return zeros.data(); });
}

double Mb(std::uintmax_t bytes) { return double(bytes) / (1 << 20); }

// imgbatch filters each PNG row as libpng would by default.
constexpr int kImgbatchFilters = PNG_ALL_FILTERS;

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--measure") return MeasureProgram(argv + 2);
  if (argc < 2) {
    std::fprintf(stderr, "usage: photo_bench IMGBATCH [FOLDER] [--runs N] [--no-bombs]\n");
    return 2;
  }
  const std::string imgbatch = fs::absolute(argv[1]).string();
  std::vector<fs::path> folders;
  int runs = 2;
  bool bombs = true, list = false;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--no-bombs") bombs = false;
    else if (a == "--list") list = true;
    else folders.push_back(a);
  }
  bench::StartBenchmark();
  const std::vector<Photo> photos = bench::NamedOrWallpaperPhotos(folders, 4, 21);
  if (list) {
    for (const Photo& p : photos) std::printf("%s\n", p.path.c_str());
    return 0;
  }
  if (bench::NoPhotos(photos)) return 0;
  const Photo& largest = *std::max_element(photos.begin(), photos.end(), [](const Photo& a, const Photo& b) {
    return a.megapixels() < b.megapixels();
  });
  double total_mp = 0;
  for (const Photo& p : photos) total_mp += p.megapixels();
  std::printf("job: %zu photographs, %.1f megapixels in all, JPEG -> full-size PNG; largest %s (%dx%d)\n",
              photos.size(), total_mp, largest.path.filename().c_str(), largest.width, largest.height);

  const fs::path root = fs::temp_directory_path() / "imgconvert-photo-bench";
  const fs::path out = root / "out";
  fs::remove_all(out);
  fs::create_directories(out);

  // Per photo, the floor and one imgbatch process on every core, one right
  // after the other so a busy neighbour slows both alike: best of the runs.
  std::vector<double> floor(photos.size(), 1e30);
  std::vector<Child> single(photos.size(), Child{1e30, 0, 0});
  for (int r = 0; r < runs; ++r)
    for (std::size_t i = 0; i < photos.size(); ++i) {
      floor[i] = std::min(floor[i], bench::BestOf(1, [&] {
        bench::FloorPngWrite(bench::FloorJpegDecode(bench::ReadBytes(photos[i].path)), out / "floor.png", kImgbatchFilters);
      }));
      Child c = RunProgram({imgbatch, "-q", "-f", "png", photos[i].path.string(), "-o", (out / "single").string()});
      if (c.status != 0) std::printf("imgbatch failed on %s (status %d)\n", photos[i].path.c_str(), c.status);
      single[i].seconds = std::min(single[i].seconds, c.seconds);
      single[i].peak_mb = std::max(single[i].peak_mb, c.peak_mb);
    }

  std::vector<std::string> j1_all = {imgbatch, "-q", "-j", "1", "-f", "png"};
  for (const Photo& p : photos) j1_all.push_back(p.path.string());
  j1_all.insert(j1_all.end(), {"-o", (out / "j1").string()});
  double j1 = 1e30, j1_largest = 1e30, floor_largest = 1e30, floor_all = 1e30;
  // Each run's own ratio too: a run's floor and imgbatch share its load.
  double worst_all = 0, worst_largest = 0;
  for (int r = 0; r < runs; ++r) {
    const double floor_run = bench::BestOf(1, [&] {
      for (const Photo& p : photos)
        bench::FloorPngWrite(bench::FloorJpegDecode(bench::ReadBytes(p.path)), out / "floor.png", kImgbatchFilters);
    });
    const double j1_run = RunProgram(j1_all).seconds;
    const double largest_run = RunProgram({imgbatch, "-q", "-j", "1", "-f", "png", largest.path.string(), "-o",
                                           (out / "j1-largest").string()}).seconds;
    const double floor_largest_run = bench::BestOf(1, [&] {
      bench::FloorPngWrite(bench::FloorJpegDecode(bench::ReadBytes(largest.path)), out / "floor.png", kImgbatchFilters);
    });
    floor_all = std::min(floor_all, floor_run);
    j1 = std::min(j1, j1_run);
    j1_largest = std::min(j1_largest, largest_run);
    floor_largest = std::min(floor_largest, floor_largest_run);
    worst_all = std::max(worst_all, j1_run / floor_run);
    worst_largest = std::max(worst_largest, largest_run / floor_largest_run);
  }

  // The window's folder run: JPG + BMP + PNG of each picture, one picture at
  // a time, its parts on every core; the floor does the same work on one.
  engine::ConversionOptions options;
  options.targets.Set("jpeg", false);
  engine::FixedOptionsCallbacks host(options);
  engine::SetPictureThreads(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  engine::PictureConverter converter(host);
  fs::create_directories(out / "window");
  const std::string window_folder = img::PathToUtf8(out / "window") + "/";
  double window_floor = 1e30, window = 1e30;
  for (int r = 0; r < runs; ++r) {
    window_floor = std::min(window_floor, bench::BestOf(1, [&] {
      for (const Photo& p : photos) {
        const bench::RawPicture picture = bench::FloorJpegDecode(bench::ReadBytes(p.path));
        bench::WriteBytes(out / "floor.jpg", bench::FloorJpegEncode(picture));
        bench::FloorBmpWrite(picture, out / "floor.bmp");
        bench::FloorPngWrite(picture, out / "floor.png");
      }
    }));
    window = std::min(window, bench::BestOf(1, [&] {
      for (const Photo& p : photos) engine::ConvertAlone(converter, img::PathToUtf8(p.path), window_folder);
    }));
  }

  double floor_sum = 0, single_sum = 0;
  std::printf("load average %.2f; wall times, best of %d; memory limit = 1.25 x decoded + 20 MB\n",
              bench::LoadAverage(), runs);
  std::printf("%-40s %6s %9s %9s %7s %9s %9s\n", "photo (P: progressive)", "MP", "floor ms", "ours ms", "/floor",
              "peak MB", "limit MB");
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const Photo& p = photos[i];
    floor_sum += floor[i];
    single_sum += single[i].seconds;
    std::printf("%-38.38s %s %6.1f %9.0f %9.0f %7.3f %9.1f %9.1f\n", p.name().c_str(), p.progressive ? "P" : " ",
                p.megapixels(),
                1000 * floor[i], 1000 * single[i].seconds, single[i].seconds / floor[i], single[i].peak_mb,
                1.25 * p.decoded_mb() + 20);
  }
  std::printf("a progressive file also holds libjpeg's coefficients while it decodes: 2 bytes a sample\n");
  auto row = [](const char* name, double ours, double base, const char* target) {
    std::printf("%-58s %8.2f s %8.2f s %7.3f  %s\n", name, ours, base, ours / base, target);
  };
  std::printf("%-58s %10s %10s %7s\n", "", "ours", "floor", "/floor");
  row("one imgbatch process per photo, every core", single_sum, floor_sum, "(target <= 0.6)");
  row("imgbatch -j 1, all photos", j1, floor_all, "(target <= 1.03)");
  row("imgbatch -j 1, the largest photo", j1_largest, floor_largest, "(target <= 1.03)");
  std::printf("imgbatch -j 1, the worst of the %d runs against its own floor: all photos %.3f, the largest %.3f\n",
              runs, worst_all, worst_largest);
  row("converter as the window runs it: JPG+BMP+PNG", window, window_floor, "(target <= 0.6)");

  if (bombs) {
    const int side = 11585;
    const fs::path bomb_folder = root / "bombs";
    fs::create_directories(bomb_folder);
    const fs::path first = bomb_folder / "bomb1.png";
    if (!fs::exists(first)) WriteZeroPngBomb(first, side);
    for (int i = 2; i <= 8; ++i) {
      const fs::path copy = bomb_folder / ("bomb" + std::to_string(i) + ".png");
      if (!fs::exists(copy)) fs::copy_file(first, copy);
    }
    const fs::path bomb_out = out / "bombs";
    const Child c = RunProgram({imgbatch, "-q", "--memory", "2048", "-j", "8", "-f", "png",
                                bomb_folder.string(), "-o", bomb_out.string()});
    int written = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(bomb_out, ec)) written += entry.path().extension() == ".png";
    std::printf("eight %dx%d all-zero RGBA interlaced PNGs (%.1f MB each), --memory 2048 -j 8:\n"
                "  exit %d, %d of 8 converted, %.1f s, peak resident %.0f MB (target <= 2560 MB)\n",
                side, side, Mb(fs::file_size(first)), c.status, written, c.seconds, c.peak_mb);
  }
  fs::remove_all(out);
  return 0;
}

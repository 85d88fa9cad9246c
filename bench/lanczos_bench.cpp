// Real photographs (Debian's plasma-workspace-wallpapers and
// lomiri-wallpapers, or the JPEG files of a folder given) shrunk into a box
// (default 1920) and written as JPEG at quality 85: imgbatch with its
// default Lanczos-3 in linear light and with the window's exact shrink,
// against vipsthumbnail and vipsthumbnail --linear when installed, each on
// the whole folder in one process with every core. The floor is the codec
// work on one thread: libjpeg-turbo's decode and encode around a box
// shrink. Then the resize's exactness: the engine's Lanczos-3 on a few of
// the photos against a float64 linear-light Lanczos-3 of the same size,
// also from the smaller decode imgbatch starts from when the box allows it.
//
// usage: lanczos_bench IMGBATCH [FOLDER] [--size N] [--count N] [--runs N]

#include <sys/resource.h>
#include <sys/wait.h>

#include <cmath>

#include "BenchSupport.h"
#include "RealPhotos.h"
#include "ReferenceResize.h"
#include "engine/convert/ResizeRules.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "imaging/LinearLightResize.h"

namespace {

namespace fs = std::filesystem;
using bench::Photo;

// The text in single quotes, for the shell.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  quoted += text;
  quoted += '\'';
  return quoted;
}

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double ChildCpu() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Best wall and CPU time of a command over runs, its output folder emptied first.
bench::Timing TimeCommand(int runs, const fs::path& out, const std::string& command) {
  bench::Timing best;
  for (int i = 0; i < runs; ++i) {
    fs::remove_all(out);
    fs::create_directories(out);
    const double cpu = ChildCpu();
    const auto start = bench::Clock::now();
    if (Shell(command) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    best.wall = std::min(best.wall, bench::Seconds(start));
    best.cpu = std::min(best.cpu, ChildCpu() - cpu);
  }
  return best;
}

// The fit box's size for a photo, as imgbatch's --fit gives it.
engine::TargetSize FitSize(int width, int height, int box) {
  engine::Resize resize;
  resize.to = engine::FitInBox{box, box};
  return engine::PlanResize(width, height, resize).size;
}

// Lanczos-3 in linear light in double, one side after the other (the
// kernel is separable, so this is the direct sum), edges repeated.
img::Bitmap ReferenceLanczos(const img::Bitmap& source, int width, int height) {
  const img::ResizeKernel kernel = img::ResizeKernel::Lanczos3;
  double light[256];
  for (int v = 0; v < 256; ++v) light[v] = testsupport::SrgbToLinear(v);
  const int inW = source.width(), inH = source.height();
  std::vector<std::vector<std::pair<int, double>>> across(width), down(height);
  for (int x = 0; x < width; ++x) across[x] = testsupport::LineWeights(kernel, inW, width, x);
  for (int y = 0; y < height; ++y) down[y] = testsupport::LineWeights(kernel, inH, height, y);
  std::vector<double> rows(static_cast<std::size_t>(inH) * width * 3);
  for (int y = 0; y < inH; ++y) {
    const std::uint8_t* p = source.ScanLine(y);
    double* r = &rows[static_cast<std::size_t>(y) * width * 3];
    for (int x = 0; x < width; ++x)
      for (const auto& [i, w] : across[x])
        for (int c = 0; c < 3; ++c) r[3 * x + c] += w * light[p[3 * i + c]];
  }
  img::Bitmap result(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 3 * width; ++x) {
      double l = 0;
      for (const auto& [row, w] : down[y]) l += w * rows[static_cast<std::size_t>(row) * width * 3 + x];
      l = std::clamp(l, 0.0, 1.0);
      result.ScanLine(y)[x] = static_cast<std::uint8_t>(
          std::lround(255 * (l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055)));
    }
  return result;
}

double Psnr(const img::Bitmap& a, const img::Bitmap& b) {
  double squares = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < 3 * a.width(); ++x) {
      const double d = double(a.ScanLine(y)[x]) - b.ScanLine(y)[x];
      squares += d * d;
    }
  const double mse = squares / (3.0 * a.width() * a.height());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: lanczos_bench IMGBATCH [FOLDER] [--size N] [--count N] [--runs N]\n");
    return 2;
  }
  const std::string imgbatch = fs::absolute(argv[1]).string();
  std::vector<fs::path> folders;
  int box = 1920, runs = 2;
  std::size_t count = 100;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--size" && i + 1 < argc) box = std::max(1, std::atoi(argv[++i]));
    else if (a == "--count" && i + 1 < argc) count = static_cast<std::size_t>(std::max(1, std::atoi(argv[++i])));
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else folders.push_back(a);
  }
  if (folders.empty()) folders = bench::kWallpaperFolders;
  bench::StartBenchmark();
  const std::vector<Photo> photos = bench::FindPhotos(folders, 0.5, 60, count);
  if (bench::NoPhotos(photos)) return 0;
  const fs::path root = fs::temp_directory_path() / "imgconvert-lanczos-bench";
  fs::remove_all(root);
  fs::create_directories(root / "src");
  double megapixels = 0;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    std::string name = std::to_string(1000 + i);
    name += ".jpg";
    fs::copy_file(photos[i].path, root / "src" / name);
    megapixels += photos[i].megapixels();
  }
  std::printf("%zu photographs, %.1f MP in all, into %dx%d as JPEG q85, best of %d, load %.1f\n", photos.size(),
              megapixels, box, box, runs, bench::LoadAverage());

  // The floor: decode, box shrink and encode straight through libjpeg-turbo.
  std::vector<std::vector<std::uint8_t>> files;
  for (const Photo& p : photos) files.push_back(bench::ReadBytes(p.path));
  const double floor = bench::BestOfCpu(runs, [&] {
    for (const auto& file : files) {
      const bench::RawPicture picture = bench::FloorJpegDecode(file);
      const engine::TargetSize size = FitSize(picture.width, picture.height, box);
      (void)bench::FloorJpegEncode(bench::FloorBoxShrink(picture, size.width, size.height), 85);
    }
  });
  const std::string out = (root / "out").string();
  std::string job = Quoted(imgbatch);
  job += " " + Quoted((root / "src").string()) + " -o " + Quoted(out);
  job += " -f jpg --quality 85 -q --fit " + std::to_string(box);
  struct Row {
    const char* name;
    bench::Timing time;
  };
  std::vector<Row> rows{{"imgbatch (Lanczos-3, linear light)", TimeCommand(runs, out, job)},
                        {"imgbatch --filter exact", TimeCommand(runs, out, job + " --filter exact")}};
  if (Shell("command -v vipsthumbnail >/dev/null 2>&1") == 0) {
    std::string vips = "vipsthumbnail " + Quoted((root / "src").string());
    vips += "/*.jpg -s " + std::to_string(box) + " -o " + Quoted(out + "/%s.jpg[Q=85]");
    rows.push_back({"vipsthumbnail", TimeCommand(runs, out, vips)});
    rows.push_back({"vipsthumbnail --linear", TimeCommand(runs, out, vips + " --linear")});
  }
  std::printf("%-38s %9s %9s %9s %12s\n", "", "wall s", "CPU s", "ms/photo", "CPU / floor");
  std::printf("%-38s %9s %9.2f %9.1f %12.2f\n", "floor (libjpeg-turbo, box, 1 thread)", "", floor,
              1e3 * floor / photos.size(), 1.0);
  for (const Row& r : rows)
    std::printf("%-38s %9.2f %9.2f %9.1f %12.2f\n", r.name, r.time.wall, r.time.cpu,
                1e3 * r.time.wall / photos.size(), r.time.cpu / floor);
  if (rows.size() == 4)
    std::printf("imgbatch / vipsthumbnail: wall %.2f, CPU %.2f (goal at most 0.8); / --linear: wall %.2f, CPU %.2f "
                "(goal at most 0.35)\n",
                rows[0].time.wall / rows[2].time.wall, rows[0].time.cpu / rows[2].time.cpu,
                rows[0].time.wall / rows[3].time.wall, rows[0].time.cpu / rows[3].time.cpu);

  // Exactness on a few photographs spread over the sizes.
  std::printf("\nLanczos-3 against a float64 linear-light reference of the same size (goal 50 dB or more):\n");
  const std::size_t checked = std::min<std::size_t>(4, photos.size());
  for (std::size_t i = 0; i < checked; ++i) {
    const Photo& p = photos[i * (photos.size() - 1) / std::max<std::size_t>(1, checked - 1)];
    img::Bitmap source;
    engine::JpegImage().Load(p.path, source);
    const engine::TargetSize size = FitSize(source.width(), source.height(), box);
    if (size.width == source.width() && size.height == source.height()) continue;
    img::Bitmap copy = source, resized;
    const double took = bench::BestOfCpu(1, [&] {
      img::ResizeLinearLight(copy, resized, size.width, size.height, img::ResizeKernel::Lanczos3);
    });
    const img::Bitmap reference = ReferenceLanczos(source, size.width, size.height);
    std::printf("  %-44s %5dx%-5d -> %4dx%-4d %6.2f dB  resize %.0f ms", p.name().c_str(), source.width(),
                source.height(), size.width, size.height, Psnr(resized, reference), took * 1e3);
    // As imgbatch makes it: from the DCT-scaled decode LoadFit allows.
    engine::Resize fit;
    fit.to = engine::FitInBox{box, box};
    fit.filter = engine::ResizeFilter::Lanczos;
    const engine::TargetSize least = engine::LoadFit(source.width(), source.height(), false, fit);
    int denom = 1;
    for (int d : {8, 4, 2})
      if (denom == 1 && least.width > 0 && (source.width() + d - 1) / d >= least.width &&
          (source.height() + d - 1) / d >= least.height)
        denom = d;
    if (denom > 1) {
      img::Bitmap smaller;
      engine::JpegImage().Load(p.path, smaller, denom);
      img::ResizeLinearLight(smaller, resized, size.width, size.height, img::ResizeKernel::Lanczos3);
      std::printf("; decoded at 1/%d first: %.2f dB", denom, Psnr(resized, reference));
    }
    std::printf("\n");
  }
  fs::remove_all(root);
  return 0;
}

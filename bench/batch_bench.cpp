// The shrinking job JPEG -> shrink to 1024x768 -> JPG + PNG, five ways in one
// run: the codec floor (libjpeg decode, a box shrink, a JPEG encode and a
// libpng/zlib level-6 encode, called directly), the converter in this
// process, imgbatch -j 1, imgbatch on every core, and ImageMagick's convert
// with one thread when it is installed (a benchmark-only peer).
//
// usage: batch_bench IMGBATCH [pictures=12] [width=3648] [height=2736] [runs=2]

#include <sys/wait.h>

#include "BenchSupport.h"
#include "engine/plan/RunPlan.h"
#include "engine/convert/ConversionCallbacks.h"
#include "engine/convert/PictureConverter.h"
#include "engine/threads/WorkerPool.h"
#include "platform/FileIO.h"

namespace {

int Shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: batch_bench IMGBATCH [pictures] [width] [height] [runs]\n");
    return 2;
  }
  const std::string imgbatch = argv[1];
  const int count = argc > 2 ? std::atoi(argv[2]) : 12;
  const int width = argc > 3 ? std::atoi(argv[3]) : 3648;
  const int height = argc > 4 ? std::atoi(argv[4]) : 2736;
  const int runs = argc > 5 ? std::atoi(argv[5]) : 2;
  bench::StartBenchmark();
  const auto root = std::filesystem::temp_directory_path() / "imgconvert-bench";
  const auto set = root / ("set-" + std::to_string(width) + "x" + std::to_string(height));
  std::printf("job: %d photograph-like %dx%d JPEG files -> 1024x768 -> JPG + PNG\n", count, width, height);
  const auto files = bench::MakeJpegSet(set, count, width, height);
  const auto out = root / "batch-out";
  std::filesystem::remove_all(out);
  std::filesystem::create_directories(out);

  const bench::Timing floor = bench::BestOfBoth(runs, [&] {
    for (const auto& f : files) {
      bench::RawPicture p = bench::FloorBoxShrink(bench::FloorJpegDecode(bench::ReadBytes(f)), 1024, 768);
      bench::WriteBytes(out / "floor.jpg", bench::FloorJpegEncode(p));
      bench::FloorPngWrite(p, out / "floor.png");
    }
  });

  engine::ConversionOptions options;
  options.targets = engine::FormatTicks::Named({"jpg", "png"});
  options.resize.to = engine::SizeBoxes{1024, 768};
  engine::FixedOptionsCallbacks host(options);
  engine::PictureConverter converter(host);
  engine::SetPictureThreads(1);  // one thread, as the floor
  const std::string out_folder = img::PathToUtf8(out) + "/";
  const bench::Timing in_process = bench::BestOfBoth(runs, [&] {
    for (const auto& f : files) engine::ConvertAlone(converter, img::PathToUtf8(f), out_folder);
  });

  // Unfiltered PNG rows, as the floor, the converter and ImageMagick here write them.
  const std::string job = "'" + imgbatch + "' -q -f jpg,png --png-filter none --width 1024 --height 768 '" + set.string() +
                          "' -o '" + out.string() + "' >/dev/null";
  const double j1 = bench::BestOf(runs, [&] { Shell(job + " -j 1"); });
  const double jall = bench::BestOf(runs, [&] { Shell(job); });

  double magick = 0;
  if (Shell("command -v convert >/dev/null 2>&1") == 0) {
    // One decode per picture, as ours: -write the JPEG, then the PNG.
    const auto script = root / "magick-job.sh";
    std::ofstream(script) << "export MAGICK_THREAD_LIMIT=1\n"
                          << "for f in '" << set.string() << "'/*.jpg; do\n"
                          << "  b=$(basename \"$f\" .jpg)\n"
                          << "  convert \"$f\" -resize '1024x768!' -quality 100 -write '" << out.string()
                          << "'/m-$b.jpg -define png:compression-filter=0 -define png:compression-level=6 '"
                          << out.string() << "'/m-$b.png\n"
                          << "done\n";
    magick = bench::BestOf(runs, [&] { Shell("bash '" + script.string() + "'"); });
  }

  const double n = count;
  std::printf("load average %.2f; wall time unless marked, floor = the floor's wall time\n",
              bench::LoadAverage());
  std::printf("%-48s %9s %9s\n", "", "ms/pic", "/floor");
  auto row = [&](const char* name, double t) {
    std::printf("%-48s %9.1f %9.3f\n", name, 1000 * t / n, t / floor.wall);
  };
  row("codec floor (decode+shrink+JPEG+PNG)", floor.wall);
  row("codec floor, CPU time", floor.cpu);
  row("converter in process (one thread)", in_process.wall);
  row("converter in process, CPU time", in_process.cpu);
  row("imgbatch -j 1", j1);
  row("imgbatch -j all cores", jall);
  if (magick > 0) row("ImageMagick convert, 1 thread", magick);
  std::printf("imgbatch -j1 vs ImageMagick: %.2fx faster (target >= 1.6)\n", magick > 0 ? magick / j1 : 0.0);
  std::printf("imgbatch -j all vs -j 1:     %.2fx faster (target >= 1.8 on 2 cores)\n", j1 / jall);
  return 0;
}

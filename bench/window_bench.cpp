// The window's folder run as a user starts it: the real main window on the
// offscreen platform, a click on its folder button, JPG + BMP + PNG of each
// of twelve real photographs (Debian's plasma-workspace-wallpapers and
// lomiri-wallpapers, or the JPEG files of a folder given), no resize,
// against the codec floor of the same work measured in the same run:
// libjpeg's decode and encode, a plain BMP write and libpng's level-6 write
// with filter None, one thread, each photograph's three files under names
// of their own in a folder emptied first, as the run writes them.
//
// Where the rest goes: the run's CPU seconds (every thread of the process,
// the window's included) against the floor's say how much more work the run
// did, and over its wall time how many cores it kept busy; the floor's work
// dealt to two threads at once says what two threads of the same libraries
// can reach on this machine.
//
// While the run works, a 5 ms timer on the window's thread records how late
// it fires: the longest gap between two of its events is the longest the
// window was deaf to the user.
//
// usage: window_bench [FOLDER] [--runs N]

#include <ctime>
#include <numeric>
#include <thread>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QToolButton>

#include "BenchSupport.h"
#include "RealPhotos.h"
#include "platform/FileIO.h"
#include "ui/TMainForm.h"

namespace {

namespace fs = std::filesystem;

struct RunFigures {
  double seconds = 0;
  double cpu_seconds = 0;
  double longest_gap_ms = 0;
};

// One folder run, from the click to the end the window takes.
RunFigures FolderRun(ui::TMainForm& form) {
  fs::remove_all(fs::path(form.findChild<QLineEdit*>("EdtOutput")->text().toStdString()));
  QElapsedTimer gaps;
  double longest = 0;
  QTimer ticker;
  ticker.setInterval(5);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longest = std::max(longest, static_cast<double>(gaps.nsecsElapsed()) / 1e6);
    gaps.restart();
  });
  const auto start = bench::Clock::now();
  const std::clock_t cpu = std::clock();
  gaps.start();
  ticker.start();
  form.findChild<QToolButton*>("BtnDirImgConvert")->click();
  QEventLoop loop;
  QTimer ended;
  QObject::connect(&ended, &QTimer::timeout, [&] {
    if (!form.RunUnderWay()) loop.quit();
  });
  ended.start(10);
  loop.exec();
  RunFigures figures{bench::Seconds(start), double(std::clock() - cpu) / CLOCKS_PER_SEC, 0};

  ticker.stop();
  figures.longest_gap_ms = longest;
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  bench::StartBenchmark();
  int runs = 3;
  std::vector<fs::path> folders;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else
      folders.push_back(a);
  }
  if (folders.empty()) folders = bench::kWallpaperFolders;
  const std::vector<bench::Photo> photos = bench::FindPhotos(folders, 4, 21, 12);
  if (bench::NoPhotos(photos)) return 1;

  const fs::path root = fs::temp_directory_path() / "imgconvert-window-bench";
  fs::remove_all(root);
  const fs::path source = root / "source", output = root / "output", floor = root / "floor";
  for (const fs::path& folder : {source, output, floor, root / "program"}) fs::create_directories(folder);
  double megapixels = 0;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    fs::copy_file(photos[i].path, source / ("photo" + std::to_string(i) + ".jpg"));
    megapixels += photos[i].megapixels();
  }

  ui::TMainForm form(nullptr, root / "program");
  form.TimerFirstRun()->stop();
  for (const char* box : {"CbJPG", "CBBMP", "CbPNG"}) form.findChild<QCheckBox*>(box)->setChecked(true);
  for (const char* box : {"CBJPEG", "CbPreviewSourceImg", "CbTargetImgPreview"})
    form.findChild<QCheckBox*>(box)->setChecked(false);
  form.SetZoomTypeItemIndex(0);
  form.findChild<QListWidget*>("LbRoateType")->setCurrentRow(0);
  form.findChild<QLineEdit*>("EdtPath")->setText(QString::fromStdString(img::PathToUtf8(source)));
  form.findChild<QLineEdit*>("EdtOutput")->setText(QString::fromStdString(img::PathToUtf8(output)));
  form.RefreshSourceList();
  form.RefreshTargetList();
  form.resize(1022, 732);
  form.show();

  std::printf("%zu photographs, %.1f megapixels in all, the largest %.1f; load average %.2f\n", photos.size(),
              megapixels, photos.back().megapixels(), bench::LoadAverage());
  std::printf("%5s %10s %10s %8s %12s %12s %14s %12s %16s\n", "run", "window s", "floor s", "/floor",
              "work/floor", "cores busy", "2 floors/floor", "their work", "longest gap ms");
  // Every photograph, and the same dealt to two threads by size, largest
  // first, each to the thread with fewer megapixels so far.
  std::vector<std::size_t> all(photos.size());
  std::iota(all.begin(), all.end(), std::size_t{0});
  std::vector<std::size_t> halves[2];
  double half_megapixels[2] = {0, 0};
  for (std::size_t k = photos.size(); k-- > 0;) {
    const int lighter = half_megapixels[0] <= half_megapixels[1] ? 0 : 1;
    halves[lighter].push_back(k);
    half_megapixels[lighter] += photos[k].megapixels();
  }
  double best_ratio = 1e30, worst_ratio = 0, worst_gap = 0;
  for (int r = 0; r < runs; ++r) {
    // The floor of the photographs named.
    auto floorWork = [&](const std::vector<std::size_t>& which) {
      for (std::size_t i : which) {
        const bench::RawPicture picture = bench::FloorJpegDecode(bench::ReadBytes(photos[i].path));
        const std::string name = "photo" + std::to_string(i);
        bench::WriteBytes(floor / (name + ".jpg"), bench::FloorJpegEncode(picture));
        bench::FloorBmpWrite(picture, floor / (name + ".bmp"));
        bench::FloorPngWrite(picture, floor / (name + ".png"));
      }
    };
    // The floor right before the window's run, so a busy neighbour slows both alike.
    fs::remove_all(floor);
    fs::create_directories(floor);
    const double floor_seconds = bench::BestOf(1, [&] { floorWork(all); });
    // The same work dealt to two threads: what this machine gives two
    // threads at once (shared caches, memory, the host's cores), the best
    // a two-thread run of the same libraries could do.
    fs::remove_all(floor);
    fs::create_directories(floor);
    const std::clock_t two_floors_cpu = std::clock();
    const double two_floors_seconds = bench::BestOf(1, [&] {
      std::thread other([&] { floorWork(halves[1]); });
      floorWork(halves[0]);
      other.join();
    });
    const double two_floors_work = double(std::clock() - two_floors_cpu) / CLOCKS_PER_SEC / floor_seconds;
    const RunFigures window = FolderRun(form);
    const double ratio = window.seconds / floor_seconds;
    best_ratio = std::min(best_ratio, ratio);
    worst_ratio = std::max(worst_ratio, ratio);
    worst_gap = std::max(worst_gap, window.longest_gap_ms);
    std::printf("%5d %10.2f %10.2f %8.3f %12.3f %12.2f %14.3f %12.3f %16.1f\n", r + 1, window.seconds,
                floor_seconds, ratio, window.cpu_seconds / floor_seconds, window.cpu_seconds / window.seconds,
                two_floors_seconds / floor_seconds, two_floors_work, window.longest_gap_ms);
  }
  std::printf("/floor best %.3f, worst %.3f (target <= 0.50 on two cores); longest gap %.1f ms (target < 50)\n",
              best_ratio, worst_ratio, worst_gap);
  fs::remove_all(root);
  return 0;
}

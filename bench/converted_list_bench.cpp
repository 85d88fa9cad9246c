// The converted list of a large folder run: the real main window on the
// offscreen platform is told of each target written as a run tells it
// (TargetWritten from a worker thread), 25,000 pictures in four formats by
// default, at a steady pace. The list grows by one name per target; a name
// written twice (a rerun) is not added again.
//
// Figures: how long after the last target the list holds them all (the
// time it lags once the run has written everything), the CPU time of the
// window's thread meanwhile, and the longest gap between two
// events of a 5 ms timer on that thread (how long it was deaf to the user).
// Against the floor of the same names appended straight to a bare list widget.
//
// usage: converted_list_bench [--targets N] [--rate TARGETS_PER_SECOND] [--runs N]

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "platform/FileIO.h"
#include "ui/TMainForm.h"

namespace {

namespace fs = std::filesystem;

struct ListFigures {
  double seconds = 0;      // first target to the list holding all of them
  double lag_seconds = 0;  // last target told to the list holding all of them
  double longest_gap_ms = 0;
  double window_cpu_seconds = 0;  // on the window's thread, the whole time
};

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::vector<std::string> TargetPaths(const fs::path& folder, int count) {
  static const char* const kExtensions[] = {".jpg", ".png", ".bmp", ".jpeg"};
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(count));
  const std::string prefix = img::PathToUtf8(folder / "photo");
  for (int i = 0; i < count; ++i) paths.push_back(prefix + std::to_string(i / 4) + kExtensions[i % 4]);
  return paths;
}

// Tells the window of every path from a worker thread, rate per second,
// and waits on the window's thread until its list holds them all.
ListFigures TellWindow(ui::TMainForm& form, const std::vector<std::string>& paths, int expected, double rate) {
  QListWidget* list = form.findChild<QListWidget*>("LbTarget");
  list->clear();
  QElapsedTimer gaps;
  double longest = 0;
  QTimer ticker;
  ticker.setInterval(5);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longest = std::max(longest, static_cast<double>(gaps.nsecsElapsed()) / 1e6);
    gaps.restart();
  });
  bench::Clock::time_point last_told;
  QEventLoop loop;
  // Once every target is told: until every name is in the list (a name
  // told twice is listed once).
  QTimer done;
  done.setInterval(1);
  QObject::connect(&done, &QTimer::timeout, [&] {
    if (list->count() == expected) loop.quit();
  });
  const double cpu_start = ThreadCpuSeconds();
  const auto start = bench::Clock::now();
  gaps.start();
  ticker.start();
  std::thread run([&] {
    // Bursts of 1 ms, as a run's workers finish pictures.
    const double per_ms = rate / 1000.0;
    double due = 0;
    std::size_t next = 0;
    for (int ms = 1; next < paths.size(); ++ms) {
      due += per_ms;
      for (; next < paths.size() && next < static_cast<std::size_t>(due); ++next) form.TargetWritten(paths[next]);
      std::this_thread::sleep_until(start + std::chrono::milliseconds(ms));
    }
    last_told = bench::Clock::now();
    QMetaObject::invokeMethod(&done, qOverload<>(&QTimer::start), Qt::QueuedConnection);
  });
  loop.exec();
  ListFigures figures;
  figures.seconds = bench::Seconds(start);
  figures.lag_seconds = bench::Seconds(last_told);
  figures.window_cpu_seconds = ThreadCpuSeconds() - cpu_start;
  ticker.stop();
  run.join();
  figures.longest_gap_ms = longest;
  return figures;
}

// The same names appended to a bare, shown list widget in one go.
double FloorSeconds(const std::vector<std::string>& paths, int expected) {
  QListWidget list;
  list.resize(300, 400);
  list.show();
  const auto start = bench::Clock::now();
  for (int i = 0; i < expected; ++i)
    list.addItem(QString::fromStdString(img::PathToUtf8(fs::path(paths[static_cast<std::size_t>(i)]).filename())));
  QApplication::processEvents();
  return bench::Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  bench::StartBenchmark();
  int targets = 100000, runs = 1;
  // About the pace of a folder run of small pictures on two cores.
  double rate = 1000;
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--targets")
      targets = std::max(1, std::atoi(argv[++i]));
    else if (a == "--rate")
      rate = std::max(1.0, std::atof(argv[++i]));
    else if (a == "--runs")
      runs = std::max(1, std::atoi(argv[++i]));
  }

  const fs::path root = fs::temp_directory_path() / "imgconvert-converted-list-bench";
  fs::remove_all(root);
  const fs::path source = root / "source", output = root / "output";
  for (const fs::path& folder : {source, output, root / "program"}) fs::create_directories(folder);
  ui::TMainForm form(nullptr, root / "program");
  form.TimerFirstRun()->stop();
  form.findChild<QLineEdit*>("EdtPath")->setText(QString::fromStdString(img::PathToUtf8(source)));
  form.findChild<QLineEdit*>("EdtOutput")->setText(QString::fromStdString(img::PathToUtf8(output)));
  form.RefreshSourceList();
  form.RefreshTargetList();
  form.resize(1022, 732);
  form.show();

  // Every target once and, halfway, a tenth of them again as a second run
  // into the folder writes them: those must find their names listed already.
  std::vector<std::string> paths = TargetPaths(output, targets);
  const std::vector<std::string> again(paths.begin(), paths.begin() + targets / 10);
  paths.insert(paths.begin() + targets / 2, again.begin(), again.end());

  std::printf("%d targets (%zu told, %d per second); load average %.2f\n", targets, paths.size(),
              static_cast<int>(rate), bench::LoadAverage());
  std::printf("%5s %10s %10s %14s %16s %10s\n", "run", "window s", "lag s", "window CPU s", "longest gap ms",
              "floor s");
  for (int r = 0; r < runs; ++r) {
    const double floor_seconds = FloorSeconds(paths, targets);
    const ListFigures window = TellWindow(form, paths, targets, rate);
    std::printf("%5d %10.2f %10.2f %14.2f %16.1f %10.2f\n", r + 1, window.seconds, window.lag_seconds,
                window.window_cpu_seconds, window.longest_gap_ms, floor_seconds);
  }
  std::printf("lag: from the last target told to the list holding them all (a run's end brings the list up to\n"
              "date at once; here its next batch is waited for); window CPU: the window's thread, first target to\n"
              "last listed (target: a few seconds at most for 100,000 targets); floor: the same names appended\n"
              "to a bare list widget in one go\n");
  fs::remove_all(root);
  return 0;
}

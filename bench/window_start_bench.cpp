// The window's start-up and close with settings files of several sizes: the
// real main window on the offscreen platform, from its creation to the hint
// of its first-run step (every key read), then its close (every key
// written). Each file is tried in a process of its own, so that its peak
// memory is its own. Against the floor of the window with no settings file.
//
// usage: window_start_bench [--runs N]

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchSupport.h"
#include "platform/FileIO.h"
#include "ui/TMainForm.h"

namespace {

namespace fs = std::filesystem;

struct SettingsCase {
  const char* name;
  std::string bytes;  // nothing for no file at all
  bool file = true;
};

std::string BlankLines(std::size_t bytes) {
  std::string text = "[default]\n";
  text.resize(bytes, '\n');
  return text;
}

// The file the window writes itself, its folders long ones.
std::string Typical() {
  const std::string folder = "/home/someone/" + std::string(200, 'p') + "/";
  return "[default]\nedtwidth=1024\nedtheight=768\nZoomPeiW=1\nZoomPeiH=1\nCbJPG=1\nCbPNG=1\nCBBMP=1\n"
         "CBJPEG=1\nCBGIF=0\nCBICO=0\nCBEMF=0\nCBWMF=0\nCBPCX=0\nCBTIFF=0\nfr=0\nSourcePath=" +
         folder + "source/\nTargetPath=" + folder + "target/\n[ImgConvert]\nLbDocListInd=0\nLbTargetInd=-1\n";
}

// One start and close in this process: "start-seconds close-seconds peak-KiB".
int RunOne(int argc, char** argv, const fs::path& program) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  img::KeepFreedMemory();  // as the program does
  const auto start = bench::Clock::now();
  auto form = std::make_unique<ui::TMainForm>(nullptr, program);
  form->show();
  QLabel* hint = form->findChild<QLabel*>("LblHint");
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!hint->text().isEmpty()) loop.quit();
  });
  poll.start(1);
  loop.exec();
  const double started = bench::Seconds(start);
  const auto closing = bench::Clock::now();
  form->close();
  form.reset();
  const double closed = bench::Seconds(closing);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.3f %.3f %ld\n", started, closed, usage.ru_maxrss);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--one") return RunOne(argc, argv, argv[2]);
  int runs = 3;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[++i]));
  bench::StartBenchmark();

  const fs::path root = fs::temp_directory_path() / "imgconvert-window-start-bench";
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const SettingsCase cases[] = {
      {"no file", "", false},
      {"typical", Typical()},
      {"250 KiB of blank lines", BlankLines(250 * 1024)},
      {"16 MiB of blank lines", BlankLines(16 << 20)},
  };
  std::printf("load average %.2f; best of %d runs\n", bench::LoadAverage(), runs);
  std::printf("%-24s %10s %10s %10s %10s\n", "settings file", "start s", "/floor", "close s", "peak MiB");
  double floor = 0;
  for (const SettingsCase& c : cases) {
    double best_start = 1e30, best_close = 1e30;
    long peak = 0;
    for (int r = 0; r < runs; ++r) {
      fs::remove_all(root);
      fs::create_directories(root / "program");
      if (c.file)
        bench::WriteBytes(root / "program" / "defualt.ini", std::vector<std::uint8_t>(c.bytes.begin(), c.bytes.end()));
      // The window's own notes (a refused write) are not figures.
      const std::string command = "'" + self + "' --one '" + img::PathToUtf8(root / "program") + "' 2>/dev/null";
      std::FILE* child = popen(command.c_str(), "r");
      double started = 0, closed = 0;
      long kib = 0;
      const bool read = child && std::fscanf(child, "%lf %lf %ld", &started, &closed, &kib) == 3;
      if (child) pclose(child);
      if (!read) {
        std::printf("%-24s the window did not start\n", c.name);
        break;
      }
      best_start = std::min(best_start, started);
      best_close = std::min(best_close, closed);
      peak = std::max(peak, kib);
    }
    if (!c.file) floor = best_start;
    std::printf("%-24s %10.3f %10.2f %10.3f %10.1f\n", c.name, best_start, best_start / floor, best_close,
                static_cast<double>(peak) / 1024);
  }
  fs::remove_all(root);
  return 0;
}

// The source list's preview as a user meets it: the real main window on the
// offscreen platform at 1022 x 732, the preview on, twelve real photographs
// (Debian's plasma-workspace-wallpapers and lomiri-wallpapers, or the JPEG
// files of a folder given) listed as their JPEG files and as PNG copies of
// the same pixels.
//
// Each picture is clicked in turn. For each click: how long the click itself
// held the window's thread, how long from the click until the preview box
// had painted the new picture (and the CPU time of all threads meanwhile,
// what it would take on a quiet machine), the longest the window's thread
// went without handling an event meanwhile (a 1 ms timer records how late it
// fires), and the most CPU time the thread spent between two of those
// events (its own work, whatever else the machine runs). Then the arrow keys
// step down the whole list, a key every 100 ms, as a user holding the key:
// the longest gap, and how long after the last key its picture was painted.
//
// Run with QT_SCALE_FACTOR=2 to see the same at twice the pixel density.
//
// usage: preview_bench [FOLDER] [--runs N]

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QTimer>
#include <QtTest/QTest>

#include "BenchSupport.h"
#include "RealPhotos.h"
#include "platform/FileIO.h"
#include "ui/TMainForm.h"

namespace {

namespace fs = std::filesystem;

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The longest gap between two events of a 1 ms timer on the window's
// thread, and the most CPU time the thread spent between two of them: on a
// machine shared with other work the gap also counts time the thread was
// ready but not running, the CPU time only what it did.
class GapWatch {
 public:
  GapWatch() {
    ticker_.setTimerType(Qt::PreciseTimer);
    ticker_.setInterval(1);
    QObject::connect(&ticker_, &QTimer::timeout, [this] { Tick(); });
    since_.start();
    ticker_.start();
  }
  void Start() {
    longest_ = busiest_ = 0;
    cpu_ = ThreadCpuMs();
    since_.restart();
  }
  // The longest gap so far, the time since the last tick included.
  double LongestMs() const { return std::max(longest_, since_.nsecsElapsed() / 1e6); }
  double BusiestMs() const { return std::max(busiest_, ThreadCpuMs() - cpu_); }

 private:
  void Tick() {
    longest_ = std::max(longest_, since_.nsecsElapsed() / 1e6);
    since_.restart();
    const double cpu = ThreadCpuMs();
    busiest_ = std::max(busiest_, cpu - cpu_);
    cpu_ = cpu;
  }
  QTimer ticker_;
  QElapsedTimer since_;
  double longest_ = 0, busiest_ = 0, cpu_ = 0;
};

// Notes when the box has painted a picture it did not show before.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QLabel* box) : box_(box) { box->installEventFilter(this); }
  // Forgets what was painted: the next new picture counts.
  void Arm() {
    before_ = box_->pixmap().cacheKey();
    painted_ = false;
  }
  bool Painted() const { return painted_; }
  double PaintedAtMs() const { return paintedAtMs_; }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != box_ || event->type() != QEvent::Paint) return false;
    static_cast<QObject*>(box_)->event(event);  // painted here, so the time taken is after it
    if (!painted_ && !box_->pixmap().isNull() && box_->pixmap().cacheKey() != before_) {
      painted_ = true;
      paintedAtMs_ = clock_.nsecsElapsed() / 1e6;
    }
    return true;
  }
  QElapsedTimer clock_;

 private:
  QLabel* box_;
  qint64 before_ = 0;
  bool painted_ = false;
  double paintedAtMs_ = 0;
};

// Handles events for ms milliseconds or until done, sleeping between them
// (the gap watch's timer wakes it): a spinning wait would take a core from
// the decode.
void Wait(double ms, const std::function<bool()>& done = [] { return false; }) {
  QElapsedTimer t;
  t.start();
  while (t.nsecsElapsed() / 1e6 < ms && !done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

struct ClickFigures {
  double clickMs = 0;    // the click's own handling
  double shownMs = -1;   // the click to the new picture painted; -1 when never
  double shownCpuMs = 0; // the CPU time of every thread meanwhile
  double longestGapMs = 0;
  double busiestMs = 0;
};

ClickFigures ClickRow(QListWidget* list, int row, PaintWatch& paints, GapWatch& gaps) {
  Wait(150);  // the previous picture settled, its memory handed back
  const QPoint at = list->visualItemRect(list->item(row)).center();
  paints.Arm();
  gaps.Start();
  paints.clock_.start();
  const std::clock_t cpu = std::clock();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  ClickFigures f;
  f.clickMs = paints.clock_.nsecsElapsed() / 1e6;
  Wait(5000, [&] { return paints.Painted(); });
  f.shownCpuMs = 1e3 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
  if (paints.Painted()) f.shownMs = paints.PaintedAtMs();
  Wait(30);  // what follows the paint on the window's thread counts too
  f.longestGapMs = gaps.LongestMs();
  f.busiestMs = gaps.BusiestMs();
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  bench::StartBenchmark();
  int runs = 2;
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

  // Made once and kept: the PNG copies take a while to write.
  const fs::path root = fs::temp_directory_path() / "imgconvert-preview-bench";
  const fs::path source = root / "source", output = root / "output";
  for (const fs::path& folder : {source, output, root / "program"}) fs::create_directories(folder);
  // Named so that the list shows every JPEG, smallest first, then every PNG.
  std::vector<std::string> names;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    char jpegName[32], pngName[32];
    std::snprintf(jpegName, sizeof jpegName, "a%02zu.jpg", i);
    std::snprintf(pngName, sizeof pngName, "b%02zu.png", i);
    const fs::path jpeg = source / jpegName, png = source / pngName;
    if (!fs::exists(jpeg)) fs::copy_file(photos[i].path, jpeg);
    if (!fs::exists(png)) {
      const bench::RawPicture picture = bench::FloorJpegDecode(bench::ReadBytes(photos[i].path));
      const fs::path part = png.string() + ".part";
      bench::LibpngWrite(part, picture.width, picture.height, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, 6, true,
                         [&picture](int y) { return picture.bgr.data() + static_cast<std::size_t>(y) * picture.width * 3; },
                         PNG_ALL_FILTERS);
      fs::rename(part, png);
    }
  }

  ui::TMainForm form(nullptr, root / "program");
  form.TimerFirstRun()->stop();
  form.findChild<QCheckBox*>("CbPreviewSourceImg")->setChecked(true);
  form.findChild<QCheckBox*>("CbTargetImgPreview")->setChecked(false);
  form.findChild<QLineEdit*>("EdtPath")->setText(QString::fromStdString(img::PathToUtf8(source)));
  form.findChild<QLineEdit*>("EdtOutput")->setText(QString::fromStdString(img::PathToUtf8(output)));
  form.RefreshSourceList();
  form.RefreshTargetList();
  form.resize(1022, 732);
  form.show();
  form.activateWindow();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;
  auto* list = form.findChild<QListWidget*>("LbDocList");
  auto* box = form.findChild<QLabel*>("ImgSource");
  PaintWatch paints(box);
  GapWatch gaps;
  Wait(300);
  std::printf("%zu photographs, the largest %.1f megapixels; preview box %dx%d at %.1f device pixels each; load average %.2f\n",
              photos.size(), photos.back().megapixels(), box->width(), box->height(), box->devicePixelRatioF(),
              bench::LoadAverage());

  std::printf("%-30s %5s %5s %9s %9s %9s %8s %8s\n", "picture", "MP", "kind", "click ms", "shown ms", "(cpu ms)",
              "gap ms", "busy ms");
  double worstGap = 0, worstBusy = 0, worstShownJpeg = 0, largestJpegShown = 0, largestJpegCpu = 0;
  for (int r = 0; r < runs; ++r) {
    for (int row = 0; row < list->count(); ++row) {
      const std::size_t photo = static_cast<std::size_t>(row) % photos.size();
      const bool jpeg = static_cast<std::size_t>(row) < photos.size();
      const ClickFigures f = ClickRow(list, row, paints, gaps);
      worstGap = std::max(worstGap, f.longestGapMs);
      worstBusy = std::max(worstBusy, f.busiestMs);
      if (jpeg) worstShownJpeg = std::max(worstShownJpeg, f.shownMs < 0 ? 1e9 : f.shownMs);
      if (jpeg && photo + 1 == photos.size()) {
        largestJpegShown = std::max(largestJpegShown, f.shownMs);
        largestJpegCpu = std::max(largestJpegCpu, f.shownCpuMs);
      }
      std::printf("%-30s %5.1f %5s %9.1f %9.1f %9.1f %8.1f %8.1f\n", photos[photo].name().substr(0, 30).c_str(),
                  photos[photo].megapixels(), jpeg ? "JPEG" : "PNG", f.clickMs, f.shownMs, f.shownCpuMs,
                  f.longestGapMs, f.busiestMs);
    }
  }

  // A key held down: Down every 100 ms from the first picture to the last.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                    list->visualItemRect(list->item(0)).center());
  Wait(3000);
  gaps.Start();
  QElapsedTimer stepping;
  stepping.start();
  for (int row = 1; row < list->count(); ++row) {
    const bool last = row + 1 == list->count();
    if (last) {
      paints.Arm();
      paints.clock_.start();
    }
    QTest::keyClick(list, Qt::Key_Down);
    if (!last) Wait(100);
  }
  Wait(5000, [&] { return paints.Painted(); });
  const double lastShown = paints.Painted() ? paints.PaintedAtMs() : -1;
  Wait(30);
  std::printf("arrow keys through %d pictures, one every 100 ms: %.1f s, longest gap %.1f ms (busy %.1f ms), the "
              "last picture painted %.1f ms after its key\n",
              list->count() - 1, stepping.nsecsElapsed() / 1e9, gaps.LongestMs(), gaps.BusiestMs(), lastShown);
  std::printf("a click: longest gap %.1f ms, the window's thread busy at most %.1f ms at a stretch (target <= 16); "
              "the %.1f-megapixel JPEG painted %.1f ms after its click, %.1f ms of CPU time (target <= 60); "
              "every JPEG within %.1f ms\n",
              worstGap, worstBusy, photos.back().megapixels(), largestJpegShown, largestJpegCpu, worstShownJpeg);
  return 0;
}

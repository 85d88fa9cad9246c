// How long imgbatch takes to write its first picture: from its start to its
// first --report json line (a picture converted and written), for a list of
// one HEIC file and for a list of many, each a copy of one photograph-like
// HEIC (x265). The list's length should not show in the wait: pictures
// start while the memory needs of later ones are still being estimated.
//
// usage: first_picture_bench IMGBATCH [pictures=300] [width=2016] [height=1512] [runs=5]

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "BenchSupport.h"
#include "tests/support/HeifBytes.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Seconds to imgbatch's first report line, converting the folder source into
// out as JPEG files; the run is then stopped.
double FirstPicture(const std::string& imgbatch, const fs::path& source, const fs::path& out) {
  fs::remove_all(out);
  int report[2];
  if (pipe(report) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, report[1], 1);
  posix_spawn_file_actions_addclose(&actions, report[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args = {imgbatch, "-q", "--report", "json", "-f", "jpg", source.string(), "-o", out.string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = bench::Clock::now();
  pid_t pid = 0;
  const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(report[1]);
  double seconds = -1;
  char c = 0;
  while (started && read(report[0], &c, 1) == 1)
    if (c == '\n') {
      seconds = bench::Seconds(start);
      break;
    }
  close(report[0]);
  if (started) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: first_picture_bench IMGBATCH [pictures] [width] [height] [runs]\n");
    return 2;
  }
  const std::string imgbatch = argv[1];
  const int count = argc > 2 ? std::atoi(argv[2]) : 300;
  const int width = argc > 3 ? std::atoi(argv[3]) : 2016;
  const int height = argc > 4 ? std::atoi(argv[4]) : 1512;
  const int runs = argc > 5 ? std::atoi(argv[5]) : 5;
  bench::StartBenchmark();
  const fs::path root = fs::temp_directory_path() / "imgconvert-bench" / "first-picture";
  const fs::path one = root / "one", many = root / ("many-" + std::to_string(count));
  fs::create_directories(one);
  fs::create_directories(many);
  const fs::path photo = one / "photo.heic";
  if (!fs::exists(photo)) {
    testsupport::HeifPicture how;
    how.quality = 60;
    bench::WriteBytes(photo, testsupport::HeifBytes(bench::ToBitmap(bench::MakePhotoLike(width, height, 7)), how));
  }
  // Copies, not links: a run converts each file once, however many names it has.
  for (int i = 1; i <= count; ++i) {
    const fs::path copy = many / ("photo" + std::to_string(i) + ".heic");
    if (!fs::exists(copy)) fs::copy_file(photo, copy);
  }
  std::printf("job: the first of %dx%d HEIC files -> JPG (%.0f KB each), imgbatch on every core, load %.1f\n",
              width, height, fs::file_size(photo) / 1024.0, bench::LoadAverage());
  double alone = 1e30, listed = 1e30;
  for (int r = 0; r < runs; ++r) {
    const double a = FirstPicture(imgbatch, one, root / "out"), l = FirstPicture(imgbatch, many, root / "out");
    if (a < 0 || l < 0) {
      std::printf("imgbatch wrote no picture\n");
      return 1;
    }
    alone = std::min(alone, a);
    listed = std::min(listed, l);
  }
  std::printf("first picture written, best of %d: one file %.3f s, %d files %.3f s (%.2fx)\n", runs, alone, count,
              listed, listed / alone);
  fs::remove_all(root / "out");
  return 0;
}

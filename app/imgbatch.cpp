// imgbatch: the converter without a window, for folders on a server or in a
// script. The same engine as the window program, on every core.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/BatchCommandLine.h"
#include "app/BatchOptions.h"
#include "app/Console.h"
#include "app/JsonReport.h"
#include "app/PrintableText.h"
#include "app/SourceList.h"
#include "engine/run/AnyOrderRun.h"
#include "engine/convert/ExistingTargets.h"
#include "engine/plan/FolderWalk.h"
#include "engine/formats/PictureFormats.h"
#include "engine/plan/TargetFolders.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "platform/MemoryReuse.h"
#include "platform/SystemMemory.h"
#include "platform/TemporaryFiles.h"
#include "text/Version.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

std::string FormatDuration(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char buffer[32];
  if (s >= 3600)
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
  return buffer;
}

// A line on standard error; names in it are escaped (PrintableText.h).
void Say(const std::string& line, const char* kind = "") {
  std::fprintf(stderr, "imgbatch: %s%s\n", kind, app::Printable(line).c_str());
}

// "1 picture", "2 pictures".
std::string Count(int n, const char* word) {
  return std::to_string(n) + ' ' + word + (n == 1 ? "" : "s");
}

class ProgressDisplay {
 public:
  explicit ProgressDisplay(bool enabled) : enabled_(enabled), start_(Clock::now()) {}

  void Update(int done, int total) {
    if (!enabled_ || total == 0) return;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    const double rate = elapsed > 0 ? done / elapsed : 0;
    std::string eta = rate > 0 ? FormatDuration((total - done) / rate) : "--:--";
    char counts[96];
    std::snprintf(counts, sizeof counts, "%d/%d  %.1f pictures/s  %s left", done, total, rate, eta.c_str());
    // One column short of the width: writing the last column wraps on many
    // terminals, and each update would then start a new line. The bar
    // gives way first, then the end of the counts.
    const std::size_t columns = static_cast<std::size_t>(std::max(2, app::TerminalColumns(stderr))) - 1;
    std::string line;
    const std::size_t room = columns > std::strlen(counts) + 3 ? columns - std::strlen(counts) - 3 : 0;
    if (room >= 10) {
      const std::size_t width = std::min<std::size_t>(30, room);
      std::string bar(static_cast<std::size_t>(done) * width / static_cast<std::size_t>(total), '#');
      bar.resize(width, '.');
      line = "[" + bar + "] ";
    }
    line += counts;
    line.resize(columns, ' ');  // cut to the width, or blank out the last update's tail
    std::fprintf(stderr, "\r%s", line.c_str());
    drawn_ = done != total;
    if (done == total) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

  // Blanks the bar's line, so a line printed next starts at its left edge;
  // the next update draws the bar again below it.
  void Clear() {
    if (!enabled_ || !drawn_) return;
    const std::size_t columns = static_cast<std::size_t>(std::max(2, app::TerminalColumns(stderr))) - 1;
    std::fprintf(stderr, "\r%s\r", std::string(columns, ' ').c_str());
    drawn_ = false;
  }

  double Elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

 private:
  bool enabled_;
  bool drawn_ = false;  // the bar stands on the cursor's line
  Clock::time_point start_;
};

// --dry-run: each target a run would write on standard output, what it
// would refuse and the sources it cannot read on standard error; the exit
// status as the run would give it.
int PrintPlan(const engine::RunPlan& plan, const std::vector<engine::UnreadPath>& not_read,
              const engine::ConversionOptions& options) {
  for (const engine::UnreadPath& m : not_read) Say(m.Line());
  int failed = static_cast<int>(not_read.size());
  // A folder the run could not make fails its pictures, as in the run.
  std::map<std::string, std::optional<std::error_code>> blocked;
  for (const std::string& folder : plan.TargetFolders()) blocked[folder] = engine::FolderBlocked(folder);
  for (const engine::PlannedPicture& picture : plan.pictures) {
    if (!picture.isPicture) {
      Say(engine::ConversionFailure{picture.path, text::FailureCode::NotAPicture, {}}.Line());
      ++failed;
      continue;
    }
    if (const std::optional<std::error_code>& why = blocked[picture.folder]) {
      Say(engine::ConversionFailure{picture.path, text::FailureCode::FolderNotMade,
                                    picture.folder + ": " + why->message()}
              .Line());
      ++failed;
      continue;
    }
    bool refused = false;
    for (const engine::PlannedTarget& target : picture.targets) {
      if (target.refusal) {
        Say(target.refusal->Line());
        refused = true;
      } else if (!engine::LeavesTargetAlone(options, picture.path, target.path)) {
        std::printf("%s -> %s\n", app::Printable(picture.path).c_str(), app::Printable(target.path).c_str());
      }
    }
    failed += refused;
  }
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = app::Utf8Arguments(argc, argv);
  std::string error;
  auto cmd = app::ParseBatchCommand(args, error);
  if (!cmd) {
    std::fprintf(stderr, "imgbatch: %s\nTry 'imgbatch --help' for more information.\n", app::Printable(error).c_str());
    return 2;
  }
  if (cmd->help) {
    std::fputs(app::BatchUsage().c_str(), stdout);
    return 0;
  }
  if (cmd->version) {
    std::printf("imgbatch %s\n%s", text::ProgramVersionText().c_str(), app::BatchFormatLines().c_str());
    return 0;
  }

  // Ctrl-C, kill or a closed terminal leave no temporaries behind.
  img::RemoveTemporariesOnInterrupt();

  for (const std::string& list : cmd->sourceLists) {
    if (!app::ReadSourceList(list, cmd->nulSeparated, cmd->sources, error)) {
      Say(error);
      return 1;
    }
  }

  std::error_code ec;
  std::string output_folder = cmd->outputFolder;
  if (output_folder.back() != '/') output_folder += '/';

  int jobs = cmd->jobs > 0 ? cmd->jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  engine::AnyOrderRun job(cmd->options, output_folder, jobs);
  job.SetMemoryBudget(cmd->memoryMiB > 0 ? static_cast<std::uint64_t>(cmd->memoryMiB) << 20
                                         : img::PhysicalMemoryBytes() / 4);
  // Sources that name nothing, and folders or entries the walk could not
  // read: each is a failure, since its pictures were never converted.
  std::vector<engine::UnreadPath> not_read;
  int other_files = 0;  // in walked folders, of kinds imgbatch does not read
  for (const std::string& source : cmd->sources) {
    const fs::path p = img::PathFromUtf8(source);
    const fs::file_status status = fs::status(p, ec);
    if (fs::is_directory(status)) {
      std::vector<engine::ListedPicture> listed;
      engine::ListPictureTree(source, engine::PictureExtensions(), listed,
                              output_folder, &not_read, &other_files, cmd->walk);
      // Each target keeps its source's own letters, as other converters
      // name them; the window's folder run lower-cases them.
      for (engine::ListedPicture& l : listed)
        job.Add({std::move(l.path), {}, cmd->keepTree ? std::move(l.subfolder) : ""});
    } else if (fs::is_regular_file(status)) {
      if (cmd->walk.names.Selects(img::FileNamePart(source))) job.Add({source, {}, {}});
    } else if (ec && status.type() != fs::file_type::not_found) {
      not_read.push_back({source, "cannot be read: " + ec.message()});
    } else {
      not_read.push_back({source, "no such picture file or folder"});
    }
  }

  if (cmd->dryRun) return PrintPlan(job.Plan(), not_read, cmd->options);

  // Made only once there is a picture to write into it: a mistyped source
  // leaves no empty folder behind.
  if (job.size() > 0) {
    const fs::path output = img::PathFromUtf8(cmd->outputFolder);
    fs::create_directories(output, ec);
    if (!ec && !fs::is_directory(output, ec)) ec = std::make_error_code(std::errc::not_a_directory);
    if (ec) {
      Say("cannot create the output folder " + cmd->outputFolder + ": " + ec.message());
      return 1;
    }
  }

  for (const engine::UnreadPath& m : not_read) Say(m.Line());
  if (cmd->jsonReport)
    for (const engine::UnreadPath& unread : not_read) std::fputs(app::UnreadJson(unread).c_str(), stdout);

  img::KeepFreedMemory();  // each picture reuses the memory of the one before
  ProgressDisplay display(!cmd->quiet && app::IsTerminal(stderr));
  // What became of each picture, said as it ends, not after a long run:
  // someone watching can act on the first failure, and a run cut short has
  // said what it met. A target that left something out is still written:
  // said, not failed.
  job.OnPictureDone([&](const engine::PlannedPicture& picture, const engine::ConversionReport& report) {
    if (!report.failures.empty() || !report.warnings.empty()) display.Clear();
    for (const engine::ConversionFailure& f : report.failures) Say(f.Line(text::FailureLanguage::English));
    for (const std::string& w : report.warnings) Say(w, "warning: ");
    // Each line as its picture ends: a script reading along sees the run go.
    if (cmd->jsonReport) {
      std::fputs(app::PictureJson(picture.path, report).c_str(), stdout);
      std::fflush(stdout);
    }
  });
  engine::BatchOutcome outcome = job.Run([&](int done, int total) { display.Update(done, total); });
  const int failed = outcome.failedPictures + static_cast<int>(not_read.size());
  const bool skips = cmd->options.skipExisting || cmd->options.skipUpToDate;
  const std::string skipped = skips ? std::to_string(outcome.filesSkipped) + " skipped, " : "";
  // Pictures of the same name got numbered targets: say how many, so
  // nobody looks for them under the plain names only.
  const std::string renamed = outcome.filesRenamed ? std::to_string(outcome.filesRenamed) + " renamed, " : "";
  // Files a walk met of kinds this build does not read (camera RAW, SVG,
  // text ...) are no failure, yet nobody should think them converted.
  const std::string others = other_files ? Count(other_files, "other file") + " not converted, " : "";
  // Quiet means quiet: the exit status tells a script how it went. The
  // summary is a diagnostic, as other converters' are: standard output
  // holds only what a script asked for (the report's lines).
  if (!cmd->quiet)
    std::fprintf(stderr, "%s, %s written, %s%s%d failed, %s%.2f s\n",
                 Count(outcome.pictures, "picture").c_str(), Count(outcome.filesWritten, "file").c_str(),
                 renamed.c_str(), skipped.c_str(), failed, others.c_str(), display.Elapsed());
  return failed ? 1 : 0;
}

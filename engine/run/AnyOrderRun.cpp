#include "engine/run/AnyOrderRun.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "engine/convert/PictureConverter.h"
#include "engine/convert/PictureMemory.h"
#include "engine/plan/TargetFolders.h"
#include "engine/threads/WorkerPool.h"

namespace engine {

namespace {

// Converters for the pictures in flight, handed from one picture to the next
// so their codec objects and working pictures are reused: no more are made
// than pictures run at once.
class ConverterShelf {
 public:
  struct Converter {
    Converter(const ConversionOptions& options, int threads) : host(options), converter(host, threads) {}
    FixedOptionsCallbacks host;
    PictureConverter converter;
  };

  ConverterShelf(const ConversionOptions& options, int threads) : options_(options), threads_(threads) {}

  std::unique_ptr<Converter> Take() {
    {
      std::lock_guard lock(mutex_);
      if (!free_.empty()) {
        std::unique_ptr<Converter> converter = std::move(free_.back());
        free_.pop_back();
        return converter;
      }
    }
    return std::make_unique<Converter>(options_, threads_);
  }

  void PutBack(std::unique_ptr<Converter> converter) {
    std::lock_guard lock(mutex_);
    free_.push_back(std::move(converter));
  }

 private:
  const ConversionOptions& options_;
  int threads_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Converter>> free_;
};

// Bytes as whole MiB, rounded up: --memory with that number holds them.
std::string MiB(std::uint64_t bytes) { return std::to_string((bytes >> 20) + ((bytes & 0xFFFFF) != 0)) + " MiB"; }

}  // namespace

AnyOrderRun::AnyOrderRun(ConversionOptions options, std::string outputFolder, int jobs)
    : options_(std::move(options)), output_folder_(std::move(outputFolder)), jobs_(std::max(1, jobs)) {}

BatchOutcome AnyOrderRun::Run(const ProgressCallback& progress) {
  RunPlan plan = Plan();
  const std::size_t count = plan.pictures.size();
  std::vector<ConversionReport> reports(count);

  // Each target folder made and held before any thread writes into it;
  // when it cannot be, its pictures fail with the reason and are not
  // converted.
  const TargetFolders folders(plan);
  std::vector<std::size_t> started;
  int not_started = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (std::optional<ConversionFailure> failure = folders.FailureOf(plan.pictures[i])) {
      reports[i].failures.push_back(std::move(*failure));
      if (picture_done_) picture_done_(plan.pictures[i], reports[i]);
      ++not_started;
    } else {
      started.push_back(i);
    }
  }

  // jobs_ pictures at once on one thread each; with fewer pictures, each
  // one's parts get an even share of the threads. So -j 1 keeps to one core,
  // as someone limiting it expects.
  const int at_once = static_cast<int>(std::clamp<std::size_t>(started.size(), 1, jobs_));
  const int picture_threads = std::max(1, jobs_ / at_once);

  std::mutex progress_mutex;
  int done = not_started;
  const int total = static_cast<int>(count);
  ConverterShelf shelf(options_, picture_threads);

  // Each picture's need is told on the pool's threads just before it may
  // start, so the first picture waits for its own estimate only. A picture
  // that needs more than the whole budget is not converted: the budget
  // bounds what the run holds, and the user may raise it.
  std::vector<std::uint64_t> needs(started.size(), 0);
  WorkerPool::Budget budget;
  if (memory_budget_ > 0)
    budget = WorkerPool::Budget(
        [&](std::size_t t) {
          needs[t] = EstimatedNeedBytes(plan.pictures[started[t]].path, options_);
          return needs[t] > memory_budget_ ? 0 : needs[t];
        },
        memory_budget_);

  auto convert = [&](std::size_t t) {
    const std::size_t i = started[t];
    if (memory_budget_ > 0 && needs[t] > memory_budget_) {
      reports[i].failures.push_back({plan.pictures[i].path, text::FailureCode::OverMemoryBudget, MiB(needs[t])});
    } else {
      std::unique_ptr<ConverterShelf::Converter> slot = shelf.Take();
      const auto start = std::chrono::steady_clock::now();
      reports[i] = slot->converter.ConvertPicture(plan.pictures[i]);
      reports[i].milliseconds =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      if (!reports[i].isPicture)
        reports[i].failures.push_back({plan.pictures[i].path, text::FailureCode::NotAPicture, {}});
      shelf.PutBack(std::move(slot));
    }
    std::lock_guard lock(progress_mutex);
    if (picture_done_) picture_done_(plan.pictures[i], reports[i]);
    ++done;
    if (progress) progress(done, total);
  };
  WorkerPool::Shared().Run(started.size(), at_once, convert, budget);

  BatchOutcome outcome;
  outcome.pictures = total;
  for (const ConversionReport& r : reports) {
    outcome.filesWritten += static_cast<int>(r.written.size());
    outcome.filesSkipped += static_cast<int>(r.skipped.size());
    outcome.filesRenamed += r.renamed;
    if (!r.failures.empty()) ++outcome.failedPictures;
    outcome.failures.insert(outcome.failures.end(), r.failures.begin(), r.failures.end());
    outcome.warnings.insert(outcome.warnings.end(), r.warnings.begin(), r.warnings.end());
  }
  return outcome;
}

}  // namespace engine

#include "engine/BatchJob.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

#include "engine/PictureConverter.h"
#include "engine/PictureMemory.h"
#include "engine/TextUtil.h"
#include "engine/WorkerPool.h"
#include "imaging/FileIO.h"

namespace engine {

namespace {

// Targets are the name with each format's extension, so sources with the same
// name up to the extension (case ignored, as a picture list compares names)
// collide.
std::string CollisionKey(const BatchItem& item) {
  std::string name = item.targetName.empty() ? FileNamePart(item.path) : item.targetName;
  return AsciiLower(item.subfolder + ReplaceExtension(name, ""));
}

// Converters for the pictures in flight, handed from one picture to the next
// so their codec objects and working pictures are reused: no more are made
// than pictures run at once.
class ConverterShelf {
 public:
  struct Converter {
    Converter(const ConversionOptions& options, int threads) : host(options), converter(host, threads) {}
    FixedOptionsHost host;
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

}  // namespace

BatchJob::BatchJob(ConversionOptions options, std::string outputFolder, int jobs)
    : options_(std::move(options)), output_folder_(std::move(outputFolder)), jobs_(std::max(1, jobs)) {}

BatchOutcome BatchJob::Run(const ProgressCallback& progress) {
  std::vector<ConversionReport> reports(items_.size());

  // Each subfolder made once, before any thread writes into it; when it
  // cannot be, its pictures fail with the reason and are not converted.
  std::map<std::string, std::string> folder_failure;
  for (const BatchItem& item : items_) {
    if (item.subfolder.empty() || folder_failure.count(item.subfolder)) continue;
    const std::string folder = output_folder_ + item.subfolder;
    std::error_code ec;
    std::filesystem::create_directories(img::PathFromUtf8(folder), ec);
    std::string& failure = folder_failure[item.subfolder];
    if (!ec && !std::filesystem::is_directory(img::PathFromUtf8(folder), ec))
      ec = std::make_error_code(std::errc::not_a_directory);
    if (ec) failure = "cannot create the folder " + folder + ": " + ec.message();
  }

  // Chains of colliding items, in order of their first item.
  std::vector<std::vector<std::size_t>> chains;
  std::map<std::string, std::size_t> chain_of;
  int not_started = 0;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!items_[i].subfolder.empty()) {
      const std::string& failure = folder_failure[items_[i].subfolder];
      if (!failure.empty()) {
        reports[i].failures.push_back(items_[i].path + ": " + failure);
        ++not_started;
        continue;
      }
    }
    auto [it, inserted] = chain_of.try_emplace(CollisionKey(items_[i]), chains.size());
    if (inserted) chains.emplace_back();
    chains[it->second].push_back(i);
  }

  // jobs_ pictures at once on one thread each; with fewer pictures, each
  // one's parts get an even share of the threads. So -j 1 keeps to one core,
  // as someone limiting it expects.
  const int at_once = static_cast<int>(std::clamp<std::size_t>(items_.size(), 1, jobs_));
  const int picture_threads = std::max(1, jobs_ / at_once);
  const int threads = static_cast<int>(std::min<std::size_t>(jobs_, std::max<std::size_t>(chains.size(), 1)));

  std::mutex progress_mutex;
  int done = not_started;
  const int total = static_cast<int>(items_.size());
  ConverterShelf shelf(options_, picture_threads);

  // One task per chain, so a chain's items run in order on one thread.
  auto convert_chain = [&](std::size_t c, const WorkerPool::Yield&) {
    std::unique_ptr<ConverterShelf::Converter> slot = shelf.Take();
    for (std::size_t i : chains[c]) {
      reports[i] = slot->converter.ConvertPicture(items_[i].path, output_folder_ + items_[i].subfolder,
                                                  items_[i].targetName);
      if (!reports[i].isPicture) reports[i].failures.push_back(items_[i].path + ": not a picture file");
      std::lock_guard lock(progress_mutex);
      ++done;
      if (progress) progress(done, total);
    }
    shelf.PutBack(std::move(slot));
  };
  // A chain's items run one after the other: it needs its largest item's need.
  std::vector<std::uint64_t> needs;
  if (memory_budget_ > 0) {
    needs.assign(chains.size(), 0);
    for (std::size_t c = 0; c < chains.size(); ++c)
      for (std::size_t i : chains[c])
        needs[c] = std::max(needs[c], EstimatedNeedBytes(items_[i].path, options_));
  }
  WorkerPool::Shared().Run(chains.size(), threads, img::NullProgress(), convert_chain,
                           WorkerPool::Budget{needs, memory_budget_});

  BatchOutcome outcome;
  outcome.pictures = total;
  for (const ConversionReport& r : reports) {
    outcome.filesWritten += static_cast<int>(r.written.size());
    outcome.filesSkipped += static_cast<int>(r.skipped.size());
    if (!r.failures.empty()) ++outcome.failedPictures;
    outcome.failures.insert(outcome.failures.end(), r.failures.begin(), r.failures.end());
  }
  return outcome;
}

}  // namespace engine

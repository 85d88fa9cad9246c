#include "engine/BatchJob.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "engine/PictureConverter.h"
#include "engine/TextUtil.h"

namespace engine {

namespace {

// Targets are the name with each format's extension, so sources with the same
// name up to the extension (case ignored, as a picture list compares names)
// collide.
std::string CollisionKey(const BatchItem& item) {
  std::string name = item.targetName.empty() ? FileNamePart(item.path) : item.targetName;
  return AsciiLower(ReplaceExtension(name, ""));
}

}  // namespace

BatchJob::BatchJob(ConversionOptions options, std::string outputFolder, int jobs)
    : options_(std::move(options)), output_folder_(std::move(outputFolder)), jobs_(std::max(1, jobs)) {}

BatchOutcome BatchJob::Run(const ProgressCallback& progress) {
  // Chains of colliding items, in order of their first item.
  std::vector<std::vector<std::size_t>> chains;
  std::map<std::string, std::size_t> chain_of;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    auto [it, inserted] = chain_of.try_emplace(CollisionKey(items_[i]), chains.size());
    if (inserted) chains.emplace_back();
    chains[it->second].push_back(i);
  }

  std::vector<ConversionReport> reports(items_.size());
  std::atomic<std::size_t> next_chain{0};
  std::mutex progress_mutex;
  int done = 0;
  const int total = static_cast<int>(items_.size());

  auto worker = [&] {
    FixedOptionsHost host(options_);
    PictureConverter converter(host);
    for (std::size_t c; (c = next_chain.fetch_add(1)) < chains.size();) {
      for (std::size_t i : chains[c]) {
        reports[i] = converter.ConvertPicture(items_[i].path, output_folder_, items_[i].targetName);
        if (!reports[i].isPicture) reports[i].failures.push_back(items_[i].path + ": not a picture file");
        std::lock_guard lock(progress_mutex);
        ++done;
        if (progress) progress(done, total);
      }
    }
  };
  const int threads = static_cast<int>(std::min<std::size_t>(jobs_, std::max<std::size_t>(chains.size(), 1)));
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();

  BatchOutcome outcome;
  outcome.pictures = total;
  for (const ConversionReport& r : reports) {
    outcome.filesWritten += static_cast<int>(r.written.size());
    if (!r.failures.empty()) ++outcome.failedPictures;
    outcome.failures.insert(outcome.failures.end(), r.failures.begin(), r.failures.end());
  }
  return outcome;
}

}  // namespace engine

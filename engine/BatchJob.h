#pragma once
// A batch of pictures converted on the shared worker pool, at most `jobs`
// threads in all: that many pictures at once, or, with fewer pictures, the
// spare threads shared out among their parts (PNG deflates, turns). Sources
// whose targets would share a name are converted one after the other, in
// listing order, by the same thread, so the later one wins as in a folder
// run and no two threads ever write the same file. Names collide within one
// target folder only.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"

namespace engine {

struct BatchItem {
  std::string path;        // the file to open
  std::string targetName;  // name the targets are formed from; empty: the file's own name
  std::string subfolder;   // under the output folder, ending in '/', made when missing; empty: none
};

struct BatchOutcome {
  int pictures = 0;       // items handed to a converter
  int filesWritten = 0;
  int filesSkipped = 0;   // existing targets left alone
  int failedPictures = 0;
  std::vector<std::string> failures;  // one line per failure, in listing order
};

class BatchJob {
 public:
  BatchJob(ConversionOptions options, std::string outputFolder, int jobs);

  void Add(BatchItem item) { items_.push_back(std::move(item)); }
  std::size_t size() const { return items_.size(); }

  // Called after each picture from the thread that converted it, serialised:
  // pictures done so far and the total. The calling thread converts
  // pictures too.
  using ProgressCallback = std::function<void(int done, int total)>;

  BatchOutcome Run(const ProgressCallback& progress = {});

  // Bytes the pictures converted at once may need together, as
  // EstimatedNeedBytes tells each; 0 (the default): no limit. A picture
  // that needs more than the whole budget is converted alone.
  void SetMemoryBudget(std::uint64_t bytes) { memory_budget_ = bytes; }

 private:
  ConversionOptions options_;
  std::string output_folder_;
  int jobs_;
  std::uint64_t memory_budget_ = 0;
  std::vector<BatchItem> items_;
};

}  // namespace engine

#pragma once
// A batch of pictures converted on the shared worker pool, at most `jobs`
// threads in all: that many pictures at once, or, with fewer pictures, the
// spare threads shared out among their parts (PNG deflates, turns). Every
// target is planned before the first is written (RunPlan), so no two
// pictures share a target and the pictures run in any order.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/convert/ConversionFailure.h"
#include "engine/convert/ConversionOptions.h"
#include "engine/plan/RunPlan.h"

namespace engine {

struct ConversionReport;

// One source; its subfolder under the output folder is made when missing.
using BatchItem = RunSource;

struct BatchOutcome {
  int pictures = 0;       // items handed to a converter, each file once
  int filesWritten = 0;
  int filesRenamed = 0;   // written under a numbered name: an earlier picture took the plain one
  int filesSkipped = 0;   // existing targets left alone
  int failedPictures = 0;
  std::vector<ConversionFailure> failures;  // in listing order
  std::vector<std::string> warnings;  // what written targets left out, in listing order
};

class AnyOrderRun {
 public:
  AnyOrderRun(ConversionOptions options, std::string outputFolder, int jobs);

  void Add(BatchItem item) { items_.push_back(std::move(item)); }
  std::size_t size() const { return items_.size(); }

  // What Run would write, decided now; nothing is touched.
  RunPlan Plan() const { return PlanRun(items_, output_folder_, options_); }

  // Called after each picture from the thread that converted it, serialised:
  // pictures done so far and the total. The calling thread converts
  // pictures too.
  using ProgressCallback = std::function<void(int done, int total)>;

  BatchOutcome Run(const ProgressCallback& progress = {});

  // Called once for each planned picture, serialised, with what became of
  // it: from the thread that converted it, just before progress.
  using PictureCallback = std::function<void(const PlannedPicture& picture, const ConversionReport& report)>;
  void OnPictureDone(PictureCallback callback) { picture_done_ = std::move(callback); }

  // Bytes the pictures converted at once may need together, as
  // EstimatedNeedBytes tells each; 0 (the default): no limit. A picture
  // that needs more than the whole budget is not converted: it fails with
  // FailureCode::OverMemoryBudget, its need in MiB the detail.
  void SetMemoryBudget(std::uint64_t bytes) { memory_budget_ = bytes; }

 private:
  ConversionOptions options_;
  std::string output_folder_;
  int jobs_;
  std::uint64_t memory_budget_ = 0;
  std::vector<BatchItem> items_;
  PictureCallback picture_done_;
};

}  // namespace engine

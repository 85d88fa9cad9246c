#include "engine/PicturePipeline.h"

#include <chrono>
#include <thread>

#include "engine/PictureMemory.h"
#include "engine/WorkerPool.h"

namespace engine {

namespace {

// A breath between pictures, as the window has always taken.
constexpr auto kBetweenPictures = std::chrono::milliseconds(3);

}  // namespace

PicturePipeline::PicturePipeline(ConversionHost& host, std::uint64_t memoryBudget)
    : host_(host), budget_(memoryBudget), converters_{PictureConverter(host), PictureConverter(host)} {}

bool PicturePipeline::Run(const std::vector<const PlannedPicture*>& pictures, const Hooks& hooks) {
  const std::size_t count = pictures.size();
  if (count == 0) return true;
  std::vector<std::uint64_t> needs(count, 0);
  if (budget_ > 0) {
    const ConversionOptions options = host_.Options();
    for (std::size_t i = 0; i < count; ++i) needs[i] = EstimatedNeedBytes(pictures[i]->path, options);
  }
  // Picture i is held by converter i % 2: the other one writes the picture before it.
  std::vector<char> started(count, 0);
  auto prepare = [&](std::size_t i) {
    if (hooks.wanted && !hooks.wanted(*pictures[i])) return;
    converters_[i % 2].Prepare(*pictures[i], host_.Options());
    started[i] = 1;
  };

  prepare(0);
  for (std::size_t i = 0; i < count; ++i) {
    if (hooks.stop && hooks.stop()) return false;
    const bool next = i + 1 < count;
    const std::uint64_t pair[2] = {needs[i], next ? needs[i + 1] : 0};
    // Task 0 writes this picture, task 1 starts the next; the budget holds
    // task 1 back until task 0 ends when both would not fit.
    WorkerPool::Shared().Run(
        next ? 2 : 1, 2,
        [&](std::size_t task) {
          if (task == 1) {
            prepare(i + 1);
          } else if (started[i]) {
            const ConversionReport report = converters_[i % 2].Write();
            if (hooks.done) hooks.done(*pictures[i], report);
          }
        },
        WorkerPool::Budget{budget_ > 0 ? std::span<const std::uint64_t>(pair) : std::span<const std::uint64_t>(),
                           budget_});
    if (started[i]) std::this_thread::sleep_for(kBetweenPictures);
  }
  return true;
}

}  // namespace engine

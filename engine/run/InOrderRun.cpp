#include "engine/run/InOrderRun.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "engine/convert/PictureMemory.h"
#include "engine/threads/WorkerPool.h"

namespace engine {

namespace {

// A breath between pictures, as the window has always taken.
constexpr auto kBetweenPictures = std::chrono::milliseconds(3);

}  // namespace

InOrderRun::InOrderRun(ConversionCallbacks& host, std::uint64_t memoryBudget)
    : host_(host),
      budget_(memoryBudget),
      converters_{PictureConverter(host), PictureConverter(host), PictureConverter(host)} {
  // One picture is written at a time: its kinds side by side keep a
  // second core busy once the pictures ahead are decoded.
  for (PictureConverter& converter : converters_) converter.WriteKindsSideBySide(true);
}

bool InOrderRun::Run(const std::vector<const PlannedPicture*>& pictures, const Hooks& hooks) {
  const std::size_t count = pictures.size();
  if (count == 0) return true;
  // Each picture's need, told from its header by the preparer just before
  // it may start the picture: the first picture need not wait for them all.
  std::vector<std::uint64_t> needs(count, 0);
  WorkerPool& pool = WorkerPool::Shared();
  // Picture i is held by converter i % kConverters from its start until it
  // is written. The preparer starts pictures ahead of the writer; each
  // waits for the other, helping with the other's parts meanwhile.
  std::vector<std::atomic<char>> ready(count);  // prepared (or passed over)
  std::vector<char> started(count, 0);
  std::atomic<std::size_t> written{0};
  std::atomic<bool> ended{false};  // the writer stopped or failed: start nothing more

  // Pictures from the first unwritten one to i held at once fit the budget
  // (one alone always does).
  auto fits = [&](std::size_t i) {
    const std::size_t first = written;
    if (i == first || budget_ == 0) return true;
    std::uint64_t sum = 0;
    for (std::size_t k = first; k <= i; ++k) sum += needs[k];
    return sum <= budget_;
  };
  auto prepare = [&](std::size_t i) {
    if (!hooks.wanted || hooks.wanted(*pictures[i])) {
      converters_[i % kConverters].Prepare(*pictures[i], host_.Options());
      started[i] = 1;
    }
    ready[i] = 1;
    pool.Wake();
  };
  // The writer prepares the first picture itself while the preparer starts
  // on the second: no core waits for the first decode.
  if (budget_ > 0) needs[0] = EstimatedNeedBytes(pictures[0]->path, host_.Options());
  const std::shared_ptr<WorkerPool::Started> preparer = pool.Start([&] {
    std::size_t i = 1;
    try {
      for (; i < count; ++i) {
        if (budget_ > 0) needs[i] = EstimatedNeedBytes(pictures[i]->path, host_.Options());
        pool.WaitHelping([&] { return ended || (i - written < kConverters && fits(i)); });
        if (ended) return;
        prepare(i);
      }
    } catch (...) {
      // The writer passes over what was not started; Join rethrows.
      for (; i < count; ++i) ready[i] = 1;
      pool.Wake();
      throw;
    }
  });

  bool stopped = false;
  try {
    prepare(0);
    for (std::size_t i = 0; i < count; ++i) {
      pool.WaitHelping([&] { return ready[i] != 0; });
      if (hooks.stop && hooks.stop()) {
        stopped = true;
        break;
      }
      if (started[i]) {
        const ConversionReport report = converters_[i % kConverters].Write();
        if (hooks.done) hooks.done(*pictures[i], report);
      }
      written = i + 1;
      pool.Wake();
      // Its converter is free first: the preparer may start on a picture
      // during the breath.
      if (started[i]) std::this_thread::sleep_for(kBetweenPictures);
    }
  } catch (...) {
    ended = true;
    pool.Wake();
    pool.Join(*preparer);
    throw;
  }
  ended = true;
  pool.Wake();
  pool.Join(*preparer);
  return !stopped;
}

}  // namespace engine

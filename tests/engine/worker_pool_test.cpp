#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "engine/WorkerPool.h"

namespace {

// A batch on the pool: `pictures` tasks on `threads` threads, each running
// its parts as a nested job asking for `part_threads`. The pool is the
// test's own, so every thread it starts is counted.
struct NestedCase {
  int pictures;
  int threads;
  int part_threads;
  int most_threads;  // threads ever seen, the caller included
  int spare_help;    // parts at once that show spare threads helping; 0: none expected
};

class NestedJobs : public testing::TestWithParam<NestedCase> {};

TEST_P(NestedJobs, StayWithinTheThreadsAndNeverWaitOnEachOther) {
  const NestedCase c = GetParam();
  engine::WorkerPool pool;
  std::mutex mutex;
  std::set<std::thread::id> seen;
  std::atomic<int> running{0}, peak{0}, parts_done{0};
  pool.Run(c.pictures, c.threads, img::NullProgress(), [&](std::size_t, const auto&) {
    pool.Run(12, c.part_threads, img::NullProgress(), [&](std::size_t, const auto&) {
      {
        std::lock_guard lock(mutex);
        seen.insert(std::this_thread::get_id());
      }
      const int now = ++running;
      int was = peak.load();
      while (now > was && !peak.compare_exchange_weak(was, now)) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(4));
      --running;
      ++parts_done;
    });
  });
  EXPECT_EQ(parts_done.load(), 12 * c.pictures);
  EXPECT_LE(static_cast<int>(seen.size()), c.most_threads);
  EXPECT_LE(peak.load(), c.most_threads);
  if (c.spare_help) {
    EXPECT_GE(peak.load(), c.spare_help);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Batch, NestedJobs,
    testing::Values(NestedCase{2, 2, 4, 4, 3},   // fewer pictures than threads: the spare ones help
                    NestedCase{6, 2, 2, 2, 0},   // no worker free: each picture runs its own parts
                    NestedCase{6, 3, 1, 3, 0},   // one thread per picture
                    NestedCase{1, 1, 3, 3, 2})); // one picture on the caller, its parts on three

}  // namespace

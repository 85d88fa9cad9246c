#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "ParamNames.h"
#include "engine/threads/WorkerPool.h"

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
  friend void PrintTo(const NestedCase& c, std::ostream* os) {
    *os << c.pictures << " pictures on " << c.threads << " threads, parts on " << c.part_threads;
  }
};

class NestedJobs : public testing::TestWithParam<NestedCase> {};

TEST_P(NestedJobs, StayWithinTheThreadsAndNeverWaitOnEachOther) {
  const NestedCase c = GetParam();
  engine::WorkerPool pool;
  std::mutex mutex;
  std::set<std::thread::id> seen;
  std::atomic<int> running{0}, peak{0}, parts_done{0};
  pool.Run(c.pictures, c.threads, [&](std::size_t) {
    pool.Run(12, c.part_threads, [&](std::size_t) {
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
                    NestedCase{1, 1, 3, 3, 2}),  // one picture on the caller, its parts on three
    testsupport::ByValue());

}  // namespace

namespace {

// Tasks with needs on a budget: what runs at once never needs more than the
// budget, except one oversized task alone; the first tasks that fit it
// together do run side by side; no task starts before an earlier oversized
// one has ended (no overtaking); all run.
struct BudgetCase {
  std::vector<std::uint64_t> needs;
  std::uint64_t limit;
  int threads;
  int together;  // the first tasks that must all be running at once
  friend void PrintTo(const BudgetCase& c, std::ostream* os) {
    *os << "needs";
    for (std::uint64_t n : c.needs) *os << " " << n;
    *os << " within " << c.limit << " on " << c.threads << " threads";
  }
};

class BudgetedJobs : public testing::TestWithParam<BudgetCase> {};

TEST_P(BudgetedJobs, StayWithinTheBudgetInOrderAndAllRun) {
  const BudgetCase c = GetParam();
  engine::WorkerPool pool;
  std::mutex mutex;
  std::condition_variable arrived;
  std::uint64_t in_flight = 0;
  int running = 0, met = 0;
  std::vector<bool> ended(c.needs.size());
  std::atomic<int> parts_done{0}, parts_peak{0}, parts_running{0};
  pool.Run(
      c.needs.size(), c.threads,
      [&](std::size_t i) {
        {
          std::lock_guard lock(mutex);
          in_flight += c.needs[i];
          ++running;
          EXPECT_TRUE(in_flight <= c.limit || running == 1) << "task " << i << " with " << in_flight;
          for (std::size_t k = 0; k < i; ++k) {
            if (c.needs[k] > c.limit) {
              EXPECT_TRUE(ended[k]) << "task " << i << " overtook " << k;
            }
          }
        }
        if (i < static_cast<std::size_t>(c.together)) {
          // Each waits for the others, a while at most: they fit the budget together.
          std::unique_lock lock(mutex);
          ++met;
          arrived.notify_all();
          EXPECT_TRUE(arrived.wait_for(lock, std::chrono::seconds(10), [&] { return met == c.together; }))
              << "task " << i << " ran without the tasks beside it";
        }
        // A picture's parts: a nested job, held back by no budget, helped
        // by the threads the budget keeps idle.
        pool.Run(6, c.threads, [&](std::size_t) {
          const int now = ++parts_running;
          int was = parts_peak.load();
          while (now > was && !parts_peak.compare_exchange_weak(was, now)) {
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(3));
          --parts_running;
          ++parts_done;
        });
        std::lock_guard lock(mutex);
        in_flight -= c.needs[i];
        --running;
        ended[i] = true;
      },
      engine::WorkerPool::Budget{c.needs, c.limit});
  EXPECT_EQ(std::count(ended.begin(), ended.end(), true), static_cast<long>(c.needs.size()));
  EXPECT_EQ(parts_done.load(), 6 * static_cast<int>(c.needs.size()));
  EXPECT_GE(parts_peak.load(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Needs, BudgetedJobs,
    testing::Values(BudgetCase{{3, 3, 3, 3, 3, 3, 3}, 7, 4, 2},   // two at a time
                    BudgetCase{{3, 4, 3, 4}, 7, 3, 2},            // two that need the budget exactly
                    BudgetCase{{2, 9, 2, 2, 9, 1}, 5, 3, 1},      // the nines over the budget run alone
                    BudgetCase{{5, 5, 5, 5}, 4, 3, 1},            // every task alone
                    BudgetCase{{1, 1, 1, 1, 1, 1}, 100, 3, 3}),   // room for all
    testsupport::ByValue());

}  // namespace

namespace {

// Needs told on the way: each task's before it starts, only a few ahead of
// the tasks started (a long list starts at once), and what runs together
// still fits the budget.
struct ToldCase {
  const char* name;
  std::vector<std::uint64_t> needs;
  std::uint64_t limit;
  int threads;
  friend void PrintTo(const ToldCase& c, std::ostream* os) { *os << c.name; }
};

class ToldBudgets : public testing::TestWithParam<ToldCase> {};

TEST_P(ToldBudgets, EachNeedIsToldJustBeforeItsTaskAndHeld) {
  const ToldCase c = GetParam();
  engine::WorkerPool pool;
  std::mutex mutex;
  std::vector<bool> told(c.needs.size()), ended(c.needs.size());
  std::size_t told_count = 0, started = 0;
  std::uint64_t in_flight = 0;
  int running = 0;
  pool.Run(
      c.needs.size(), c.threads,
      [&](std::size_t i) {
        {
          std::lock_guard lock(mutex);
          EXPECT_TRUE(told[i]) << "task " << i << " started untold";
          // Tasks claimed beside this one may not have come this far yet.
          EXPECT_LE(told_count, ++started + 2 * c.threads) << "told far ahead of task " << i;
          in_flight += c.needs[i];
          ++running;
          EXPECT_TRUE(in_flight <= c.limit || running == 1) << "task " << i << " with " << in_flight;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::lock_guard lock(mutex);
        in_flight -= c.needs[i];
        --running;
        ended[i] = true;
      },
      engine::WorkerPool::Budget(
          [&](std::size_t i) {
            std::lock_guard lock(mutex);
            told[i] = true;
            ++told_count;
            return c.needs[i];
          },
          c.limit));
  EXPECT_EQ(std::count(ended.begin(), ended.end(), true), static_cast<long>(c.needs.size()));
  EXPECT_EQ(told_count, c.needs.size());
}

INSTANTIATE_TEST_SUITE_P(
    Needs, ToldBudgets,
    testing::Values(ToldCase{"TwoAtATime", std::vector<std::uint64_t>(40, 3), 7, 3},
                    ToldCase{"OversizedAlone", {2, 9, 2, 2, 9, 1, 2, 2}, 5, 3},
                    ToldCase{"RoomForAll", std::vector<std::uint64_t>(40, 1), 100, 4},
                    ToldCase{"OneThread", {5, 1, 9}, 4, 1}),
    [](const testing::TestParamInfo<ToldCase>& info) { return std::string(info.param.name); });

}  // namespace

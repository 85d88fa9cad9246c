#include "engine/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <system_error>

namespace engine {

namespace {

constexpr int kMaxThreads = 64;

int DefaultThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMaxThreads));
}

std::atomic<int>& ThreadSetting() {
  static std::atomic<int> threads{DefaultThreads()};
  return threads;
}

}  // namespace

void SetPictureThreads(int threads) { ThreadSetting() = std::clamp(threads, 1, kMaxThreads); }

int PictureThreads() { return ThreadSetting(); }

struct WorkerPool::Job {
  std::size_t count = 0;
  const Task* task = nullptr;
  int max_helpers = 0;
  Budget budget;
  // All below guarded by the pool's mutex.
  std::size_t next = 0;
  std::size_t running = 0;
  std::uint64_t in_flight = 0;  // needs of the running tasks
  int helpers = 0;
  bool failed = false;
  std::exception_ptr error;

  bool HasWork() const { return !failed && next < count; }
  bool Admits() const {
    if (budget.need.empty() || running == 0) return true;
    // in_flight may exceed the limit only while a single oversized task runs.
    return in_flight <= budget.limit && budget.need[next] <= budget.limit - in_flight;
  }
  bool CanStart() const { return HasWork() && Admits(); }
};

WorkerPool& WorkerPool::Shared() {
  static WorkerPool pool;
  return pool;
}

WorkerPool::WorkerPool() = default;

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void WorkerPool::EnsureWorkers(int count) {
  std::lock_guard lock(mutex_);
  while (static_cast<int>(workers_.size()) < count) {
    try {
      workers_.emplace_back([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
      // No more threads to be had: the caller and whatever workers there
      // are still get the job done.
      return;
    }
  }
}

bool WorkerPool::Claim(Job& job, std::size_t& index) {
  if (!job.CanStart()) return false;
  index = job.next++;
  ++job.running;
  if (!job.budget.need.empty()) job.in_flight += job.budget.need[index];
  return true;
}

void WorkerPool::Finish(Job& job, std::size_t index, std::exception_ptr error) {
  --job.running;
  if (error && !job.failed) {
    job.failed = true;
    job.error = error;
  }
  if (job.budget.need.empty()) return;
  job.in_flight -= job.budget.need[index];
  // Room for the next task: a worker waiting for work or the caller may take it.
  wake_.notify_all();
  done_.notify_all();
}

void WorkerPool::WorkerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    Job* job = nullptr;
    wake_.wait(lock, [&] {
      if (stop_) return true;
      for (Job* candidate : jobs_)
        if (candidate->CanStart() && candidate->helpers < candidate->max_helpers) {
          job = candidate;
          return true;
        }
      return false;
    });
    if (stop_) return;
    ++job->helpers;
    std::size_t index = 0;
    while (Claim(*job, index)) {
      lock.unlock();
      std::exception_ptr error;
      try {
        (*job->task)(index);
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      Finish(*job, index, error);
    }
    --job->helpers;
    done_.notify_all();
  }
}

void WorkerPool::Run(std::size_t count, int threads, const Task& task) { Run(count, threads, task, Budget{}); }

void WorkerPool::Run(std::size_t count, int threads, const Task& task, const Budget& budget) {
  threads = std::clamp(threads, 1, kMaxThreads);
  if (count == 0) return;
  // One task at a time never goes over a budget: one task may always run.
  if (threads == 1 || count == 1) {
    for (std::size_t i = 0; i < count; ++i) task(i);
    return;
  }

  Job job;
  job.count = count;
  job.task = &task;
  job.max_helpers = threads - 1;
  if (budget.need.size() >= count) job.budget = budget;
  EnsureWorkers(threads - 1);
  std::unique_lock lock(mutex_);
  jobs_.push_back(&job);
  wake_.notify_all();

  // The caller runs tasks while it may start them, and waits while the
  // budget holds the next one back or workers still hold the job (it lives
  // on this stack).
  for (;;) {
    std::size_t index = 0;
    while (Claim(job, index)) {
      lock.unlock();
      std::exception_ptr error;
      try {
        task(index);
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      Finish(job, index, error);
    }
    if (!job.HasWork() && job.running == 0 && job.helpers == 0) break;
    done_.wait(lock, [&] { return job.CanStart() || (!job.HasWork() && job.running == 0 && job.helpers == 0); });
  }
  jobs_.remove(&job);
  lock.unlock();
  if (job.error) std::rethrow_exception(job.error);
}

}  // namespace engine

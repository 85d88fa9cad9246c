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
  const std::function<void(std::size_t, const Yield&)>* task = nullptr;
  int max_helpers = 0;
  // All below guarded by the pool's mutex.
  std::size_t next = 0;
  std::size_t running = 0;
  int helpers = 0;
  bool failed = false;
  std::exception_ptr error;

  bool HasWork() const { return !failed && next < count; }
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
  if (!job.HasWork()) return false;
  index = job.next++;
  ++job.running;
  return true;
}

void WorkerPool::WorkerLoop() {
  const Yield no_yield = [] {};
  std::unique_lock lock(mutex_);
  for (;;) {
    Job* job = nullptr;
    wake_.wait(lock, [&] {
      if (stop_) return true;
      for (Job* candidate : jobs_)
        if (candidate->HasWork() && candidate->helpers < candidate->max_helpers) {
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
        (*job->task)(index, no_yield);
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      --job->running;
      if (error && !job->failed) {
        job->failed = true;
        job->error = error;
      }
    }
    --job->helpers;
    done_.notify_all();
  }
}

void WorkerPool::Run(std::size_t count, int threads, img::ProgressSink& sink,
                     const std::function<void(std::size_t, const Yield&)>& task) {
  img::PacedPumps pumper(sink);
  const Yield yield = [&pumper] { pumper.PumpIfDue(); };
  threads = std::clamp(threads, 1, kMaxThreads);
  if (count == 0) return;
  if (threads == 1 || count == 1) {
    for (std::size_t i = 0; i < count; ++i) task(i, yield);
    return;
  }

  Job job;
  job.count = count;
  job.task = &task;
  job.max_helpers = threads - 1;
  EnsureWorkers(threads - 1);
  std::unique_lock lock(mutex_);
  jobs_.push_back(&job);
  wake_.notify_all();

  std::size_t index = 0;
  while (Claim(job, index)) {
    lock.unlock();
    std::exception_ptr error;
    try {
      task(index, yield);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    --job.running;
    if (error && !job.failed) {
      job.failed = true;
      job.error = error;
    }
  }

  // The job lives on this stack: leave only once no worker holds it.
  while (job.running > 0 || job.helpers > 0) {
    done_.wait_for(lock, std::chrono::milliseconds(kPumpIntervalMs / 2));
    if (job.running == 0 && job.helpers == 0) break;
    lock.unlock();
    std::exception_ptr error;
    try {
      pumper.PumpIfDue();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (error && !job.failed) {
      job.failed = true;
      job.error = error;
    }
  }
  jobs_.remove(&job);
  lock.unlock();
  if (job.error) std::rethrow_exception(job.error);
}

}  // namespace engine

#include "engine/threads/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <system_error>

#include "engine/threads/ThreadPriority.h"

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

std::atomic<bool>& WorkersBelowNormal() {
  static std::atomic<bool> below{false};
  return below;
}

// The job whose task the calling thread runs; 0 outside any.
thread_local std::uint64_t t_current_job = 0;

// Runs one task with the thread's current job set to its job.
template <typename F>
std::exception_ptr RunAsJob(std::uint64_t job, F&& f) {
  const std::uint64_t outer = t_current_job;
  t_current_job = job;
  std::exception_ptr error;
  try {
    f();
  } catch (...) {
    error = std::current_exception();
  }
  t_current_job = outer;
  return error;
}

}  // namespace

void SetWorkersBelowNormal(bool below) { WorkersBelowNormal() = below; }

void SetPictureThreads(int threads) { ThreadSetting() = std::clamp(threads, 1, kMaxThreads); }

int PictureThreads() { return ThreadSetting(); }

struct WorkerPool::Job {
  std::uint64_t id = 0;  // jobs started later have larger ids
  bool detached = false;  // Start's: only workers run it
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
  // The needs budget.tell has told: tasks [0, told) all are, and
  // [told, telling) are being told or some of them are.
  std::vector<std::uint64_t> told_need;
  std::vector<char> is_told;
  std::size_t told = 0, telling = 0;
  int tellers = 0;

  bool Limited() const { return !budget.need.empty() || budget.tell; }
  std::uint64_t Need(std::size_t i) const { return budget.tell ? told_need[i] : budget.need[i]; }
  bool HasWork() const { return !failed && next < count; }
  bool Admits() const {
    if (!Limited()) return true;
    if (budget.tell && next >= told) return false;
    if (running == 0) return true;
    // in_flight may exceed the limit only while a single oversized task runs.
    return in_flight <= budget.limit && Need(next) <= budget.limit - in_flight;
  }
  bool CanStart() const { return HasWork() && Admits(); }
  // Needs are told no further ahead than the job's threads can start.
  bool CanTell() const {
    return budget.tell && !failed && telling < count && telling < next + static_cast<std::size_t>(max_helpers) + 1;
  }
  bool CanHelp() const { return CanStart() || CanTell(); }
  // Nothing left to start and nobody at it: its caller may go.
  bool Done() const { return !HasWork() && running == 0 && helpers == 0 && tellers == 0; }
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
      workers_.emplace_back([this, below = WorkersBelowNormal().load()] {
        if (below) LowerThisThreadPriority();
        WorkerLoop();
      });
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
  if (job.Limited()) job.in_flight += job.Need(index);
  return true;
}

bool WorkerPool::TellOnce(Job& job, std::unique_lock<std::mutex>& lock) {
  if (!job.CanTell()) return false;
  const std::size_t index = job.telling++;
  ++job.tellers;
  lock.unlock();
  std::uint64_t need = 0;
  const std::exception_ptr error = RunAsJob(job.id, [&] { need = job.budget.tell(index); });
  lock.lock();
  --job.tellers;
  job.told_need[index] = need;
  job.is_told[index] = 1;
  while (job.told < job.count && job.is_told[job.told]) ++job.told;
  if (error && !job.failed) {
    job.failed = true;
    job.error = error;
  }
  // The task told may start now, or the job end.
  wake_.notify_all();
  done_.notify_all();
  return true;
}

void WorkerPool::Finish(Job& job, std::size_t index, std::exception_ptr error) {
  --job.running;
  if (error && !job.failed) {
    job.failed = true;
    job.error = error;
  }
  if (!job.Limited()) return;
  job.in_flight -= job.Need(index);
  // Room for the next task: a worker waiting for work or the caller may take it.
  wake_.notify_all();
  done_.notify_all();
}

void WorkerPool::WorkerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    Job* job = nullptr;
    ++idle_;
    wake_.wait(lock, [&] {
      if (stop_) return true;
      for (Job* candidate : jobs_)
        if (candidate->CanHelp() && candidate->helpers < candidate->max_helpers) {
          job = candidate;
          return true;
        }
      return false;
    });
    --idle_;
    if (stop_) return;
    ++job->helpers;
    for (;;) {
      std::size_t index = 0;
      if (Claim(*job, index)) {
        lock.unlock();
        const std::exception_ptr error = RunAsJob(job->id, [&] { (*job->task)(index); });
        lock.lock();
        Finish(*job, index, error);
      } else if (!TellOnce(*job, lock)) {
        break;
      }
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
    for (std::size_t i = 0; i < count; ++i) {
      if (budget.tell) budget.tell(i);
      task(i);
    }
    return;
  }

  Job job;
  job.count = count;
  job.task = &task;
  job.max_helpers = threads - 1;
  if (budget.tell) {
    job.budget = budget;
    job.told_need.assign(count, 0);
    job.is_told.assign(count, 0);
  } else if (budget.need.size() >= count) {
    job.budget = budget;
  }
  EnsureWorkers(threads - 1);
  std::unique_lock lock(mutex_);
  job.id = next_id_++;
  jobs_.push_back(&job);
  wake_.notify_all();
  done_.notify_all();  // threads waiting may help this one

  // While waiting, the caller helps jobs started after this one.
  const std::uint64_t outer = t_current_job;
  t_current_job = job.id;

  // The caller runs tasks while it may start them, tells needs while there
  // are any to tell, and waits while the budget holds the next one back or
  // workers still hold the job (it lives on this stack). Meanwhile it helps
  // the jobs its tasks started on workers, one task at a time, as a worker
  // would.
  for (;;) {
    std::size_t index = 0;
    while (Claim(job, index)) {
      lock.unlock();
      const std::exception_ptr error = RunAsJob(job.id, [&] { task(index); });
      lock.lock();
      Finish(job, index, error);
    }
    if (TellOnce(job, lock)) continue;
    if (job.Done()) break;
    if (Job* other = NewerWork()) {
      HelpOnce(*other, lock);
      continue;
    }
    done_.wait(lock, [&] { return job.CanHelp() || job.Done() || NewerWork() != nullptr; });
  }
  t_current_job = outer;
  jobs_.remove(&job);
  lock.unlock();
  if (job.error) std::rethrow_exception(job.error);
}

WorkerPool::Job* WorkerPool::NewerWork() {
  for (Job* candidate : jobs_)
    if (candidate->id > t_current_job && !candidate->detached && candidate->CanHelp() &&
        candidate->helpers < candidate->max_helpers)
      return candidate;
  return nullptr;
}

void WorkerPool::HelpOnce(Job& job, std::unique_lock<std::mutex>& lock) {
  ++job.helpers;
  std::size_t index = 0;
  if (Claim(job, index)) {
    lock.unlock();
    const std::exception_ptr error = RunAsJob(job.id, [&] { (*job.task)(index); });
    lock.lock();
    Finish(job, index, error);
  } else {
    TellOnce(job, lock);
  }
  --job.helpers;
  done_.notify_all();
}

void WorkerPool::WaitHelping(const std::function<bool()>& ready) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (ready()) return;
    if (Job* other = NewerWork()) {
      HelpOnce(*other, lock);
      continue;
    }
    done_.wait(lock, [&] { return ready() || NewerWork() != nullptr; });
  }
}

void WorkerPool::Wake() {
  std::lock_guard lock(mutex_);
  done_.notify_all();
}

class WorkerPool::Started {
 public:
  explicit Started(std::function<void()> task) : body([t = std::move(task)](std::size_t) { t(); }) {}
  Task body;
  Job job;
};

std::shared_ptr<WorkerPool::Started> WorkerPool::Start(std::function<void()> task) {
  auto started = std::make_shared<Started>(std::move(task));
  Job& job = started->job;
  job.count = 1;
  job.task = &started->body;
  job.max_helpers = 1;
  job.detached = true;
  int workers_wanted = 0;  // one more than now when none is idle to take it
  {
    std::lock_guard lock(mutex_);
    job.id = next_id_++;
    jobs_.push_back(&job);
    if (idle_ == 0) workers_wanted = static_cast<int>(workers_.size()) + 1;
  }
  if (workers_wanted > 0) EnsureWorkers(workers_wanted);
  wake_.notify_all();
  return started;
}

void WorkerPool::Join(Started& started) {
  Job& job = started.job;
  WaitHelping([&job] { return job.Done(); });
  std::lock_guard lock(mutex_);
  jobs_.remove(&job);
  if (job.error) std::rethrow_exception(job.error);
}

}  // namespace engine

#pragma once
// The one pool of worker threads in the process. Everything that runs on
// several threads goes through it: a batch's pictures, and the parts of each
// picture (its PNG deflate, its turn; see PoolParts.h). The calling thread
// takes part in its own job: k threads means k - 1 pool workers plus the
// caller, and the pool never holds more workers than the largest job asked
// for, so a batch that asks for N threads everywhere runs on N.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "imaging/ParallelParts.h"

namespace engine {

// Threads the parts of one picture (a PNG write, a right-angle turn) use,
// caller included, where the caller names no number itself (the window's
// converter, the codec objects on their own). Values below 1 count as 1. The
// default is the number of cores.
void SetPictureThreads(int threads);
int PictureThreads();

// Workers started from now on run a notch below normal priority
// (ThreadPriority.h): set by the window, whose runs it only watches.
void SetWorkersBelowNormal(bool below);

class WorkerPool {
 public:
  // The process's pool; its threads start on first use.
  static WorkerPool& Shared();

  WorkerPool();
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  using Task = std::function<void(std::size_t)>;

  // Runs task(i) for every i in [0, count) on at most `threads` threads
  // (the caller and up to threads - 1 workers) and returns when all are
  // done. The first exception thrown by a task is
  // rethrown here once every task already started has ended; tasks not yet
  // started are skipped.
  //
  // While its job's last tasks run on workers, the caller helps the jobs
  // started after its own (their parts), a task at a time.
  //
  // Jobs nest: a task (a batch's picture) may start another Run
  // (the picture's parts). The nested caller runs its own job's tasks, so a
  // nested job ends even when no worker is free; workers with nothing left
  // of the jobs before it help it. Tasks start in index order, each through
  // one admission step taken under the pool's lock (Claim), where a budget
  // holds a task back.
  void Run(std::size_t count, int threads, const Task& task);

  // What a job's tasks may hold at once (memory, say): task i needs need[i]
  // and starts only while that fits beside the needs of the job's tasks
  // running, or when none of them runs, so a task larger than the whole
  // limit runs alone and is never refused. A held-back task also holds back
  // the tasks after it (no overtaking); idle threads help other jobs
  // meanwhile, and a task's end wakes those waiting. Only the job given the
  // budget is held back: the jobs its tasks start carry none of their own.
  //
  // With tell, the needs are not known beforehand: tell(i) says task i's,
  // called once for each task before it starts, on the job's threads and
  // outside the pool's lock, several at once, never more than `threads`
  // tasks ahead of the next to start. So the first task starts as soon as
  // its own need is told, however many tasks follow. What tell throws ends
  // the job as a task's exception does.
  struct Budget {
    Budget() = default;
    Budget(std::span<const std::uint64_t> needs, std::uint64_t most) : need(needs), limit(most) {}
    Budget(std::function<std::uint64_t(std::size_t)> told, std::uint64_t most) : limit(most), tell(std::move(told)) {}

    std::span<const std::uint64_t> need;  // one per task; empty: no limit
    std::uint64_t limit = 0;
    std::function<std::uint64_t(std::size_t)> tell;  // in place of need
  };
  void Run(std::size_t count, int threads, const Task& task, const Budget& budget);

  // A task started on a worker of its own while the caller goes on (a
  // worker is added when none is idle); Join waits for it, helping as
  // WaitHelping does, and rethrows what it threw. Only workers run it.
  class Started;
  std::shared_ptr<Started> Start(std::function<void()> task);
  void Join(Started& started);

  // Waits until ready() is true, meanwhile running tasks of the jobs
  // started after the job the calling thread works for (its own parts, or
  // those of a task beside it), one at a time. ready() is called under the
  // pool's lock and must take no lock of its own (read atomics); whoever
  // makes it true calls Wake().
  void WaitHelping(const std::function<bool()>& ready);
  void Wake();

 private:
  struct Job;
  // Under lock: a job started after the calling thread's own with a task
  // for it to help with; nullptr when none.
  Job* NewerWork();
  // Under lock: runs one task of job on the calling thread, as its helper.
  void HelpOnce(Job& job, std::unique_lock<std::mutex>& lock);

  void EnsureWorkers(int count);
  void WorkerLoop();
  // Admits the next task of job under lock; false when none is left or
  // the budget holds it back.
  static bool Claim(Job& job, std::size_t& index);
  // Under lock: tells the need of the job's first task not yet being told,
  // if it is near enough, the lock released meanwhile; false when there was
  // none to tell.
  bool TellOnce(Job& job, std::unique_lock<std::mutex>& lock);
  // Ends task index of job under lock: its need released, its error kept.
  void Finish(Job& job, std::size_t index, std::exception_ptr error);

  std::mutex mutex_;
  std::condition_variable wake_;  // workers: a job arrived, a budget freed up, or stop
  std::condition_variable done_;  // callers: a task ended
  std::list<Job*> jobs_;
  std::vector<std::thread> workers_;
  int idle_ = 0;  // workers waiting for work
  std::uint64_t next_id_ = 1;
  bool stop_ = false;
};

}  // namespace engine

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
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "imaging/ParallelParts.h"

namespace engine {

// Threads the parts of one picture (a PNG write, a right-angle turn) use,
// caller included, where the caller names no number itself (the window's
// converter, the codec objects on their own). Values below 1 count as 1. The
// default is the number of cores.
void SetPictureThreads(int threads);
int PictureThreads();

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
  struct Budget {
    std::span<const std::uint64_t> need;  // one per task; empty: no limit
    std::uint64_t limit = 0;
  };
  void Run(std::size_t count, int threads, const Task& task, const Budget& budget);

 private:
  struct Job;

  void EnsureWorkers(int count);
  void WorkerLoop();
  // Admits the next task of job under lock; false when none is left or
  // the budget holds it back.
  static bool Claim(Job& job, std::size_t& index);
  // Ends task index of job under lock: its need released, its error kept.
  void Finish(Job& job, std::size_t index, std::exception_ptr error);

  std::mutex mutex_;
  std::condition_variable wake_;  // workers: a job arrived, a budget freed up, or stop
  std::condition_variable done_;  // callers: a task ended
  std::list<Job*> jobs_;
  std::vector<std::thread> workers_;
  bool stop_ = false;
};

}  // namespace engine

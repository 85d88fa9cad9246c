#pragma once
// A small pool of worker threads, created once and shared by every writer in
// the process, so parallel encoders never add up to more threads than cores.
// The calling thread takes part in its own job: k threads means k - 1 pool
// workers plus the caller.

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/ProgressSink.h"

namespace engine {

// Threads the work on one picture (a PNG write, a right-angle turn) may use,
// caller included. Process-wide; a batch tool running several pictures at
// once shares its threads out among them. Values below 1 count as 1. The
// default is the number of cores.
void SetPictureThreads(int threads);
int PictureThreads();

// Runs task(i) for every i in [0, count) on PictureThreads() threads of the
// shared pool, the caller pumping sink's events between its own tasks.
void RunPictureTasks(std::size_t count, img::ProgressSink& sink,
                     const std::function<void(std::size_t)>& task);

class WorkerPool {
 public:
  // The process's pool; its threads start on first use.
  static WorkerPool& Shared();

  WorkerPool();
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Gives a task run on the caller a chance to let the window breathe: it
  // pumps events through the sink when enough time has passed since the
  // last pump. Workers get a no-op.
  using Yield = std::function<void()>;

  // Runs task(i, yield) for every i in [0, count) on at most `threads`
  // threads (the caller and up to threads - 1 workers) and returns when all
  // are done. While it waits for workers the caller pumps sink's events
  // every few tens of milliseconds. The first exception thrown by a task is
  // rethrown here once every task already started has ended; tasks not yet
  // started are skipped. A pump may start another Run: jobs queue up and
  // the nested caller does its own job's tasks.
  void Run(std::size_t count, int threads, img::ProgressSink& sink,
           const std::function<void(std::size_t, const Yield&)>& task);

  // Pump interval while the caller waits or works.
  static constexpr int kPumpIntervalMs = 30;

 private:
  struct Job;

  void EnsureWorkers(int count);
  void WorkerLoop();
  // Claims the next task of job under lock; false when none is left.
  static bool Claim(Job& job, std::size_t& index);

  std::mutex mutex_;
  std::condition_variable wake_;  // workers: a job arrived or stop
  std::condition_variable done_;  // callers: a task ended
  std::list<Job*> jobs_;
  std::vector<std::thread> workers_;
  bool stop_ = false;
};

}  // namespace engine

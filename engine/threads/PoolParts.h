#pragma once
// A picture's parts on the shared worker pool: the engine's way to run the
// bands of a turn and the chunks of a PNG deflate at once. The caller runs
// parts too.

#include "engine/threads/WorkerPool.h"
#include "imaging/ParallelParts.h"

namespace engine {

class PoolParts final : public img::ParallelParts {
 public:
  // threads: the threads a picture's parts may use, the caller included; 0
  // takes PictureThreads() as it stands at each Run.
  explicit PoolParts(int threads = 0, WorkerPool& pool = WorkerPool::Shared())
      : threads_(threads), pool_(pool) {}

  int Threads() const override;
  void Run(std::size_t count, const Part& part) override;

 private:
  int threads_;
  WorkerPool& pool_;
};

}  // namespace engine

#pragma once
// Where the independent parts of one picture's work run: the bands of a
// right-angle turn, the chunks of a PNG's deflate. The engine runs them on
// its shared worker pool; callers without one take SerialParts, which runs
// them in order on the calling thread.

#include <cstddef>
#include <functional>

namespace img {

class ParallelParts {
 public:
  virtual ~ParallelParts() = default;

  using Part = std::function<void(std::size_t index)>;

  // Threads the parts may run on, the caller included. Work whose result
  // depends on how it is cut (deflate chunk sizes) plans with this number,
  // so the same runner always gives the same bytes.
  virtual int Threads() const = 0;

  // Runs part(i) for every i in [0, count) and returns when all have run.
  // Parts must be independent and must not call back into a progress sink;
  // they may run in any order and at once. The first exception a part
  // throws is rethrown here once every part already started has ended;
  // parts not yet started are skipped.
  virtual void Run(std::size_t count, const Part& part) = 0;
};

// Runs the parts one after the other on the caller.
class SerialParts final : public ParallelParts {
 public:
  int Threads() const override { return 1; }
  void Run(std::size_t count, const Part& part) override;
};

}  // namespace img

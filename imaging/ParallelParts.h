#pragma once
// Where the independent parts of one picture's work run: the bands of a
// right-angle turn, the chunks of a PNG's deflate. The engine runs them on
// its shared worker pool; callers without one take SerialParts, which runs
// them in order on the calling thread and lets the window breathe between
// them.

#include <cstddef>
#include <functional>

#include "imaging/ProgressSink.h"

namespace img {

class ParallelParts {
 public:
  virtual ~ParallelParts() = default;

  // Called by a part between slices of its work: on the thread that asked
  // for the parts it pumps the window's events when enough time has passed;
  // on any other thread it does nothing.
  using Yield = std::function<void()>;
  using Part = std::function<void(std::size_t index, const Yield& yield)>;

  // Threads the parts may run on, the caller included. Work whose result
  // depends on how it is cut (deflate chunk sizes) plans with this number,
  // so the same runner always gives the same bytes.
  virtual int Threads() const = 0;

  // Runs part(i, yield) for every i in [0, count) and returns when all have
  // run, letting the window breathe between the parts it runs on the caller.
  // Parts must be independent and must not call back into a progress sink;
  // they may run in any order and at once. The first exception a part
  // throws is rethrown here once every part already started has ended;
  // parts not yet started are skipped.
  virtual void Run(std::size_t count, const Part& part) = 0;
};

// Runs the parts one after the other on the caller, pumping sink's events
// after each and, through yield, every few tens of milliseconds within one.
class SerialParts final : public ParallelParts {
 public:
  explicit SerialParts(ProgressSink& sink = NullProgress()) : sink_(sink) {}
  int Threads() const override { return 1; }
  void Run(std::size_t count, const Part& part) override;

 private:
  ProgressSink& sink_;
};

}  // namespace img

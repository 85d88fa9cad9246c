#pragma once
// What long pixel operations report to whoever runs them: a progress step,
// a chance for the window to handle pending events, and a short pause. The
// window forwards these to its progress bar and event loop; a batch tool or a
// test may ignore them. Where the parts of an operation run is another
// interface's concern (ParallelParts.h).

#include <chrono>

namespace img {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void StepProgress() {}
  virtual void PumpEvents() {}
  virtual void Pause(int /*milliseconds*/) {}
};

// A sink that does nothing, for callers without a window.
inline ProgressSink& NullProgress() {
  static ProgressSink sink;
  return sink;
}

// Pumps a sink's events at most every kIntervalMs, for work that offers many
// chances to pump and should not spend its time in the event loop.
class PacedPumps {
 public:
  static constexpr int kIntervalMs = 30;

  explicit PacedPumps(ProgressSink& sink) : sink_(sink), last_(Clock::now()) {}
  void PumpIfDue() {
    if (Clock::now() - last_ >= std::chrono::milliseconds(kIntervalMs)) {
      sink_.PumpEvents();
      last_ = Clock::now();
    }
  }

 private:
  using Clock = std::chrono::steady_clock;
  ProgressSink& sink_;
  Clock::time_point last_;
};

}  // namespace img

#pragma once
// What long pixel operations report to whoever runs them: a progress step,
// a chance for the window to handle pending events, and a short pause. The
// window forwards these to its progress bar and event loop; a batch tool or a
// test may ignore them. Operations that split into independent parts hand
// them to RunTasks, which a host may spread over several threads.

#include <cstddef>
#include <functional>

namespace img {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void StepProgress() {}
  virtual void PumpEvents() {}
  virtual void Pause(int /*milliseconds*/) {}

  // Runs task(i) for every i in [0, count) and returns when all are done.
  // Tasks must be independent and must not call back into the sink; they
  // may run in any order and at once. This one runs them in order on the
  // caller, pumping events after each.
  virtual void RunTasks(std::size_t count, const std::function<void(std::size_t)>& task) {
    for (std::size_t i = 0; i < count; ++i) {
      task(i);
      PumpEvents();
    }
  }
};

// A sink that does nothing, for callers without a window.
inline ProgressSink& NullProgress() {
  static ProgressSink sink;
  return sink;
}

}  // namespace img

#pragma once
// What long pixel operations report to whoever runs them: a progress step,
// a chance for the window to handle pending events, and a short pause. The
// window forwards these to its progress bar and event loop; a batch tool or a
// test may ignore them.

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

}  // namespace img

#pragma once
// What long pixel operations report to whoever runs them: a progress step.
// The window forwards it to its progress bar, from whichever thread the
// work runs on; a batch tool or a test may ignore it. Where the parts of an
// operation run is another interface's concern (ParallelParts.h).

namespace img {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Called on the thread doing the work: an implementation that touches a
  // window hands the step to the window's own thread.
  virtual void StepProgress() {}
};

// A sink that does nothing, for callers without a window.
inline ProgressSink& NullProgress() {
  static ProgressSink sink;
  return sink;
}

}  // namespace img

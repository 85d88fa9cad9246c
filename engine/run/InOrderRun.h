#pragma once
// A run's pictures converted one after the other in listing order, with the
// next pictures (up to two) decoded, shrunk and turned while the current one
// is written, on the shared worker pool. Pictures are written in listing
// order, each picture's kinds side by side; pictures are held at once only
// while their estimated needs fit the memory budget. A picture that needs
// more than the whole budget is converted alone, not refused as imgbatch
// refuses it: the window offers no way to raise the budget, and each of its
// pictures is still held to the pixel limit.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/convert/ConversionCallbacks.h"
#include "engine/convert/PictureConverter.h"
#include "engine/plan/RunPlan.h"

namespace engine {

class InOrderRun {
 public:
  // memoryBudget: bytes the pictures in flight may need together; 0 for no
  // limit. The host gives each picture its options when it starts and hears
  // of its progress and targets, from the pool's threads.
  InOrderRun(ConversionCallbacks& host, std::uint64_t memoryBudget);

  struct Hooks {
    // Asked before each picture is written: true ends the run there, the
    // picture not written.
    std::function<bool()> stop;
    // Asked before a picture is started: false passes over it (a file
    // gone since it was listed).
    std::function<bool(const PlannedPicture&)> wanted;
    // After each picture's targets are written, in listing order.
    std::function<void(const PlannedPicture&, const ConversionReport&)> done;
  };

  // Converts the pictures; false when stop ended the run.
  bool Run(const std::vector<const PlannedPicture*>& pictures, const Hooks& hooks);

 private:
  ConversionCallbacks& host_;
  static constexpr std::size_t kConverters = 3;  // the picture written and two ahead
  std::uint64_t budget_;
  PictureConverter converters_[kConverters];
};

}  // namespace engine

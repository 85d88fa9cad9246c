#pragma once
// What the converter needs from whoever runs it (the main window, the batch
// tool, a test): the options as they stand now, progress steps, event pumps,
// and the converted list to add target names to.

#include "engine/ConversionOptions.h"
#include "engine/PictureList.h"
#include "imaging/ProgressSink.h"

namespace engine {

class ConversionHost : public img::ProgressSink {
 public:
  // Read again at every step that needs an option, so a change made during a
  // conversion applies from the next such step on.
  virtual ConversionOptions Options() = 0;
  // The converted list; nullptr when the host keeps none.
  virtual PictureList* ConvertedList() { return nullptr; }
};

// A host with fixed options and an optional list, for tools and tests.
class FixedOptionsHost : public ConversionHost {
 public:
  explicit FixedOptionsHost(ConversionOptions options = {}, PictureList* list = nullptr)
      : options_(std::move(options)), list_(list) {}
  ConversionOptions Options() override { return options_; }
  PictureList* ConvertedList() override { return list_; }
  ConversionOptions& options() { return options_; }

 private:
  ConversionOptions options_;
  PictureList* list_;
};

}  // namespace engine

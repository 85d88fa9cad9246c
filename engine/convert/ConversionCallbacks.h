#pragma once
// What the converter needs from whoever runs it (the main window, the batch
// tool, a test): the options, progress steps, and word of each target
// written.

#include <string>

#include "engine/convert/ConversionOptions.h"
#include "engine/convert/PictureList.h"
#include "imaging/ProgressSink.h"

namespace engine {

class ConversionCallbacks : public img::ProgressSink {
 public:
  // Read once when a picture starts: a change made during a picture applies
  // from the next one on.
  virtual ConversionOptions Options() = 0;
  // The converted list; nullptr when the host keeps none.
  virtual PictureList* ConvertedList() { return nullptr; }
  // A target was written: by default its name joins the converted list.
  // Called on the thread that wrote it.
  virtual void TargetWritten(const std::string& path) { AddFileNameIfAbsent(path, ConvertedList()); }
};

// A host with fixed options and an optional list, for tools and tests.
class FixedOptionsCallbacks : public ConversionCallbacks {
 public:
  explicit FixedOptionsCallbacks(ConversionOptions options = {}, PictureList* list = nullptr)
      : options_(std::move(options)), list_(list) {}
  ConversionOptions Options() override { return options_; }
  PictureList* ConvertedList() override { return list_; }
  ConversionOptions& options() { return options_; }

 private:
  ConversionOptions options_;
  PictureList* list_;
};

}  // namespace engine

#pragma once
// One picture of a run as the run's plan decided it (plan/RunPlan.h): the
// file to open and each target it is to write, or the reason a target is
// refused. The converter takes it as it is.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/convert/ConversionFailure.h"
#include "engine/formats/PictureFormats.h"

namespace img {
class HeldFolder;
}

namespace engine {

struct PlannedTarget {
  const PictureFormat* format = nullptr;
  std::string path;
  std::optional<ConversionFailure> refusal;  // set: not written, for this reason
};

struct PlannedPicture {
  std::size_t source = 0;  // its index among the sources handed to PlanRun
  std::string path;        // the file to open
  std::string folder;      // where its targets go, ending in a separator
  std::string subfolder;   // the part of folder below the output folder
  bool isPicture = false;  // its extension names a format the converter reads
  bool renamed = false;    // an earlier picture of the run took its plain names
  std::vector<PlannedTarget> targets;  // one per ticked format, in writing order
  // The folder held open for its targets while a run writes them
  // (TargetFolders.h); nullptr: the folder its path names at each write.
  const img::HeldFolder* heldFolder = nullptr;
};

}  // namespace engine

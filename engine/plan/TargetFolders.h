#pragma once
// The folders a run writes into, made where missing and held open from
// before its first write to its last (img::HeldFolder), so a folder swapped
// for a link meanwhile takes none of the run's targets to another place:
// the output folder as its path names it (and as the plan saw it), each
// subfolder below it made and opened without following a link.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "engine/convert/ConversionFailure.h"
#include "engine/plan/RunPlan.h"
#include "platform/HeldFolder.h"

namespace engine {

class TargetFolders {
 public:
  // Makes and holds the folder of every picture of plan and points the
  // picture at it (PlannedPicture::heldFolder); temporaries an interrupted
  // run left there are removed.
  explicit TargetFolders(RunPlan& plan);
  ~TargetFolders();  // the plan's pictures point at no folder again
  TargetFolders(const TargetFolders&) = delete;
  TargetFolders& operator=(const TargetFolders&) = delete;

  // Why picture's folder could not be made or held; nothing when it is held.
  std::optional<ConversionFailure> FailureOf(const PlannedPicture& picture) const;

 private:
  // The output folder with subfolder ("" for itself, else ending in '/').
  const img::HeldFolder* Hold(const std::string& subfolder);

  RunPlan& plan_;
  std::map<std::string, std::unique_ptr<img::HeldFolder>> held_;  // by the folder's text
  std::map<std::string, std::error_code> failed_;
  std::optional<img::FileId> planned_output_;
  std::string output_;
};

// Why folder could not be made, told without making anything: a file in
// the place of it or of a folder above it. For a dry run.
std::optional<std::error_code> FolderBlocked(const std::string& folder);

}  // namespace engine

#include "engine/ExistingTargets.h"

#include <filesystem>

#include "imaging/FileIO.h"

namespace fs = std::filesystem;

namespace engine {

// A path that cannot be looked at is left to the write to report.
bool TargetExists(const std::string& target) {
  std::error_code ec;
  const auto type = fs::symlink_status(img::PathFromUtf8(target), ec).type();
  return type != fs::file_type::not_found && type != fs::file_type::none;
}

bool LeavesTargetAlone(const ConversionOptions& options, const std::string&, const std::string& target) {
  return options.skipExisting && TargetExists(target);
}

}  // namespace engine

#include "engine/ExistingTargets.h"

#include <filesystem>
#include <system_error>

#include "imaging/FileIO.h"

namespace fs = std::filesystem;

namespace engine {

// A path that cannot be looked at is left to the write to report.
bool TargetExists(const std::string& target) {
  std::error_code ec;
  const auto type = fs::symlink_status(img::PathFromUtf8(target), ec).type();
  return type != fs::file_type::not_found && type != fs::file_type::none;
}

bool LeavesTargetAlone(const ConversionOptions& options, const std::string& source, const std::string& target) {
  if (options.skipExisting && TargetExists(target)) return true;
  if (!options.skipUpToDate) return false;
  // A time that cannot be read leaves the target to be written.
  std::error_code source_ec, target_ec;
  const auto source_time = fs::last_write_time(img::PathFromUtf8(source), source_ec);
  const auto target_time = fs::last_write_time(img::PathFromUtf8(target), target_ec);
  return !source_ec && !target_ec && target_time >= source_time;
}

void GiveSourceTime(const std::string& source, const std::string& target) {
  std::error_code ec;
  const auto time = fs::last_write_time(img::PathFromUtf8(source), ec);
  if (!ec) fs::last_write_time(img::PathFromUtf8(target), time, ec);
  if (ec) throw std::system_error(ec);
}

}  // namespace engine

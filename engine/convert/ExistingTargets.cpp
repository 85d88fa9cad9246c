#include "engine/convert/ExistingTargets.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/FileIO.h"

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
  // Only a file of its own is up to date: a link's time is another file's.
  // A time that cannot be read leaves the target to be written.
  std::error_code ec;
  const fs::path target_path = img::PathFromUtf8(target);
  if (fs::symlink_status(target_path, ec).type() != fs::file_type::regular || ec) return false;
  const auto source_time = fs::last_write_time(img::PathFromUtf8(source), ec);
  if (ec) return false;
  const auto target_time = fs::last_write_time(target_path, ec);
  return !ec && UpToDate(source_time, target_time);
}

std::optional<fs::file_time_type> SourceTime(const std::string& source, std::error_code& ec) {
  const auto time = fs::last_write_time(img::PathFromUtf8(source), ec);
  if (ec) return std::nullopt;
  return time;
}

bool UpToDate(fs::file_time_type source, fs::file_time_type target) {
  if (target >= source) return true;
  using std::chrono::milliseconds;
  using std::chrono::seconds;
  const auto since_epoch = std::chrono::file_clock::to_sys(target).time_since_epoch();
  for (const fs::file_time_type::duration step : {fs::file_time_type::duration(seconds(2)),
                                                 fs::file_time_type::duration(seconds(1)),
                                                 fs::file_time_type::duration(milliseconds(10))}) {
    if (since_epoch % step != since_epoch.zero()) continue;
    // source cut to that step, as a file system of that step keeps it
    const auto source_since = std::chrono::file_clock::to_sys(source).time_since_epoch();
    return since_epoch >= std::chrono::floor<fs::file_time_type::duration>(source_since - source_since % step);
  }
  return false;
}

}  // namespace engine

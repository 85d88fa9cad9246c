#include "engine/plan/TargetFolders.h"

#include <filesystem>

#include "platform/TemporaryFiles.h"

namespace fs = std::filesystem;

namespace engine {

namespace {

// "a/b/" as "a/" and "b"; "b/" as "" and "b".
std::pair<std::string, std::string> SplitLast(const std::string& subfolder) {
  std::string rest = subfolder;
  while (!rest.empty() && (rest.back() == '/' || rest.back() == '\\')) rest.pop_back();
  const std::size_t cut = rest.find_last_of("/\\");
  if (cut == std::string::npos) return {"", rest};
  return {rest.substr(0, cut + 1), rest.substr(cut + 1)};
}

}  // namespace

TargetFolders::TargetFolders(RunPlan& plan) : plan_(plan), planned_output_(plan.outputId), output_(plan.outputFolder) {
  for (PlannedPicture& picture : plan.pictures) picture.heldFolder = Hold(picture.subfolder);
}

TargetFolders::~TargetFolders() {
  for (PlannedPicture& picture : plan_.pictures) picture.heldFolder = nullptr;
}

const img::HeldFolder* TargetFolders::Hold(const std::string& subfolder) {
  const std::string folder = output_ + subfolder;
  if (auto it = held_.find(folder); it != held_.end()) return it->second.get();
  if (failed_.count(folder)) return nullptr;
  std::error_code ec;
  std::unique_ptr<img::HeldFolder> held;
  if (subfolder.empty()) {
    // The output folder itself, as the user named it, links followed.
    fs::create_directories(img::PathFromUtf8(folder), ec);
    if (!ec) held = img::HeldFolder::Open(img::PathFromUtf8(folder), ec);
    // The plan checked its targets against what this path named then.
    if (held && planned_output_ && held->Id() != *planned_output_) {
      held.reset();
      ec = std::make_error_code(std::errc::no_such_file_or_directory);
    }
  } else {
    // A subfolder inside its held parent, never through a link.
    const auto [above, name] = SplitLast(subfolder);
    const img::HeldFolder* parent = name.empty() ? nullptr : Hold(above);
    if (parent)
      held = parent->OpenChild(img::PathFromUtf8(name), ec);
    else
      ec = name.empty() ? std::make_error_code(std::errc::invalid_argument) : failed_[output_ + above];
  }
  if (!held) {
    failed_[folder] = ec;
    return nullptr;
  }
  img::RemoveStaleTemporaries(held->Path());
  return held_.emplace(folder, std::move(held)).first->second.get();
}

std::optional<ConversionFailure> TargetFolders::FailureOf(const PlannedPicture& picture) const {
  if (picture.heldFolder) return std::nullopt;
  const auto it = failed_.find(picture.folder);
  const std::error_code why = it != failed_.end() ? it->second : std::make_error_code(std::errc::not_a_directory);
  return ConversionFailure{picture.path, text::FailureCode::FolderNotMade, picture.folder + ": " + why.message(),
                           CauseOf(why)};
}

std::optional<std::error_code> FolderBlocked(const std::string& folder) {
  std::error_code ec;
  fs::path p = fs::absolute(img::PathFromUtf8(folder), ec).lexically_normal();
  if (ec) return ec;
  // The nearest part of the path that exists must be a folder.
  for (;;) {
    const fs::file_status status = fs::status(p, ec);
    if (status.type() != fs::file_type::not_found) {
      if (ec) return ec;
      if (!fs::is_directory(status)) return std::make_error_code(std::errc::not_a_directory);
      return std::nullopt;
    }
    if (p == p.parent_path()) return std::nullopt;
    p = p.parent_path();
  }
}

}  // namespace engine

#include "ui/core/ProgramFolders.h"

#include <atomic>
#include <cstdio>
#include <random>

#include "platform/FileIO.h"
#include "platform/SystemFiles.h"
#include "ui/core/FolderPaths.h"

namespace fs = std::filesystem;

namespace ui {

namespace {

// Permission bits do not tell (root, ACLs, read-only mounts): create and
// remove a probe file instead.
bool CanCreateFilesIn(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return false;
  static std::atomic<unsigned> counter{0};
  const fs::path probe =
      folder / (".imgconvert-probe-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++));
  std::FILE* f = img::OpenNewFile(probe);
  if (!f) return false;
  std::fclose(f);
  fs::remove(probe, ec);
  return true;
}

std::string FolderText(const fs::path& folder) {
  std::string text = img::PathToUtf8(folder.lexically_normal());
  if (text.empty() || text.back() != FolderSeparator()) text += FolderSeparator();
  return text;
}

}  // namespace

fs::path ProgramDataFolder(const fs::path& program_folder) {
  if (CanCreateFilesIn(program_folder)) return program_folder;
  fs::path folder = PerUserDataFolder();
  if (folder.empty()) return {};
  std::error_code ec;
  // When this fails the settings writes fail and say where.
  fs::create_directories(folder, ec);
  return folder;
}

fs::path ProgramDataFolder() { return ProgramDataFolder(ExecutableFolder()); }

fs::path SettingsFilePath(const fs::path& data_folder) {
  return data_folder.empty() ? fs::path() : data_folder / kSettingsFileName;
}

std::string DefaultSourceFolder(const fs::path& data_folder) {
  return data_folder.empty() ? std::string() : FolderText(data_folder / "source");
}

std::string DefaultTargetFolder(const fs::path& data_folder) {
  return data_folder.empty() ? std::string() : FolderText(data_folder / "target");
}

}  // namespace ui

#include "ui/core/SettingsKeys.h"

#include <algorithm>
#include <array>
#include <vector>

#include "ui/core/ProgramFolders.h"
#include "ui/core/WindowOptions.h"

namespace ui::settings {

namespace {

// The keys of no option control; the window's options table holds the others.
constexpr std::array kOtherKeys{kSourcePath, kTargetPath, kFirstRun, kLbDocListInd, kLbTargetInd,
                              kWindowRect, kWindowMaximized, kPaneWidths};

constexpr std::array kFormatCheckBoxKeys{
    kCbJPG, kCbPNG, kCBBMP, kCBJPEG, kCBGIF, kCBICO, kCBEMF, kCBWMF, kCBPCX, kCBTIFF,
};

std::string Section(const Key& key) { return std::string(key.section); }
std::string Name(const Key& key) { return std::string(key.name); }

}  // namespace

std::span<const Key> AllKeys() {
  static const std::vector<Key> keys = [] {
    std::vector<Key> all(kOtherKeys.begin(), kOtherKeys.end());
    for (const WindowOption& option : WindowOptions()) all.push_back(option.key);
    // Grouped by section, as a settings file lists them.
    std::stable_partition(all.begin(), all.end(), [](const Key& key) { return key.section == kSectionDefault; });
    return all;
  }();
  return keys;
}

std::span<const Key> FormatCheckBoxKeys() { return kFormatCheckBoxKeys; }

std::string DefaultText(const Key& key, const std::filesystem::path& data_folder) {
  switch (key.folder_default) {
    case FolderDefault::Source:
      return DefaultSourceFolder(data_folder);
    case FolderDefault::Target:
      return DefaultTargetFolder(data_folder);
    case FolderDefault::None:
      break;
  }
  if (key.type == ValueType::String) return std::string(key.text_default);
  return std::to_string(key.number_default);
}

std::string ReadText(const SettingsFile& file, const Key& key, const std::filesystem::path& data_folder) {
  return file.ReadString(Section(key), Name(key), DefaultText(key, data_folder));
}

int ReadNumber(const SettingsFile& file, const Key& key) {
  return file.ReadInteger(Section(key), Name(key), key.number_default);
}

bool ReadFlag(const SettingsFile& file, const Key& key) {
  return file.ReadBool(Section(key), Name(key), key.number_default != 0);
}

void Write(SettingsFile& file, const Key& key, const std::string& value) {
  file.WriteString(Section(key), Name(key), value);
}

void Write(SettingsFile& file, const Key& key, int value) { file.WriteInteger(Section(key), Name(key), value); }

void Write(SettingsFile& file, const Key& key, bool value) { file.WriteBool(Section(key), Name(key), value); }

}  // namespace ui::settings

#pragma once
// The keys of the settings file with their section, type and default, and
// the reads and writes of one key. The rows of the window's options table
// (WindowOptions.h) hold the keys of its option controls: those named here,
// or a key of its own in a new row.

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "ui/core/SettingsFile.h"

namespace ui::settings {

enum class ValueType { String, Integer, Boolean };

// Defaults that depend on where the program keeps its files.
enum class FolderDefault { None, Source, Target };

struct Key {
  std::string_view section;
  std::string_view name;
  ValueType type;
  std::string_view text_default = {};  // String keys
  int number_default = 0;              // Integer keys; 0/1 for Boolean keys
  FolderDefault folder_default = FolderDefault::None;
};

inline constexpr std::string_view kSectionDefault = "default";
inline constexpr std::string_view kSectionImgConvert = "ImgConvert";

// Section "default".
inline constexpr Key kSourcePath{kSectionDefault, "SourcePath", ValueType::String, {}, 0, FolderDefault::Source};
inline constexpr Key kTargetPath{kSectionDefault, "TargetPath", ValueType::String, {}, 0, FolderDefault::Target};
inline constexpr Key kEdtWidth{kSectionDefault, "edtwidth", ValueType::String, "1024"};
inline constexpr Key kEdtHeight{kSectionDefault, "edtheight", ValueType::String, "768"};
inline constexpr Key kZoomPeiW{kSectionDefault, "ZoomPeiW", ValueType::String, "1"};
inline constexpr Key kZoomPeiH{kSectionDefault, "ZoomPeiH", ValueType::String, "1"};
inline constexpr Key kCbJPG{kSectionDefault, "CbJPG", ValueType::Boolean, {}, 1};
inline constexpr Key kCbPNG{kSectionDefault, "CbPNG", ValueType::Boolean, {}, 1};
inline constexpr Key kCBBMP{kSectionDefault, "CBBMP", ValueType::Boolean, {}, 1};
inline constexpr Key kCBJPEG{kSectionDefault, "CBJPEG", ValueType::Boolean, {}, 1};
inline constexpr Key kCBGIF{kSectionDefault, "CBGIF", ValueType::Boolean, {}, 0};
inline constexpr Key kCBICO{kSectionDefault, "CBICO", ValueType::Boolean, {}, 0};
inline constexpr Key kCBEMF{kSectionDefault, "CBEMF", ValueType::Boolean, {}, 0};
inline constexpr Key kCBWMF{kSectionDefault, "CBWMF", ValueType::Boolean, {}, 0};
inline constexpr Key kCBPCX{kSectionDefault, "CBPCX", ValueType::Boolean, {}, 0};
inline constexpr Key kCBTIFF{kSectionDefault, "CBTIFF", ValueType::Boolean, {}, 0};
inline constexpr Key kZoomAuto{kSectionDefault, "ZoomAuto", ValueType::Boolean, {}, 0};
inline constexpr Key kZoomType{kSectionDefault, "zoomtype", ValueType::Integer, {}, 0};
// First-run mark: written "0" at close; nothing depends on the value read.
inline constexpr Key kFirstRun{kSectionDefault, "fr", ValueType::Boolean, {}, 1};
inline constexpr Key kTargetImgPreview{kSectionDefault, "TargetImgPreview", ValueType::Boolean, {}, 1};
inline constexpr Key kPreviewSourceImg{kSectionDefault, "PreviewSourceImg", ValueType::Boolean, {}, 1};
// A folder run writes each picture into its subfolder under the output folder.
inline constexpr Key kKeepTree{kSectionDefault, "KeepTree", ValueType::Boolean, {}, 0};

// Section "ImgConvert".
inline constexpr Key kLbRoateType{kSectionImgConvert, "LbRoateType", ValueType::Integer, {}, 0};
inline constexpr Key kLbDocListInd{kSectionImgConvert, "LbDocListInd", ValueType::Integer, {}, 0};
inline constexpr Key kLbTargetInd{kSectionImgConvert, "LbTargetInd", ValueType::Integer, {}, 0};
// Where the window was when it closed (WindowPlacement.h).
inline constexpr Key kWindowRect{kSectionImgConvert, "WindowRect", ValueType::String};
inline constexpr Key kWindowMaximized{kSectionImgConvert, "WindowMaximized", ValueType::Boolean, {}, 0};
inline constexpr Key kPaneWidths{kSectionImgConvert, "PaneWidths", ValueType::String};

// Every key of the settings file: those above and those of the window's
// options table (WindowOptions.h), the section "default" first.
std::span<const Key> AllKeys();

// The ten format check boxes in the order of the window's options table:
// CbJPG, CbPNG, CBBMP, CBJPEG, CBGIF, CBICO, CBEMF, CBWMF, CBPCX, CBTIFF.
std::span<const Key> FormatCheckBoxKeys();

// The default as text (the number for Integer and Boolean keys); those of
// SourcePath and TargetPath are formed from data_folder at the moment of the call.
std::string DefaultText(const Key& key, const std::filesystem::path& data_folder);

// Reads and writes of one key in its own section, with its own default.
std::string ReadText(const SettingsFile& file, const Key& key, const std::filesystem::path& data_folder);
int ReadNumber(const SettingsFile& file, const Key& key);
bool ReadFlag(const SettingsFile& file, const Key& key);

void Write(SettingsFile& file, const Key& key, const std::string& value);
void Write(SettingsFile& file, const Key& key, int value);
void Write(SettingsFile& file, const Key& key, bool value);
// Without this a string literal would pick the bool overload.
inline void Write(SettingsFile& file, const Key& key, const char* value) { Write(file, key, std::string(value)); }

}  // namespace ui::settings

#pragma once
// Where the program keeps its files. The settings file "defualt.ini",
// "update.txt" and the default source and output folders live in the
// program data folder: the folder of the executable when the program may
// write there, else a per-user folder, so an installed program (under /usr,
// or Program Files) still keeps its settings. The executable's folder and
// the per-user folder are asked of the system: os/ProgramFolders*.cpp.

#include <filesystem>
#include <string>

namespace ui {

inline constexpr const char* kSettingsFileName = "defualt.ini";

// The folder of the running executable.
std::filesystem::path ExecutableFolder();

// The per-user folder: $XDG_CONFIG_HOME/ImgConvert (an absolute
// XDG_CONFIG_HOME only), else ~/.config/ImgConvert; on Windows
// %APPDATA%\ImgConvert. Not created here.
std::filesystem::path PerUserDataFolder();

// program_folder itself when a file can be created in it; otherwise the
// per-user folder, created (with its parents) when missing.
std::filesystem::path ProgramDataFolder(const std::filesystem::path& program_folder);
// The same for the running executable's folder.
std::filesystem::path ProgramDataFolder();

// data_folder / "defualt.ini".
std::filesystem::path SettingsFilePath(const std::filesystem::path& data_folder);

// Folder texts (UTF-8, ending in one separator) of the default source and
// output folders: data folder + "source/" and + "target/" ('\' on Windows).
std::string DefaultSourceFolder(const std::filesystem::path& data_folder);
std::string DefaultTargetFolder(const std::filesystem::path& data_folder);

}  // namespace ui

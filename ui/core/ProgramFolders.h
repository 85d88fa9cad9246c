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

// The user's home folder: HOME when it names an absolute folder, else the
// home the password database gives the user (an absolute one only); on
// Windows %USERPROFILE%, else the system's profile folder. Empty when the
// user has none: nothing then stands in for it, least of all a folder other
// users can write to.
std::filesystem::path UserHomeFolder();

// When HOME does not name an absolute folder, sets it to UserHomeFolder(),
// so every part of the process (Qt's standard folders and its trash among
// them) finds the user's own folders. Called first thing by both programs.
// Nothing on Windows, where nothing reads HOME.
void SetHomeFromAccount();

// The per-user folder: $XDG_CONFIG_HOME/ImgConvert (an absolute
// XDG_CONFIG_HOME only), else UserHomeFolder()/.config/ImgConvert; on
// Windows %APPDATA%\ImgConvert, else the system's roaming application data
// folder. Empty when there is none. Not created here.
std::filesystem::path PerUserDataFolder();

// program_folder itself when a file can be created in it; otherwise the
// per-user folder, created (with its parents) when missing; empty when
// neither can be had: then the program keeps no files at all.
std::filesystem::path ProgramDataFolder(const std::filesystem::path& program_folder);
// The same for the running executable's folder.
std::filesystem::path ProgramDataFolder();

// data_folder / "defualt.ini"; empty (no settings file) for an empty data folder.
std::filesystem::path SettingsFilePath(const std::filesystem::path& data_folder);

// Folder texts (UTF-8, ending in one separator) of the default source and
// output folders: data folder + "source/" and + "target/" ('\' on Windows);
// empty for an empty data folder, so the user is asked for the folders.
std::string DefaultSourceFolder(const std::filesystem::path& data_folder);
std::string DefaultTargetFolder(const std::filesystem::path& data_folder);

}  // namespace ui

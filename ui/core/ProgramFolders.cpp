#include "ui/core/ProgramFolders.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "imaging/FileIO.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace ui {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Permission bits do not tell (root, ACLs, read-only mounts): create and
// remove a probe file instead.
bool CanCreateFilesIn(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return false;
  static std::atomic<unsigned> counter{0};
  const fs::path probe =
      folder / (".imgconvert-probe-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++));
#ifdef _WIN32
  // msvcrt's fopen knows no "x" mode: an exclusive create through _wopen.
  const int fd = _wopen(probe.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  _close(fd);
  fs::remove(probe, ec);
  return true;
#else
  std::FILE* f = std::fopen(probe.c_str(), "wbx");
  if (!f) return false;
  std::fclose(f);
  fs::remove(probe, ec);
  return true;
#endif
}

std::string FolderText(const fs::path& folder) {
  std::string text = img::PathToUtf8(folder.lexically_normal());
  if (text.empty() || text.back() != kSeparator) text += kSeparator;
  return text;
}

}  // namespace

fs::path ExecutableFolder() {
  std::error_code ec;
#ifdef _WIN32
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return fs::current_path(ec);
    if (n < buffer.size()) {
      buffer.resize(n);
      return fs::path(buffer).parent_path();
    }
    buffer.resize(buffer.size() * 2);
  }
#else
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return fs::current_path(ec);
  return exe.parent_path();
#endif
}

fs::path PerUserDataFolder() {
#ifdef _WIN32
  const wchar_t* appdata = _wgetenv(L"APPDATA");
  if (appdata && *appdata) return fs::path(appdata) / "ImgConvert";
  std::error_code ec;
  return fs::temp_directory_path(ec) / "ImgConvert";
#else
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg && fs::path(xdg).is_absolute()) return fs::path(xdg) / "ImgConvert";
  const char* home = std::getenv("HOME");
  if (home && *home) return fs::path(home) / ".config" / "ImgConvert";
  std::error_code ec;
  return fs::temp_directory_path(ec) / "ImgConvert";
#endif
}

fs::path ProgramDataFolder(const fs::path& program_folder) {
  if (CanCreateFilesIn(program_folder)) return program_folder;
  fs::path folder = PerUserDataFolder();
  std::error_code ec;
  // When this fails the settings writes fail and say where.
  fs::create_directories(folder, ec);
  return folder;
}

fs::path ProgramDataFolder() { return ProgramDataFolder(ExecutableFolder()); }

fs::path SettingsFilePath(const fs::path& data_folder) { return data_folder / kSettingsFileName; }

std::string DefaultSourceFolder(const fs::path& data_folder) {
  return FolderText(data_folder / "source");
}

std::string DefaultTargetFolder(const fs::path& data_folder) {
  return FolderText(data_folder / "target");
}

}  // namespace ui

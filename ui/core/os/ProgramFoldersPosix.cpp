// POSIX: the executable through /proc/self/exe, the per-user folder after
// the XDG base directory rules.

#include <cstdlib>

#include "ui/core/ProgramFolders.h"

namespace fs = std::filesystem;

namespace ui {

fs::path ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return fs::current_path(ec);
  return exe.parent_path();
}

fs::path PerUserDataFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg && fs::path(xdg).is_absolute()) return fs::path(xdg) / "ImgConvert";
  const char* home = std::getenv("HOME");
  if (home && *home) return fs::path(home) / ".config" / "ImgConvert";
  std::error_code ec;
  return fs::temp_directory_path(ec) / "ImgConvert";
}

}  // namespace ui

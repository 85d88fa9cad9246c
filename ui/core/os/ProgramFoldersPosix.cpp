// POSIX: the executable through /proc/self/exe, the per-user folder after
// the XDG base directory rules, the home from HOME or the password database.

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "ui/core/ProgramFolders.h"

namespace fs = std::filesystem;

namespace ui {

namespace {

fs::path AbsoluteOrNothing(const char* text) {
  if (!text || !*text) return {};
  fs::path path(text);
  return path.is_absolute() ? path : fs::path();
}

fs::path HomeVariable() { return AbsoluteOrNothing(std::getenv("HOME")); }

// The home the password database gives the real user.
fs::path AccountHome() {
  const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 4096);
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    const int error = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    return error == 0 && found ? AbsoluteOrNothing(found->pw_dir) : fs::path();
  }
}

}  // namespace

fs::path ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return fs::current_path(ec);
  return exe.parent_path();
}

fs::path UserHomeFolder() {
  fs::path home = HomeVariable();
  return home.empty() ? AccountHome() : home;
}

void SetHomeFromAccount() {
  if (!HomeVariable().empty()) return;
  const fs::path home = AccountHome();
  if (!home.empty()) setenv("HOME", home.c_str(), 1);
}

fs::path PerUserDataFolder() {
  const fs::path xdg = AbsoluteOrNothing(std::getenv("XDG_CONFIG_HOME"));
  if (!xdg.empty()) return xdg / "ImgConvert";
  const fs::path home = UserHomeFolder();
  if (home.empty()) return {};
  return home / ".config" / "ImgConvert";
}

}  // namespace ui

// Windows: the executable from GetModuleFileNameW, the per-user folder under
// %APPDATA% (or the folder the system names for it), all as wide names so
// that Chinese folder names hold.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "ui/core/ProgramFolders.h"

namespace fs = std::filesystem;

namespace ui {

namespace {

fs::path AbsoluteVariable(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  if (!value || !*value) return {};
  fs::path path(value);
  return path.is_absolute() ? path : fs::path();
}

// A folder of the user's profile as the system knows it, whatever the
// environment says; empty when it has none.
fs::path KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR folder = nullptr;
  fs::path path;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &folder)) && folder) path = folder;
  CoTaskMemFree(folder);
  return path.is_absolute() ? path : fs::path();
}

}  // namespace

fs::path ExecutableFolder() {
  std::error_code ec;
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
}

fs::path UserHomeFolder() {
  fs::path home = AbsoluteVariable(L"USERPROFILE");
  return home.empty() ? KnownFolder(FOLDERID_Profile) : home;
}

void SetHomeFromAccount() {}

fs::path PerUserDataFolder() {
  fs::path appdata = AbsoluteVariable(L"APPDATA");
  if (appdata.empty()) appdata = KnownFolder(FOLDERID_RoamingAppData);
  if (appdata.empty()) return {};
  return appdata / "ImgConvert";
}

}  // namespace ui

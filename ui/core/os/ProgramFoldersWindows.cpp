// Windows: the executable from GetModuleFileNameW, the per-user folder under
// %APPDATA%, both as wide names so that Chinese folder names hold.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>
#include <string>

#include "ui/core/ProgramFolders.h"

namespace fs = std::filesystem;

namespace ui {

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

fs::path PerUserDataFolder() {
  const wchar_t* appdata = _wgetenv(L"APPDATA");
  if (appdata && *appdata) return fs::path(appdata) / "ImgConvert";
  std::error_code ec;
  return fs::temp_directory_path(ec) / "ImgConvert";
}

}  // namespace ui

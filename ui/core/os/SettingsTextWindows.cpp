// Windows: "\r\n", and GB18030 through the system's code pages.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "ui/core/SettingsText.h"

namespace ui {

std::string_view NewFileLineEnd() { return "\r\n"; }

std::optional<std::string> Gb18030ToUtf8(std::string_view in) {
  if (in.empty()) return std::string();
  // GBK, the older program's code page, where a system lacks GB18030 (Wine).
  const UINT code_page = IsValidCodePage(54936) ? 54936 : 936;
  const int wide_len =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (wide_len <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(wide_len), L'\0');
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), wide.data(), wide_len);
  const int len = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_len, nullptr, 0, nullptr, nullptr);
  if (len <= 0) return std::nullopt;
  std::string out(static_cast<std::size_t>(len), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_len, out.data(), len, nullptr, nullptr);
  return out;
}

}  // namespace ui

// Windows: the UTF-16 command line, converted; the console set to UTF-8.

#include <fcntl.h>
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>

#include "app/Console.h"
#include "app/ConsoleColumns.h"

namespace app {

std::vector<std::string> Utf8Arguments(int, char**) {
  SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) {
    const int wide_len = static_cast<int>(wcslen(wide[i]));
    const int len = WideCharToMultiByte(CP_UTF8, 0, wide[i], wide_len, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(std::max(len, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], wide_len, arg.data(), len, nullptr, nullptr);
    args.push_back(std::move(arg));
  }
  LocalFree(wide);
  return args;
}

bool ReadStandardInput(std::string& bytes) {
  _setmode(_fileno(stdin), _O_BINARY);
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) bytes.append(buffer, n);
  return !std::ferror(stdin);
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

int TerminalColumns(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (GetConsoleScreenBufferInfo(console, &info)) return info.srWindow.Right - info.srWindow.Left + 1;
  return ColumnsFromEnvironment();
}

}  // namespace app

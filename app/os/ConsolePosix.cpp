// POSIX: the arguments are already the bytes the user typed, UTF-8 on any
// current system.

#include <sys/ioctl.h>
#include <unistd.h>

#include "app/Console.h"
#include "app/ConsoleColumns.h"

namespace app {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

int TerminalColumns(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return ColumnsFromEnvironment();
}

bool ReadStandardInput(std::string& bytes) {
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) bytes.append(buffer, n);
  return !std::ferror(stdin);
}

}  // namespace app

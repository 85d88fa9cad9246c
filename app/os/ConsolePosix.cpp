// POSIX: the arguments are already the bytes the user typed, UTF-8 on any
// current system.

#include <unistd.h>

#include "app/Console.h"

namespace app {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

}  // namespace app

#include "app/ConsoleColumns.h"

#include <cstdlib>

namespace app {

int ColumnsFromEnvironment() {
  if (const char* columns = std::getenv("COLUMNS")) {
    const int n = std::atoi(columns);
    if (n > 0) return n;
  }
  return 80;
}

}  // namespace app

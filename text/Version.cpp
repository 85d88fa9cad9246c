#include "text/Version.h"

#include <cstdio>

namespace text {

std::string ProgramVersionText() {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%1.1Lf", kProgramVersion);
  return buffer;
}

}  // namespace text

// Windows: the total physical memory GlobalMemoryStatusEx reports.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/SystemMemory.h"

namespace img {

std::uint64_t PhysicalMemoryBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

}  // namespace img

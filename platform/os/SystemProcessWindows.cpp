// Windows: OpenProcess asks after a process; a console control handler
// runs before the default one, which then ends the process.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/SystemProcess.h"

namespace img {

namespace {

void (*g_cleanup)() = nullptr;

BOOL WINAPI HandleConsoleEvent(DWORD) {
  if (g_cleanup) g_cleanup();
  return FALSE;  // the next handler, the default one at last, ends the process
}

}  // namespace

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool ProcessIsRunning(unsigned long pid) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
  DWORD code = 0;
  const bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

void OnInterrupt(void (*cleanup)()) {
  g_cleanup = cleanup;
  SetConsoleCtrlHandler(HandleConsoleEvent, TRUE);
}

// The temporaries are opened with FILE_SHARE_DELETE: an open one is removed
// as its handle closes, when the process ends.
void RemoveFileInHandler(const std::filesystem::path::value_type* path) { DeleteFileW(path); }

}  // namespace img

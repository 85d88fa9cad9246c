// POSIX: kill with signal 0 asks after a process; sigaction for the
// interruptions, the handler reset to the default so a re-raise ends the
// process with the signal's own status.

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/SystemProcess.h"

namespace img {

namespace {

void (*g_cleanup)() = nullptr;

void HandleInterrupt(int sig) {
  if (g_cleanup) g_cleanup();
  raise(sig);  // delivered with the default action once this handler returns
}

}  // namespace

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

bool ProcessIsRunning(unsigned long pid) {
  if (pid == 0 || pid > static_cast<unsigned long>(INT_MAX)) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

void OnInterrupt(void (*cleanup)()) {
  g_cleanup = cleanup;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = HandleInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(sig, &action, nullptr);
  }
}

void RemoveFileInHandler(const std::filesystem::path::value_type* path) { unlink(path); }

}  // namespace img

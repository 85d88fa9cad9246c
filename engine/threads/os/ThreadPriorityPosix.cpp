// POSIX (Linux): a thread's nice value is its own; raising it needs no rights.

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "engine/threads/ThreadPriority.h"

namespace engine {

void LowerThisThreadPriority() {
  const auto thread = static_cast<id_t>(syscall(SYS_gettid));
  // A failure leaves the thread as it was: only the window's answers slow.
  setpriority(PRIO_PROCESS, thread, 5);
}

}  // namespace engine

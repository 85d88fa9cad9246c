// Windows: the thread priority one step below normal.

#include <windows.h>

#include "engine/threads/ThreadPriority.h"

namespace engine {

void LowerThisThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

}  // namespace engine

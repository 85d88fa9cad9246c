#pragma once
// The priority of the calling thread: work a window only watches runs a
// little below the window's own thread, so the window answers at once even
// while every core converts.

namespace engine {

// Lowers the calling thread's priority one notch below normal.
void LowerThisThreadPriority();

}  // namespace engine

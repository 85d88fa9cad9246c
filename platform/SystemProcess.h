#pragma once
// The process calls that differ between systems: this process's number,
// whether another still runs, and a last word before an interruption ends
// the process. One definition per system (os/SystemProcess*).

#include <filesystem>

namespace img {

unsigned long CurrentProcessId();

// False only when the system says that no process of that number runs.
bool ProcessIsRunning(unsigned long pid);

// Calls cleanup when the process is interrupted (INT, TERM and HUP; on
// Windows Ctrl-C, Ctrl-Break and the console closing), then lets the
// interruption end the process as it would have. An interruption the
// process was told to ignore (nohup) stays ignored. cleanup may only do
// what a signal handler may.
void OnInterrupt(void (*cleanup)());

// Removes a file with the bare system call, as such a cleanup may.
void RemoveFileInHandler(const std::filesystem::path::value_type* path);

}  // namespace img

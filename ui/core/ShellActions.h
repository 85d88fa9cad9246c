#pragma once
// The program's shell operations, shared by the main window, the links
// panel and the about box. Each goes through the current shell, so tests
// record the calls; none reports a failure.

#include <string>

namespace ui {

// Opens a path or web address with its associated program, following the
// ShellOpenTarget rule (a path that names nothing is not opened).
void OpenWithShell(const std::string& target);
// Opens an address in the browser, with "http://" in front when it has no
// "://"; an empty address opens nothing.
void OpenWebAddress(const std::string& address);
// Opens the text unchanged: an address (it holds "://") in its associated
// program, anything else started as a program; an empty text opens nothing.
void RunProgram(const std::string& program);
// Opens an existing file in the paint program; anything else is ignored.
void OpenInPaint(const std::string& file);
// Moves an existing file to the trash; false when it is not a file or stays.
[[nodiscard]] bool DeleteToRecycleBin(const std::string& file);

}  // namespace ui

#pragma once
// The two ways the links panel and the about box open an address, both
// through the shell interface and both ignoring failures.

#include <string>

namespace brand {

// "http://" in front when the address has no "://", then opened with the
// program the desktop associates with it.
void OpenWebAddress(const std::string& address);

// Opens the text unchanged: an address (it holds "://") in its associated
// program, anything else started as a program. An empty text opens nothing.
void RunProgram(const std::string& target);

}  // namespace brand

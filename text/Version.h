#pragma once
// The program's own version: shown in the main window caption and the about
// box, and compared with the version the update page offers.

#include <string>

namespace text {

inline constexpr long double kProgramVersion = 2.2L;

// "%1.1f" of the version: "2.2".
std::string ProgramVersionText();

}  // namespace text

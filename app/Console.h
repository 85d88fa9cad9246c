#pragma once
// imgbatch's console, which differs between systems: how the arguments
// arrive, and whether a stream is a terminal.

#include <cstdio>
#include <string>
#include <vector>

namespace app {

// The arguments after the program name, as UTF-8. Windows hands main its
// arguments in the ANSI code page, where Chinese names become '?', so there
// they are taken from the UTF-16 command line and the console is switched to
// UTF-8 for the messages.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// True when stream writes to a terminal (the progress line is drawn only there).
bool IsTerminal(std::FILE* stream);

// The width of the terminal stream writes to, read at each call so a resized
// window is followed; COLUMNS where the terminal does not say, else 80.
int TerminalColumns(std::FILE* stream);

// All of standard input, byte for byte (Windows would otherwise turn "\r\n"
// into "\n" and stop at a Ctrl-Z byte); false when it cannot be read.
bool ReadStandardInput(std::string& bytes);

}  // namespace app

// POSIX: '/' only; '\' is an ordinary character of a name.

#include "engine/FolderSeparator.h"

namespace engine {

char FolderSeparator() { return '/'; }

bool IsFolderSeparator(char c) { return c == '/'; }

}  // namespace engine

// POSIX: '/' only; '\' is an ordinary character of a name.

#include "platform/FolderSeparator.h"

namespace img {

char FolderSeparator() { return '/'; }

bool IsFolderSeparator(char c) { return c == '/'; }

}  // namespace img

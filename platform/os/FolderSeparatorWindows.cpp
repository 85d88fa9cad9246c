// Windows: '\' is the system's own, and '/' is accepted as well.

#include "platform/FolderSeparator.h"

namespace img {

char FolderSeparator() { return '\\'; }

bool IsFolderSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace img

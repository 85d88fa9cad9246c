// Windows: '\' is the system's own, and '/' is accepted as well.

#include "engine/FolderSeparator.h"

namespace engine {

char FolderSeparator() { return '\\'; }

bool IsFolderSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace engine

#include "update/DownloadedProgram.h"

namespace update {

// The maker ships Windows programs only: one downloaded here would just be
// handed to the desktop as a file, and no new version would run.
bool SystemRunsDownloadedProgram() { return false; }

}  // namespace update

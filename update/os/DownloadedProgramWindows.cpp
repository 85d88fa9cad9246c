#include "update/DownloadedProgram.h"

namespace update {

bool SystemRunsDownloadedProgram() { return true; }

}  // namespace update

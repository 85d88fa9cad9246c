#pragma once
// Whether this system can start the program file an update downloads
// ("update.exe", a Windows program). Where it cannot, the update window
// sends the user to the download in the browser instead of fetching it.

namespace update {

bool SystemRunsDownloadedProgram();

}  // namespace update

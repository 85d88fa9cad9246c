#pragma once
// The command line of imgbatch, parsed into what a batch needs.

#include <optional>
#include <string>
#include <vector>

#include "engine/convert/ConversionOptions.h"
#include "engine/plan/FolderWalk.h"

namespace app {

struct BatchCommand {
  std::vector<std::string> sources;
  std::vector<std::string> sourceLists;  // --files-from: files listing more sources; "-": standard input
  bool nulSeparated = false;             // the lists' paths end in NUL bytes, not newlines
  std::string outputFolder;
  engine::ConversionOptions options;
  int jobs = 0;  // 0: the number of cores
  long memoryMiB = 0;  // budget for the pictures in flight; 0: a quarter of the machine's memory
  engine::WalkLimits walk;  // how deep folders are walked; which file names are taken, walked or named
  bool keepTree = false;  // a folder's subfolders are repeated under the output folder
  bool quiet = false;
  bool dryRun = false;  // say each target, write nothing
  bool jsonReport = false;  // a JSON line for each picture on standard output
  bool help = false;
  bool version = false;
};

// Parses argv as getopt_long would, by the option table (BatchOptions.h):
// short options cluster (-qj2) and take their value attached (-j2, -oDIR),
// long ones after '=' (--jobs=2) and may be shortened to any beginning that
// names one option alone (--qual=50), and "--" ends the options. On a usage error returns nothing and sets error to a message
// saying what is wrong.
std::optional<BatchCommand> ParseBatchCommand(const std::vector<std::string>& args, std::string& error);

// The text of --help.
std::string BatchUsage();

}  // namespace app

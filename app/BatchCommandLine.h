#pragma once
// The command line of imgbatch, parsed into what a batch needs.

#include <optional>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"

namespace app {

struct BatchCommand {
  std::vector<std::string> sources;
  std::string outputFolder;
  engine::ConversionOptions options;
  int jobs = 0;  // 0: the number of cores
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// Parses argv; on a usage error returns nothing and sets error to a message
// saying what is wrong.
std::optional<BatchCommand> ParseBatchCommand(const std::vector<std::string>& args, std::string& error);

const char* BatchUsage();

}  // namespace app

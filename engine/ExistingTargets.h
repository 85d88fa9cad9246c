#pragma once
// Whether a planned target is left as it is because a file is already
// there: the converter and imgbatch's --dry-run ask the same question.

#include <string>

#include "engine/ConversionOptions.h"

namespace engine {

// Anything at the path, a link that leads nowhere included.
bool TargetExists(const std::string& target);

// True when options leave target alone: it exists and skipExisting is set,
// or it is at least as new as source and skipUpToDate is set.
bool LeavesTargetAlone(const ConversionOptions& options, const std::string& source, const std::string& target);

// Gives target source's modification time; throws std::system_error when
// either cannot be had.
void GiveSourceTime(const std::string& source, const std::string& target);

}  // namespace engine

#pragma once
// Whether a planned target is left as it is because a file is already
// there: the converter and imgbatch's --dry-run ask the same question.

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "engine/convert/ConversionOptions.h"

namespace engine {

// Anything at the path, a link that leads nowhere included.
bool TargetExists(const std::string& target);

// True when options leave target alone: it exists and skipExisting is set,
// or it is a file (not a folder, a pipe or a link) at least as new as
// source and skipUpToDate is set.
bool LeavesTargetAlone(const ConversionOptions& options, const std::string& source, const std::string& target);

// source's modification time, for its targets (--keep-time); nothing, with
// the reason in ec, when it cannot be read.
std::optional<std::filesystem::file_time_type> SourceTime(const std::string& source, std::error_code& ec);

// True when a target of time target counts as at least as new as a source
// of time source. A file system keeps times in steps of its own (whole
// seconds, 2 s on FAT, 10 ms on exFAT) and cuts a time given to it to
// them: a step the target's time fits is taken for its file system's.
bool UpToDate(std::filesystem::file_time_type source, std::filesystem::file_time_type target);

}  // namespace engine

#pragma once
// What converting one picture may hold in memory at its peak, told from the
// file's header alone (nothing is decoded), so a batch can keep the pictures
// it converts at once within a budget.

#include <cstdint>
#include <string>

#include "engine/convert/ConversionOptions.h"

namespace engine {

// Bytes one conversion of the file at path (UTF-8) with options may hold,
// rather over than under. A file whose header cannot be read counts as its
// size alone: its conversion fails before it allocates anything more.
std::uint64_t EstimatedNeedBytes(const std::string& path, const ConversionOptions& options);

}  // namespace engine

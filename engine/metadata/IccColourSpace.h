#pragma once
// Whether an ICC profile describes the pixels a writer stores beside it:
// its header names the data colour space, and a profile of another space
// (an RGB one beside grey pixels) would make viewers misread the colours.

#include <cstdint>
#include <cstring>
#include <vector>

namespace engine {

// True when icc is long enough to hold a header and names "GRAY" (grey
// pixels) or "RGB " (colour pixels).
inline bool IccProfileFits(const std::vector<std::uint8_t>& icc, bool grey) {
  return icc.size() >= 128 && std::memcmp(icc.data() + 16, grey ? "GRAY" : "RGB ", 4) == 0;
}

}  // namespace engine

#pragma once
// An ICC profile for colours a file tells as numbers rather than as a
// profile: ITU-T H.273's primaries and transfer characteristics, as a
// HEIF's nclx colour box holds them. Made by littleCMS.

#include <cstdint>
#include <vector>

namespace engine {

struct CodedColour {
  // The chromaticities (x, y) of the red, green and blue primaries and of white.
  double redX = 0, redY = 0, greenX = 0, greenY = 0, blueX = 0, blueY = 0, whiteX = 0, whiteY = 0;
  int transfer = 2;  // H.273's transfer characteristics; 2: unspecified
};

// The RGB profile of colour; empty when its transfer is not one a profile's
// curve describes (unspecified, PQ, HLG, logarithmic) or a chromaticity
// lies outside the diagram. Transfers: 13 sRGB's curve, and so 1, 6, 14
// and 15 (BT.709's and its kin, which screens show as sRGB); 4 and 5 gamma
// 2.2 and 2.8, 8 linear.
std::vector<std::uint8_t> CodedColourProfile(const CodedColour& colour);

}  // namespace engine

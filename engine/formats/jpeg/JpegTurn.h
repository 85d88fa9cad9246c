#pragma once
// A JPEG turned or mirrored in its coded data (TurboJPEG's lossless
// transform): the DCT coefficients move, nothing is decoded or quantised
// again, so the picture loses nothing however often it is turned.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace engine {

// The orientation, as EXIF's 1 to 8 names it (ExifOrientation.h), that
// shows what a stored picture turned upright by `first` and then turned
// `quarters` quarter turns clockwise shows: the one turn that does both.
int CombinedOrientation(int first, int quarters);

struct TurnedJpeg {
  enum class Outcome {
    Turned,         // bytes hold the turned file
    PartialBlocks,  // its size is not whole blocks for that turn: the edge would be cut
    Refused,        // TurboJPEG would not turn it; reason says why
  };
  Outcome outcome = Outcome::Refused;
  std::vector<std::uint8_t> bytes;
  std::string reason;
};

// stream (a whole JPEG file) stored so that orientation (2 to 8) shows it
// upright, turned upright in its coded data: its markers as they are (but
// JFIF's and Adobe's, which the library writes anew), baseline with the
// standard Huffman tables, or progressive (its tables made for the
// picture) when asked. A picture whose width or height is not a whole
// number of blocks (MCUs) where the turn needs it is never cut to them.
TurnedJpeg TurnJpegLosslessly(std::span<const std::uint8_t> stream, int orientation, bool progressive);

}  // namespace engine

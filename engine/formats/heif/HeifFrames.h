#pragma once
// The frames a HEIF file's primary picture is decoded from, told from the
// file's boxes and its codec's parameter sets before anything is decoded.
// The size an item declares (its ispe box) and the size its frame is coded
// at need not agree: a hostile file of a few kilobytes may declare 16 x 16
// over a frame coded at 11584 x 11584, which the decoder allocates in full.

#include <cstdint>
#include <span>
#include <vector>

namespace engine {

struct HeifFrame {
  std::uint32_t declaredWidth = 0, declaredHeight = 0;  // its item's ispe; 0 x 0 without one
  // The largest size its parameter sets code (HEVC's SPS, AV1's sequence
  // header), 0 x 0 where they code none; for a grid or an overlay, the
  // canvas its data asks for.
  std::uint32_t codedWidth = 0, codedHeight = 0;

  // Coded larger than its item declares, beyond the padding a codec may add
  // to whole blocks (up to 64 pixels a side, cropped after decoding).
  bool CodedLarger() const;
};

// The frames of the file's primary picture in the order they are decoded:
// its own, or a grid's or overlay's canvas and then each of its pictures,
// and likewise its alpha's.
struct HeifFrames {
  std::vector<HeifFrame> frames;  // those read before the boxes failed, if they did
  bool complete = false;  // false: cut short, malformed, or of a construction libheif does not decode
};
HeifFrames PrimaryHeifFrames(std::span<const std::uint8_t> file);

}  // namespace engine

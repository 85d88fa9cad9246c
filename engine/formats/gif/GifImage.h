#pragma once
// GIF files, read through giflib: one frame of the file (the first unless
// asked), as a still picture. imgbatch reads them; nothing writes them.

#include <cstdint>
#include <filesystem>
#include <span>

#include "engine/formats/PictureHeader.h"
#include "engine/formats/PictureCodecs.h"
#include "imaging/Bitmap.h"

namespace engine {

// True when head starts with "GIF87a" or "GIF89a".
bool IsGif(PictureHead head);

// The first picture of the file on its whole logical screen: 24 bits, or
// 32 bits with alpha (Bits32Alpha) when it has a transparent colour or does
// not cover the screen, where it is clear. A later frame (page 1 on) is
// the screen a viewer shows then: each frame before drawn over the last
// as its disposal says, 32 bits where it is clear anywhere. The screen's
// and each frame's sizes are checked against the pixel limit before
// anything is allocated; a corrupt or truncated file, or one of fewer
// frames, throws img::ImageError and leaves out as it was. Gives the
// file's count of frames, those after the one decoded counted undecoded.
// With animation and page 0, a file of several frames gives every frame
// there, 32 bits, each shown for its delay, with the file's loop count
// (NETSCAPE2.0's, 0 for ever; once without); else it is left empty.
int DecodeGif(std::span<const std::uint8_t> file, img::Bitmap& out, int page = 0, Animation* animation = nullptr);

// The format table's loader and header facts.
PictureSize LoadGif(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture,
                    PictureSize fit);
HeaderFacts GifFacts(PictureHead head, const std::filesystem::path& file);

}  // namespace engine

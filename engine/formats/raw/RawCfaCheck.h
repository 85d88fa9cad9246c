#pragma once
// A look at a TIFF-shaped raw file's directories before LibRaw reads them:
// LibRaw 0.20 writes past its colour tables, and crashes, on a CFAPattern
// of 36 colours (an X-Trans sensor's) in a directory whose
// CFARepeatPatternDim is not 6 x 6. Such a file is damaged; it is refused
// instead.

#include <libraw/libraw.h>

namespace engine {

// True when a directory reached from the file's first (the chain, SubIFDs,
// the EXIF directory) holds such a pattern. Leaves the stream anywhere.
bool HasMisshapenCfaPattern(LibRaw_abstract_datastream& stream);

}  // namespace engine

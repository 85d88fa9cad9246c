#pragma once
// The formats one picture's targets are written in: those the options tick,
// or, where the options ask for the picture's own kind (imgbatch without
// -f), the one format of its kind.

#include <string>

#include "engine/convert/ConversionOptions.h"
#include "engine/formats/FormatTicks.h"
#include "engine/formats/PictureFormats.h"

namespace engine {

// The own kind of the file at path (UTF-8), told from its first bytes and
// header alone: the kind its bytes say, written under its extension's entry
// when that is of the same kind (.jpeg stays .jpeg, .tif stays .tif); a kind
// only read becomes PNG when its picture has alpha, else JPG. nullptr when
// neither its bytes nor its name make it a picture.
const PictureFormat* OwnKindTarget(const std::string& path);
// The same for a file read by kind whose header says whether its picture
// has alpha.
const PictureFormat& OwnKindTarget(const PictureFormat& kind, bool alpha);

// The formats the picture at path is written in with options.
FormatTicks TargetFormats(const std::string& path, const ConversionOptions& options);

}  // namespace engine

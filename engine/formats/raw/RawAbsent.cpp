// A build without LibRaw: no camera raw entries in the format table.
#include "engine/formats/raw/RawImage.h"
#include "engine/formats/PictureFormats.h"

namespace engine {

std::span<const PictureFormat> RawFormats() { return {}; }

}  // namespace engine

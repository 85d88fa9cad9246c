// A build without libheif: no AVIF, HEIC or HEIF entries in the format table.
#include "engine/formats/heif/HeifImage.h"
#include "engine/formats/PictureFormats.h"

namespace engine {

std::span<const PictureFormat> HeifFormats() { return {}; }

}  // namespace engine

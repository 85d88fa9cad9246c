// A build without libjxl: no JXL entry in the format table.
#include "engine/formats/jxl/JxlImage.h"
#include "engine/formats/PictureFormats.h"

namespace engine {

std::span<const PictureFormat> JxlFormats() { return {}; }

}  // namespace engine

// LoadJpegResource on its own: it is the only window helper that needs the
// JPEG codec, so programs that never call it do not link the codec.

#include "engine/formats/jpeg/JpegImage.h"
#include "imaging/Bitmap.h"
#include "ui/WindowHelpers.h"

namespace ui {

bool LoadJpegResource(img::Bitmap& picture, const std::string& name, const std::string& type) {
  try {
    const QByteArray data = ResourceBytes(name, type);
    if (data.isEmpty()) return false;
    engine::JpegImage codec;
    img::Bitmap decoded;
    codec.LoadFromMemory({reinterpret_cast<const std::uint8_t*>(data.constData()),
                          static_cast<std::size_t>(data.size())},
                         decoded);
    picture = std::move(decoded);
    return true;
  } catch (...) {
    // A missing picture leaves its control empty.
    return false;
  }
}

}  // namespace ui

#include "engine/convert/TargetFormats.h"

#include <optional>
#include <vector>

#include "engine/formats/PictureHeader.h"
#include "platform/FileIO.h"
#include "platform/PathNames.h"

namespace engine {

const PictureFormat* OwnKindTarget(const std::string& path) {
  const std::vector<std::uint8_t> head = img::ReadFileHead(img::PathFromUtf8(path), kSignatureBytes);
  const PictureFormat* kind = ChooseLoader(head, path);
  if (!kind) return nullptr;
  if (kind->write) return kind;
  const std::optional<HeaderFacts> facts = ReadPictureHeader(path, HeaderDepth::Head);
  return &OwnKindTarget(*kind, facts && facts->alpha);
}

const PictureFormat& OwnKindTarget(const PictureFormat& kind, bool alpha) {
  if (kind.write) return kind;
  // Transparency needs a target that keeps it; JPEG is what other
  // converters write for photographs.
  return FormatNamed(alpha ? "png" : "jpg");
}

FormatTicks TargetFormats(const std::string& path, const ConversionOptions& options) {
  if (!options.ownKindTarget) return options.targets;
  FormatTicks ticks = FormatTicks::Nothing();
  if (const PictureFormat* format = OwnKindTarget(path)) ticks.Set(*format, true);
  return ticks;
}

}  // namespace engine

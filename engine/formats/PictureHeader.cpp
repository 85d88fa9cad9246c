#include "engine/formats/PictureHeader.h"

#include <vector>

#include "engine/formats/PictureFormats.h"
#include "platform/FileIO.h"

namespace engine {

std::optional<HeaderFacts> ReadPictureHeader(const std::string& path, HeaderDepth depth) {
  const std::filesystem::path file = img::PathFromUtf8(path);
  const std::vector<std::uint8_t> head = img::ReadFileHead(file, kHeadBytes);
  const PictureFormat* format = ChooseLoader(head, path);
  if (!format || head.empty()) return std::nullopt;
  HeaderFacts facts = format->facts(head, file);
  if (facts.width <= 0 || facts.height <= 0) return std::nullopt;
  if (depth == HeaderDepth::Orientation && format->orientation) facts.orientation = format->orientation(head, file);
  return facts;
}

}  // namespace engine

#include "engine/formats/PictureCodecs.h"

#include "platform/ImageError.h"

namespace engine {

std::vector<std::string> PictureCodecs::TakeWarnings() {
  std::vector<std::string> taken;
  taken.swap(warnings_);
  return taken;
}

void PictureCodecs::ForgetEncoded() {
  for (auto& [type, kept] : kept_) kept->ForgetEncoded();
}

std::size_t PictureCodecs::KeptBytes() const {
  std::size_t bytes = 0;
  for (const auto& [type, kept] : kept_) bytes += kept->Bytes();
  return bytes;
}

void CheckPageHeld(int page, int count, const char* noun) {
  if (page < count) return;
  const std::string held = count == 1 ? std::string("one ") + noun : std::to_string(count) + " " + noun + "s";
  throw img::ImageError(img::ErrorCode::InvalidArgument,
                        std::string(noun) + " " + std::to_string(page + 1) + " asked for, the file holds " + held);
}

void PictureCodecs::HandBack() {
  for (auto& [type, kept] : kept_) kept->HandBack();
}

}  // namespace engine

#include "engine/formats/PictureCodecs.h"

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

void PictureCodecs::HandBack() {
  for (auto& [type, kept] : kept_) kept->HandBack();
}

}  // namespace engine

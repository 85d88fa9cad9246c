#include "engine/MetadataPolicy.h"

namespace engine {

bool ReadsMetadata(const ConversionOptions& options) {
  return options.autoOrient || options.metadata != CarriedMetadata::None;
}

void KeepCarried(PictureMetadata& metadata, const ConversionOptions& options) {
  if (!ProfileSuitsTargets(metadata.icc)) metadata.icc.clear();
  switch (options.metadata) {
    case CarriedMetadata::None:
      metadata.clear();
      break;
    case CarriedMetadata::Profile:
      metadata.exif.clear();
      metadata.xmp.clear();
      metadata.comment.clear();
      break;
    case CarriedMetadata::All:
      break;
  }
}

bool ProfileSuitsTargets(const std::vector<std::uint8_t>& icc) {
  // The colour space's signature at bytes 16 to 19 of the profile's header.
  return icc.size() >= 128 && icc[16] == 'R' && icc[17] == 'G' && icc[18] == 'B' && icc[19] == ' ';
}

}  // namespace engine

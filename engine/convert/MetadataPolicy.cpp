#include "engine/convert/MetadataPolicy.h"

#include "engine/metadata/ExifGps.h"
#include "engine/metadata/IccColourSpace.h"

namespace engine {

bool ReadsMetadata(const ConversionOptions& options) {
  return options.autoOrient || options.metadata != CarriedMetadata::None || options.colour == TargetColour::Srgb;
}

void KeepCarried(PictureMetadata& metadata, const ConversionOptions& options) {
  if (!ProfileSuitsTargets(metadata.icc)) metadata.icc.clear();
  metadata.codedColour.clear();
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
  if (options.stripGps) RemoveExifGps(metadata.exif);
}

bool ProfileSuitsTargets(const std::vector<std::uint8_t>& icc) {
  return IccProfileFits(icc, false) || IccProfileFits(icc, true);
}

}  // namespace engine

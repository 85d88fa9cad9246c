#pragma once
// Which of a source's metadata a conversion reads and which its targets
// carry, by the options: the one place that decides it for the window and
// imgbatch alike.

#include <cstdint>
#include <vector>

#include "engine/convert/ConversionOptions.h"
#include "engine/metadata/PictureMetadata.h"

namespace engine {

// True when a conversion with options needs the source's metadata: to turn
// the picture upright, to carry some of it, or its profile to convert its
// colours.
bool ReadsMetadata(const ConversionOptions& options);

// Leaves in metadata what the targets carry by options.metadata: nothing,
// the colour profile alone, or everything; a profile only when
// ProfileSuitsTargets says so; EXIF without its GPS position with
// options.stripGps.
void KeepCarried(PictureMetadata& metadata, const ConversionOptions& options);

// Targets hold RGB or grey pixels: a profile of another colour space (a
// CMYK source's) would misdescribe them. Each writer still checks that the
// profile fits the pixels it stores (IccColourSpace.h).
bool ProfileSuitsTargets(const std::vector<std::uint8_t>& icc);

}  // namespace engine

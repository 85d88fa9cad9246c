#pragma once
// The options of a conversion, as the option controls hold them at the
// moment a step asks for them.

#include <string>

namespace engine {

struct ConversionOptions {
  bool toBmp = true;
  bool toJpg = true;
  bool toJpeg = true;
  bool toPng = true;
  int zoomType = 0;  // 0 no resize, 1 resize to the given size
  std::string widthText = "1024";
  std::string heightText = "768";
  bool keepRatio = false;
  int rotation = 0;  // 0 none, 1 90, 2 180, 3 270 degrees clockwise; -1 nothing chosen
  // imgbatch only; the window leaves them off.
  bool autoOrient = false;    // turn the pixels upright by the EXIF orientation first
  bool keepMetadata = false;  // carry the source's EXIF and ICC profile into JPEG and PNG targets
};

}  // namespace engine

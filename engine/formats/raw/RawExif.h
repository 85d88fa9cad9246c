#pragma once
// EXIF data for a camera raw file's picture, made from what LibRaw read of
// the file: its camera, lens, date taken and exposure, and the orientation
// the pixels are to be seen with. Raw files keep these in maker notes and
// containers of many kinds; the targets carry them as any picture's EXIF.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace engine {

struct RawShot {
  std::string make, model, lens, lensMake;
  std::time_t taken = 0;  // local time, as cameras keep it; 0: not told
  float exposure = 0;     // seconds
  float aperture = 0;     // f-number
  float iso = 0;
  float focalLength = 0;  // millimetres
  int orientation = 1;    // EXIF's, 1 to 8
};

// Little-endian TIFF-structured EXIF data: IFD0 with Make, Model and
// Orientation, and an EXIF IFD with the rest; a field not told is left out.
std::vector<std::uint8_t> RawExif(const RawShot& shot);

// The EXIF orientation of LibRaw's flip (dcraw's code of the turns).
int ExifOrientationOfFlip(int flip);

}  // namespace engine

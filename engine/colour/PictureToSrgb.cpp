#include "engine/colour/PictureToSrgb.h"

#include <array>
#include <cstdlib>
#include <vector>

#include "engine/colour/SrgbTransform.h"

namespace engine {

namespace {

constexpr int kMostLevelsOff = 2;
static_assert(sizeof(img::PaletteEntry) == 4, "a palette entry is converted as b, g, r, x");

bool GivesSrgb(const SrgbTransform& transform) {
  // Every corner, edge and inside colour of a 6 x 6 x 6 cube.
  std::vector<std::uint8_t> samples;
  for (int b = 0; b < 6; ++b)
    for (int g = 0; g < 6; ++g)
      for (int r = 0; r < 6; ++r)
        for (int v : {b, g, r}) samples.push_back(static_cast<std::uint8_t>(v * 51));
  std::vector<std::uint8_t> converted(samples.size());
  transform.Convert(samples.data(), converted.data(), static_cast<int>(samples.size() / 3));
  for (std::size_t i = 0; i < samples.size(); ++i)
    if (std::abs(samples[i] - converted[i]) > kMostLevelsOff) return false;
  return true;
}

}  // namespace

bool IsSrgbProfile(std::span<const std::uint8_t> icc) {
  const SrgbTransform transform(icc, ProfiledPixels::Bgr);
  return transform && GivesSrgb(transform);
}

bool ConvertToSrgb(img::Bitmap& picture, std::span<const std::uint8_t> icc) {
  if (picture.empty()) return false;
  const bool palette = img::BitsPerPixel(picture.format()) <= 8;
  const bool four = palette || picture.format() == img::PixelFormat::Bits32 ||
                    picture.format() == img::PixelFormat::Bits32Alpha;
  const SrgbTransform transform(icc, four ? ProfiledPixels::Bgrx : ProfiledPixels::Bgr);
  if (!transform) return false;
  if (four ? IsSrgbProfile(icc) : GivesSrgb(transform)) return false;
  if (palette) {
    std::vector<img::PaletteEntry>& entries = picture.palette();
    transform.Convert(entries.data(), entries.data(), static_cast<int>(entries.size()));
    return true;
  }
  if (!four && picture.format() != img::PixelFormat::Bits24) picture.ConvertTo24();
  for (int y = 0; y < picture.height(); ++y)
    transform.Convert(picture.ScanLine(y), picture.ScanLine(y), picture.width());
  return true;
}

}  // namespace engine

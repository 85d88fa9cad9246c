#pragma once
// Rows whose colour was stored multiplied by its alpha (TIFF's associated
// alpha, HEIF's premultiplied alpha) back to plain colour, as every other
// picture holds it.

#include <cstdint>

namespace img {

// A row of width pixels of b, g, r, a in place; a pixel of alpha 0 keeps
// colour 0, and no channel passes 255.
void UnpremultiplyRow(std::uint8_t* bgra, int width);

}  // namespace img

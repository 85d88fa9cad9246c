#pragma once
// The adaptive choice of a PNG row's filter, as libpng makes it by default
// for 8-bit grey, RGB and RGBA pictures: each of the five filters (None,
// Sub, Up, Average, Paeth) is tried on the row, the bytes it gives are
// summed as signed magnitudes (a byte read as -128..127, its absolute
// value), and the smallest sum wins, ties going to the lower filter type.
// As libpng, a picture one row high tries no filter that looks at the row
// above (Up, Average, Paeth), and one a pixel wide none that looks to the
// left (Sub, Average, Paeth).

#include <cstddef>
#include <cstdint>

namespace engine {

class PngRowFilter {
 public:
  // For rows of row_bytes bytes, bytes_per_pixel of them a pixel (1 to 8;
  // at least 1 for pixels smaller than a byte), in a picture `rows` high.
  PngRowFilter(std::size_t row_bytes, std::size_t bytes_per_pixel, int rows);

  // Writes row, filtered, into out (row_bytes bytes) and returns the filter
  // type, 0 to 4. previous: the row above as it was before filtering; all
  // zero for the first row. out may not overlap either.
  std::uint8_t Filter(const std::uint8_t* row, const std::uint8_t* previous, std::uint8_t* out) const;

 private:
  std::size_t row_bytes_;
  std::size_t bytes_per_pixel_;
  unsigned allowed_;  // bit t set: filter type t is tried
};

}  // namespace engine

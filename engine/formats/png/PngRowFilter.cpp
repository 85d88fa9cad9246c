#include "engine/formats/png/PngRowFilter.h"

#include <algorithm>
#include <cstdlib>

#include "platform/ImageError.h"

// The sums of all five filters are taken in one pass over the row and the
// chosen filter is then run again to write its bytes: five trial rows would
// cost more memory traffic than the second pass. Both loops are free of
// branches (Paeth's choice is a select) so the compiler vectorises them;
// libpng's own sums stop early once a filter can no longer win, which gives
// the same choice as the full sums compared strictly in type order.

namespace engine {

namespace {

enum : unsigned { kNone, kSub, kUp, kAverage, kPaeth };

// A row's sum of magnitudes stays within 32 bits for every row a picture may have.
static_assert(std::uint64_t{img::kMaxSide} * 8 * 128 < (std::uint64_t{1} << 32));

// A filtered byte's magnitude as a signed byte (0x80 counts 128): written
// as |u - 128| with u the byte's top bit flipped, a sum of absolute
// differences that compilers know.
inline std::uint32_t Magnitude(std::uint8_t v) {
  return static_cast<std::uint32_t>(std::abs(static_cast<int>(static_cast<std::uint8_t>(v ^ 0x80)) - 128));
}

// (a + b) / 2 rounded down, without leaving the byte.
inline std::uint8_t Average(std::uint8_t a, std::uint8_t b) {
  return static_cast<std::uint8_t>((a & b) + ((a ^ b) >> 1));
}

// Paeth's predictor from left a, above b and upper left c; 16-bit sums keep
// eight lanes to a vector.
inline std::uint8_t Paeth(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  const auto pa = static_cast<std::int16_t>(std::abs(std::int16_t(b) - std::int16_t(c)));
  const auto pb = static_cast<std::int16_t>(std::abs(std::int16_t(a) - std::int16_t(c)));
  const auto pc = static_cast<std::int16_t>(std::abs(std::int16_t(a) + std::int16_t(b) - 2 * std::int16_t(c)));
  const std::uint8_t b_or_c = pb <= pc ? b : c;
  return ((pa <= pb) & (pa <= pc)) ? a : b_or_c;
}

inline std::uint8_t Minus(std::uint8_t x, std::uint8_t predicted) { return static_cast<std::uint8_t>(x - predicted); }

}  // namespace

PngRowFilter::PngRowFilter(std::size_t row_bytes, std::size_t bytes_per_pixel, int rows)
    : row_bytes_(row_bytes), bytes_per_pixel_(std::min(bytes_per_pixel, row_bytes)), allowed_(0x1F) {
  if (rows == 1) allowed_ &= ~(1u << kUp | 1u << kAverage | 1u << kPaeth);
  if (row_bytes <= bytes_per_pixel) allowed_ &= ~(1u << kSub | 1u << kAverage | 1u << kPaeth);
}

std::uint8_t PngRowFilter::Filter(const std::uint8_t* row, const std::uint8_t* previous, std::uint8_t* out) const {
  const std::size_t n = row_bytes_, bpp = bytes_per_pixel_;
  // The first pixel has nothing to its left: left and upper left are zero.
  std::uint32_t none = 0, sub = 0, up = 0, average = 0, paeth = 0;
  for (std::size_t i = 0; i < bpp; ++i) {
    const std::uint8_t x = row[i], b = previous[i];
    none += Magnitude(x);
    sub += Magnitude(x);
    up += Magnitude(Minus(x, b));
    average += Magnitude(Minus(x, static_cast<std::uint8_t>(b >> 1)));
    paeth += Magnitude(Minus(x, Paeth(0, b, 0)));
  }
  for (std::size_t i = bpp; i < n; ++i) {
    const std::uint8_t x = row[i], a = row[i - bpp], b = previous[i], c = previous[i - bpp];
    none += Magnitude(x);
    sub += Magnitude(Minus(x, a));
    up += Magnitude(Minus(x, b));
    average += Magnitude(Minus(x, Average(a, b)));
    paeth += Magnitude(Minus(x, Paeth(a, b, c)));
  }
  const std::uint32_t sums[5] = {none, sub, up, average, paeth};
  unsigned best = kNone;
  for (unsigned type = kSub; type <= kPaeth; ++type)
    if ((allowed_ >> type & 1) && sums[type] < sums[best]) best = type;

  switch (best) {
    case kNone:
      std::copy(row, row + n, out);
      break;
    case kSub:
      std::copy(row, row + bpp, out);
      for (std::size_t i = bpp; i < n; ++i) out[i] = Minus(row[i], row[i - bpp]);
      break;
    case kUp:
      for (std::size_t i = 0; i < n; ++i) out[i] = Minus(row[i], previous[i]);
      break;
    case kAverage:
      for (std::size_t i = 0; i < bpp; ++i) out[i] = Minus(row[i], static_cast<std::uint8_t>(previous[i] >> 1));
      for (std::size_t i = bpp; i < n; ++i) out[i] = Minus(row[i], Average(row[i - bpp], previous[i]));
      break;
    default:
      for (std::size_t i = 0; i < bpp; ++i) out[i] = Minus(row[i], previous[i]);
      for (std::size_t i = bpp; i < n; ++i) out[i] = Minus(row[i], Paeth(row[i - bpp], previous[i], previous[i - bpp]));
      break;
  }
  return static_cast<std::uint8_t>(best);
}

}  // namespace engine

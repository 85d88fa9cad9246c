#include "imaging/RightAngleTurn.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/ImageError.h"

namespace img {

namespace {

// Side of the square tiles of the quarter turns: 64 rows of both pictures
// (64 x 192 bytes each) stay in the first-level cache while a tile is moved.
constexpr int kTile = 64;

inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

inline void PrefetchRead(const std::uint8_t* p) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

// Copies `count` pixels into the contiguous run `dst`, taking them from `src`
// and then every `step` bytes (a source column up or down, or a row backwards).
// Addresses are formed only for pixels that exist.
inline void CopyPixels(std::uint8_t* dst, const std::uint8_t* src, std::ptrdiff_t step, int count) {
  for (int n = 0; n < count; ++n) {
    const std::uint8_t* from = src + n * step;
    dst[3 * n] = from[0];
    dst[3 * n + 1] = from[1];
    dst[3 * n + 2] = from[2];
  }
}

// The same, four pixels at a time: four 4-byte loads packed into three 4-byte
// stores. Each load also reads the byte after its pixel, so the caller uses
// it only where that byte lies inside the picture's buffer.
inline void CopyPixelsPacked(std::uint8_t* dst, const std::uint8_t* src, std::ptrdiff_t step,
                             int count) {
  if constexpr (std::endian::native != std::endian::little) {
    CopyPixels(dst, src, step, count);
    return;
  }
  int n = 0;
  for (; n + 4 <= count; n += 4) {
    const std::uint8_t* from = src + n * step;
    std::uint8_t* to = dst + 3 * n;
    const std::uint32_t p0 = Load32(from), p1 = Load32(from + step);
    const std::uint32_t p2 = Load32(from + 2 * step), p3 = Load32(from + 3 * step);
    Store32(to, (p0 & 0xFFFFFFu) | (p1 << 24));
    Store32(to + 4, ((p1 >> 8) & 0xFFFFu) | (p2 << 16));
    Store32(to + 8, ((p2 >> 16) & 0xFFu) | (p3 << 8));
  }
  if (n < count) CopyPixels(dst + 3 * n, src + n * step, step, count - n);
}

// The number of kTile-sized parts that `size` lines split into.
std::size_t PartsOf(int size) { return (static_cast<std::size_t>(size) + kTile - 1) / kTile; }

void Copy(const Bitmap& source, Bitmap& result, ParallelParts& parts) {
  const std::size_t bytes = static_cast<std::size_t>(source.width()) * 3;
  const int h = source.height();
  parts.Run(PartsOf(h), [&](std::size_t part, const ParallelParts::Yield&) {
    const int y0 = static_cast<int>(part) * kTile;
    for (int y = y0; y < std::min(y0 + kTile, h); ++y)
      std::memcpy(result.ScanLine(y), source.ScanLine(y), bytes);
  });
}

// Result row y is source row H-1-y backwards; one task per kTile rows.
void HalfTurn(const Bitmap& source, Bitmap& result, ParallelParts& parts) {
  const int w = source.width(), h = source.height();
  parts.Run(PartsOf(h), [&](std::size_t part, const ParallelParts::Yield&) {
    const int y0 = static_cast<int>(part) * kTile;
    for (int y = y0; y < std::min(y0 + kTile, h); ++y) {
      const std::uint8_t* last =
          source.ScanLine(h - 1 - y) + 3 * static_cast<std::size_t>(w - 1);
      std::uint8_t* out = result.ScanLine(y);
      // The last source pixel may end the buffer: copy it alone.
      CopyPixels(out, last, -3, 1);
      if (w > 1) CopyPixelsPacked(out + 3, last - 3, -3, w - 1);
    }
  });
}

// One quarter turn (result (i, j) = source (j, H-1-i)) or three (result
// (i, j) = source (W-1-j, i)): result row j is a source column read
// bottom-up or top-down. The result is filled in bands of kTile rows, one
// task each; a band goes tile by tile down the source, and the source rows
// of the next tile are fetched ahead while one is moved. Bands write
// disjoint rows, so they may run at once: the turn mostly waits on memory,
// and a second core overlaps those waits.
void QuarterTurn(const Bitmap& source, bool one_turn, Bitmap& result, ParallelParts& parts) {
  const int w = source.width(), h = source.height();
  const auto stride = static_cast<std::ptrdiff_t>(source.stride());
  const std::ptrdiff_t step = one_turn ? -stride : stride;
  auto source_row = [&](int i) { return source.ScanLine(one_turn ? h - 1 - i : i); };
  auto source_column = [&](int j) { return one_turn ? j : w - 1 - j; };

  parts.Run(PartsOf(w), [&](std::size_t band, const ParallelParts::Yield&) {
    const int j0 = static_cast<int>(band) * kTile;
    const int j1 = std::min(j0 + kTile, w);
    // The band's source columns, as a byte span of a source row.
    const std::size_t span_begin =
        3 * static_cast<std::size_t>(std::min(source_column(j0), source_column(j1 - 1)));
    const std::size_t span_end =
        3 * static_cast<std::size_t>(std::max(source_column(j0), source_column(j1 - 1))) + 3;
    for (int i0 = 0; i0 < h; i0 += kTile) {
      const int count = std::min(kTile, h - i0);
      for (int i = i0 + kTile; i < std::min(i0 + 2 * kTile, h); ++i) {
        const std::uint8_t* row = source_row(i);
        for (std::size_t b = span_begin; b < span_end; b += 64) PrefetchRead(row + b);
        PrefetchRead(row + span_end - 1);
      }
      for (int j = j0; j < j1; ++j) {
        const std::size_t x = static_cast<std::size_t>(source_column(j));
        std::uint8_t* dst = result.ScanLine(j) + 3 * static_cast<std::size_t>(i0);
        const std::uint8_t* src = source_row(i0) + 3 * x;
        if (3 * x + 4 <= source.stride())
          CopyPixelsPacked(dst, src, step, count);
        else  // the last column with no row padding after it
          CopyPixels(dst, src, step, count);
      }
    }
  });
}

}  // namespace

std::optional<int> QuarterTurnsOf(int degrees, int hundredths) {
  const long long total = static_cast<long long>(degrees) * 100 + hundredths;
  if (total % 9000 != 0) return std::nullopt;
  const long long turns = (total / 9000) % 4;
  return static_cast<int>(turns < 0 ? turns + 4 : turns);
}

void TurnRightAngle(const Bitmap& source, int quarter_turns, Bitmap& result,
                    ParallelParts& parts) {
  const bool sideways = quarter_turns % 2 != 0;
  const int want_w = sideways ? source.height() : source.width();
  const int want_h = sideways ? source.width() : source.height();
  if (quarter_turns < 0 || quarter_turns > 3 || source.format() != PixelFormat::Bits24 ||
      result.format() != PixelFormat::Bits24 || result.width() != want_w ||
      result.height() != want_h)
    throw ImageError(ErrorCode::InvalidArgument,
                     "quarter turn into a picture of the wrong size or format");
  if (source.empty()) return;

  switch (quarter_turns) {
    case 0:
      Copy(source, result, parts);
      break;
    case 1:
      QuarterTurn(source, true, result, parts);
      break;
    case 2:
      HalfTurn(source, result, parts);
      break;
    case 3:
      QuarterTurn(source, false, result, parts);
      break;
  }
}

}  // namespace img

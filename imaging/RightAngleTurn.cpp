#include "imaging/RightAngleTurn.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/ImageError.h"

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

// Copies `count` pixels of Bytes bytes into the contiguous run `dst`, taking
// them from `src` and then every `step` bytes (a source column up or down,
// or a row backwards). Addresses are formed only for pixels that exist.
template <int Bytes>
inline void CopyPixels(std::uint8_t* dst, const std::uint8_t* src, std::ptrdiff_t step, int count) {
  for (int n = 0; n < count; ++n) {
    const std::uint8_t* from = src + n * step;
    if constexpr (Bytes == 4) {
      Store32(dst + 4 * n, Load32(from));
    } else {
      for (int i = 0; i < Bytes; ++i) dst[Bytes * n + i] = from[i];
    }
  }
}

// The same for 3-byte pixels, four at a time: four 4-byte loads packed into
// three 4-byte stores. Each load also reads the byte after its pixel, so the
// caller uses it only where that byte lies inside the picture's buffer.
inline void CopyPixelsPacked(std::uint8_t* dst, const std::uint8_t* src, std::ptrdiff_t step,
                             int count) {
  if constexpr (std::endian::native != std::endian::little) {
    CopyPixels<3>(dst, src, step, count);
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
  if (n < count) CopyPixels<3>(dst + 3 * n, src + n * step, step, count - n);
}

// Copies a run as CopyPixels does; `read_past` says that the byte after the
// last pixel read lies inside the buffer, which lets 3-byte pixels go packed.
template <int Bytes>
inline void MovePixels(std::uint8_t* dst, const std::uint8_t* src, std::ptrdiff_t step, int count,
                       bool read_past) {
  if constexpr (Bytes == 3) {
    if (read_past) {
      CopyPixelsPacked(dst, src, step, count);
      return;
    }
  }
  CopyPixels<Bytes>(dst, src, step, count);
}

// The number of kTile-sized parts that `size` lines split into.
std::size_t PartsOf(int size) { return (static_cast<std::size_t>(size) + kTile - 1) / kTile; }

template <int Bytes>
void Copy(const Bitmap& source, Bitmap& result, ParallelParts& parts) {
  const std::size_t bytes = static_cast<std::size_t>(source.width()) * Bytes;
  const int h = source.height();
  parts.Run(PartsOf(h), [&](std::size_t part) {
    const int y0 = static_cast<int>(part) * kTile;
    for (int y = y0; y < std::min(y0 + kTile, h); ++y)
      std::memcpy(result.ScanLine(y), source.ScanLine(y), bytes);
  });
}

// Result row y is source row H-1-y backwards; one task per kTile rows.
template <int Bytes>
void HalfTurn(const Bitmap& source, Bitmap& result, ParallelParts& parts) {
  const int w = source.width(), h = source.height();
  parts.Run(PartsOf(h), [&](std::size_t part) {
    const int y0 = static_cast<int>(part) * kTile;
    for (int y = y0; y < std::min(y0 + kTile, h); ++y) {
      const std::uint8_t* last =
          source.ScanLine(h - 1 - y) + Bytes * static_cast<std::size_t>(w - 1);
      std::uint8_t* out = result.ScanLine(y);
      // The last source pixel may end the buffer: copy it alone.
      CopyPixels<Bytes>(out, last, -Bytes, 1);
      if (w > 1) MovePixels<Bytes>(out + Bytes, last - Bytes, -Bytes, w - 1, true);
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
template <int Bytes>
void QuarterTurn(const Bitmap& source, bool one_turn, Bitmap& result, ParallelParts& parts) {
  const int w = source.width(), h = source.height();
  const auto stride = static_cast<std::ptrdiff_t>(source.stride());
  const std::ptrdiff_t step = one_turn ? -stride : stride;
  auto source_row = [&](int i) { return source.ScanLine(one_turn ? h - 1 - i : i); };
  auto source_column = [&](int j) { return one_turn ? j : w - 1 - j; };

  parts.Run(PartsOf(w), [&](std::size_t band) {
    const int j0 = static_cast<int>(band) * kTile;
    const int j1 = std::min(j0 + kTile, w);
    // The band's source columns, as a byte span of a source row.
    const std::size_t span_begin =
        Bytes * static_cast<std::size_t>(std::min(source_column(j0), source_column(j1 - 1)));
    const std::size_t span_end =
        Bytes * static_cast<std::size_t>(std::max(source_column(j0), source_column(j1 - 1))) + Bytes;
    for (int i0 = 0; i0 < h; i0 += kTile) {
      const int count = std::min(kTile, h - i0);
      for (int i = i0 + kTile; i < std::min(i0 + 2 * kTile, h); ++i) {
        const std::uint8_t* row = source_row(i);
        for (std::size_t b = span_begin; b < span_end; b += 64) PrefetchRead(row + b);
        PrefetchRead(row + span_end - 1);
      }
      for (int j = j0; j < j1; ++j) {
        const std::size_t x = static_cast<std::size_t>(source_column(j));
        std::uint8_t* dst = result.ScanLine(j) + Bytes * static_cast<std::size_t>(i0);
        const std::uint8_t* src = source_row(i0) + Bytes * x;
        // The last column has no row padding after it when the row ends there.
        MovePixels<Bytes>(dst, src, step, count, Bytes * x + 4 <= source.stride());
      }
    }
  });
}

template <int Bytes>
void Turn(const Bitmap& source, int quarter_turns, Bitmap& result, ParallelParts& parts) {
  switch (quarter_turns) {
    case 0:
      Copy<Bytes>(source, result, parts);
      break;
    case 1:
      QuarterTurn<Bytes>(source, true, result, parts);
      break;
    case 2:
      HalfTurn<Bytes>(source, result, parts);
      break;
    case 3:
      QuarterTurn<Bytes>(source, false, result, parts);
      break;
  }
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
  const PixelFormat format = source.format();
  const bool whole_bytes = format == PixelFormat::Bits8 || format == PixelFormat::Bits24 ||
                           format == PixelFormat::Bits32 || format == PixelFormat::Bits32Alpha;
  if (quarter_turns < 0 || quarter_turns > 3 || !whole_bytes || result.format() != format ||
      result.width() != want_w || result.height() != want_h)
    throw ImageError(ErrorCode::InvalidArgument,
                     "quarter turn into a picture of the wrong size or format");
  if (source.empty()) return;

  switch (BitsPerPixel(format)) {
    case 8: Turn<1>(source, quarter_turns, result, parts); break;
    case 24: Turn<3>(source, quarter_turns, result, parts); break;
    default: Turn<4>(source, quarter_turns, result, parts); break;
  }
}

}  // namespace img

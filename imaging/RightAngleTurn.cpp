#include "imaging/RightAngleTurn.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "imaging/ImageError.h"

namespace img {

namespace {

// Side of the square tiles of the quarter turns: 64 rows of both pictures
// (64 x 192 bytes each) stay in the first-level cache while a tile is moved.
constexpr int kTile = 64;

// Copies `count` pixels into the contiguous run `dst`, taking them from `src`
// and then every `step` bytes (a column of the source, up or down).
inline void CopyColumn(std::uint8_t* dst, const std::uint8_t* src, std::ptrdiff_t step, int count) {
  for (int n = 0; n < count; ++n, dst += 3, src += step) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
  }
}

void Copy(const Bitmap& source, Bitmap& result, ProgressSink& progress) {
  const std::size_t bytes = static_cast<std::size_t>(source.width()) * 3;
  for (int y = 0; y < source.height(); ++y) {
    progress.PumpEvents();
    std::memcpy(result.ScanLine(y), source.ScanLine(y), bytes);
  }
}

void HalfTurn(const Bitmap& source, Bitmap& result, ProgressSink& progress) {
  const int w = source.width(), h = source.height();
  for (int y = 0; y < h; ++y) {
    progress.PumpEvents();
    const std::uint8_t* src = source.ScanLine(h - 1 - y) + 3 * static_cast<std::size_t>(w - 1);
    CopyColumn(result.ScanLine(y), src, -3, w);
  }
}

// One or three quarter turns. Result row j is a source column read top-down
// (three turns) or bottom-up (one turn); the rows are filled in bands of
// kTile, each band tile by tile, so the source rows of a tile are read while
// they are cached.
void QuarterTurn(const Bitmap& source, bool clockwise, Bitmap& result, ProgressSink& progress) {
  const int w = source.width(), h = source.height();
  const auto stride = static_cast<std::ptrdiff_t>(source.stride());
  for (int j0 = 0; j0 < w; j0 += kTile) {
    progress.PumpEvents();
    const int j1 = std::min(j0 + kTile, w);
    for (int i0 = 0; i0 < h; i0 += kTile) {
      const int count = std::min(kTile, h - i0);
      for (int j = j0; j < j1; ++j) {
        std::uint8_t* dst = result.ScanLine(j) + 3 * static_cast<std::size_t>(i0);
        if (clockwise)  // result (i, j) = source (j, H-1-i)
          CopyColumn(dst, source.ScanLine(h - 1 - i0) + 3 * static_cast<std::size_t>(j), -stride, count);
        else  // result (i, j) = source (W-1-j, i)
          CopyColumn(dst, source.ScanLine(i0) + 3 * static_cast<std::size_t>(w - 1 - j), stride, count);
      }
    }
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
                    ProgressSink& progress) {
  const bool sideways = quarter_turns % 2 != 0;
  const int want_w = sideways ? source.height() : source.width();
  const int want_h = sideways ? source.width() : source.height();
  if (quarter_turns < 0 || quarter_turns > 3 || source.format() != PixelFormat::Bits24 ||
      result.format() != PixelFormat::Bits24 || result.width() != want_w ||
      result.height() != want_h)
    throw ImageError(ErrorCode::InvalidArgument, "quarter turn into a picture of the wrong size or format");
  if (source.empty()) return;

  switch (quarter_turns) {
    case 0: Copy(source, result, progress); break;
    case 1: QuarterTurn(source, true, result, progress); break;
    case 2: HalfTurn(source, result, progress); break;
    case 3: QuarterTurn(source, false, result, progress); break;
  }
}

}  // namespace img

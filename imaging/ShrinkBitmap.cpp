#include "imaging/ShrinkBitmap.h"

#include <algorithm>

#include "platform/ImageError.h"

namespace img {

namespace {

// The average of a box of n pixels is (sum * (65535 div n)) >> 16, which
// comes out slightly low by design. A box of more than 65535 pixels would
// get a reciprocal of 0 and turn black, so there the same fraction
// 65535 / (n * 65536) is kept with 16 more bits of precision. Both forms are
// one 64-bit multiply and a shift by 32: (sum * f) >> 16 equals
// (sum * (f << 16)) >> 32 exactly.
std::uint64_t BoxReciprocal(std::uint64_t n) {
  if (n <= 65535) return (65535 / n) << 16;
  return (std::uint64_t{65535} << 16) / n;
}

// The step tables must lay every box inside the source with at least one
// line each; the scales of a shrink guarantee it, this keeps it guaranteed.
int CheckedTableSpan(const std::vector<int>& steps, int sourceSide) {
  long long span = 0;
  for (int step : steps) {
    if (step < 1) throw ImageError(ErrorCode::InvalidArgument, "empty shrink box");
    span += step;
  }
  if (span > sourceSide) throw ImageError(ErrorCode::InvalidArgument, "shrink box past the source");
  return static_cast<int>(span);
}

// Column sums over dy source rows, the channels interleaved as in the row.
// Two rows are added per sweep so the sums are loaded and stored half as
// often.
template <typename Sum>
void SumRows(const Bitmap& source, int firstRow, int rows, int bytes, Sum* __restrict sums) {
  const std::uint8_t* __restrict a = source.ScanLine(firstRow);
  if (rows % 2 == 1) {
    for (int i = 0; i < bytes; ++i) sums[i] = a[i];
  } else {
    const std::uint8_t* __restrict b = source.ScanLine(firstRow + 1);
    for (int i = 0; i < bytes; ++i) sums[i] = static_cast<Sum>(a[i] + b[i]);
  }
  for (int r = 2 - rows % 2; r < rows; r += 2) {
    a = source.ScanLine(firstRow + r);
    const std::uint8_t* __restrict b = source.ScanLine(firstRow + r + 1);
    for (int i = 0; i < bytes; ++i) sums[i] = static_cast<Sum>(sums[i] + a[i] + b[i]);
  }
}

// One target row from the column sums: each target pixel sums its dx
// columns and scales by the box's reciprocal.
template <int Channels, typename Sum>
void AverageRow(const Sum* sums, const int* columnSteps, const std::uint64_t* reciprocals,
                int width, std::uint8_t* out) {
  for (int x = 0; x < width; ++x, out += Channels) {
    std::uint64_t total[Channels] = {};
    for (int k = columnSteps[x]; k > 0; --k, sums += Channels)
      for (int c = 0; c < Channels; ++c) total[c] += sums[c];
    const std::uint64_t f = reciprocals[x];
    for (int c = 0; c < Channels; ++c) out[c] = static_cast<std::uint8_t>((total[c] * f) >> 32);
  }
}

// The averaging pass with column sums of type Sum, wide enough for the
// tallest box.
template <int Channels, typename Sum>
void AveragePass(const Bitmap& source, Bitmap& dest, const std::vector<int>& columnSteps,
                 const std::vector<int>& rowSteps, int usedColumns, int lowDy,
                 const std::vector<std::uint64_t> (&reciprocals)[2]) {
  const int usedBytes = usedColumns * Channels;
  std::vector<Sum> sums(static_cast<std::size_t>(usedBytes));
  int sourceRow = 0;
  for (int y = 0; y < dest.height(); ++y) {
    const int dy = rowSteps[y];
    SumRows(source, sourceRow, dy, usedBytes, sums.data());
    AverageRow<Channels>(sums.data(), columnSteps.data(), reciprocals[dy - lowDy].data(),
                         dest.width(), dest.ScanLine(y));
    sourceRow += dy;
  }
}

// Column sums of a picture with alpha over dy source rows: b*a, g*a, r*a
// and a for each column. A column of 65535 rows stays within 32 bits.
void SumRowsWeighted(const Bitmap& source, int firstRow, int rows, int columns,
                     std::uint32_t* __restrict sums) {
  std::fill(sums, sums + 4 * static_cast<std::size_t>(columns), 0u);
  for (int r = 0; r < rows; ++r) {
    const std::uint8_t* __restrict p = source.ScanLine(firstRow + r);
    for (int x = 0; x < columns; ++x, p += 4) {
      const std::uint32_t a = p[3];
      std::uint32_t* s = sums + 4 * x;
      s[0] += p[0] * a;
      s[1] += p[1] * a;
      s[2] += p[2] * a;
      s[3] += a;
    }
  }
}

// One target row of a picture with alpha. A box whose pixels are all
// opaque is averaged exactly as a 24-bit box (its weighted sums are 255
// times the plain ones), so an opaque picture shrinks to the same colours;
// a clear box is clear black; any other box gets its colour weighted by
// alpha, so clear pixels lend it nothing, at the same slightly low scale
// 65535/65536, and its alpha averaged as a colour is.
void AverageRowWeighted(const std::uint32_t* sums, const int* columnSteps,
                        const std::uint64_t* reciprocals, int dy, int width, std::uint8_t* out) {
  for (int x = 0; x < width; ++x, out += 4) {
    std::uint64_t b = 0, g = 0, r = 0, a = 0;
    for (int k = columnSteps[x]; k > 0; --k, sums += 4) {
      b += sums[0];
      g += sums[1];
      r += sums[2];
      a += sums[3];
    }
    const std::uint64_t f = reciprocals[x];
    const std::uint64_t n = static_cast<std::uint64_t>(columnSteps[x]) * static_cast<std::uint64_t>(dy);
    if (a == 255 * n) {
      out[0] = static_cast<std::uint8_t>((b / 255 * f) >> 32);
      out[1] = static_cast<std::uint8_t>((g / 255 * f) >> 32);
      out[2] = static_cast<std::uint8_t>((r / 255 * f) >> 32);
      out[3] = 255;
    } else if (a == 0) {
      out[0] = out[1] = out[2] = out[3] = 0;
    } else {
      // Only boxes on a shape's edge divide, once per target pixel.
      out[0] = static_cast<std::uint8_t>((b * 65535 / a) >> 16);
      out[1] = static_cast<std::uint8_t>((g * 65535 / a) >> 16);
      out[2] = static_cast<std::uint8_t>((r * 65535 / a) >> 16);
      out[3] = static_cast<std::uint8_t>((a * f) >> 32);
    }
  }
}

void AveragePassWeighted(const Bitmap& source, Bitmap& dest, const std::vector<int>& columnSteps,
                         const std::vector<int>& rowSteps, int usedColumns, int lowDy,
                         const std::vector<std::uint64_t> (&reciprocals)[2]) {
  std::vector<std::uint32_t> sums(4 * static_cast<std::size_t>(usedColumns));
  int sourceRow = 0;
  for (int y = 0; y < dest.height(); ++y) {
    const int dy = rowSteps[y];
    SumRowsWeighted(source, sourceRow, dy, usedColumns, sums.data());
    AverageRowWeighted(sums.data(), columnSteps.data(), reciprocals[dy - lowDy].data(), dy,
                       dest.width(), dest.ScanLine(y));
    sourceRow += dy;
  }
}

// Sharpens the inner bytes of one row with the diagonal kernel. The row
// above has already been sharpened, the row below not yet; the pixel's left
// neighbour is never read, so writing in place gives exactly that order.
template <int Channels>
void SharpenRow(const std::uint8_t* __restrict up, std::uint8_t* __restrict cur,
                const std::uint8_t* __restrict down, int firstByte, int endByte) {
  for (int i = firstByte; i < endByte; ++i) {
    const int diagonals = up[i - Channels] + up[i + Channels] + down[i - Channels] + down[i + Channels];
    const int v = (12 * cur[i] - diagonals) / 8;  // truncates toward zero
    cur[i] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
  }
}

// The same on a picture with alpha: only the colour of a pixel that is
// opaque with its four diagonal neighbours, so no clear pixel's colour
// bleeds into an edge; alpha itself is left as averaged.
void SharpenRowWeighted(const std::uint8_t* __restrict up, std::uint8_t* __restrict cur,
                        const std::uint8_t* __restrict down, int width) {
  for (int x = 1; x < width - 1; ++x) {
    const int i = 4 * x;
    if ((cur[i + 3] & up[i - 1] & up[i + 7] & down[i - 1] & down[i + 7]) != 255) continue;
    for (int c = i; c < i + 3; ++c) {
      const int diagonals = up[c - 4] + up[c + 4] + down[c - 4] + down[c + 4];
      const int v = (12 * cur[c] - diagonals) / 8;
      cur[c] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
    }
  }
}

template <int Channels>
void AverageAndSharpen(const Bitmap& source, Bitmap& dest, const std::vector<int>& columnSteps,
                       const std::vector<int>& rowSteps, int usedColumns, int lowDy,
                       const std::vector<std::uint64_t> (&reciprocals)[2]) {
  // 16-bit sums hold 257 rows of 255; taller boxes need 32 bits.
  if (lowDy + 1 <= 257)
    AveragePass<Channels, std::uint16_t>(source, dest, columnSteps, rowSteps, usedColumns, lowDy, reciprocals);
  else
    AveragePass<Channels, std::uint32_t>(source, dest, columnSteps, rowSteps, usedColumns, lowDy, reciprocals);

  const int width = dest.width(), height = dest.height();
  if (height >= 3 && width >= 3) {
    for (int y = 1; y <= height - 2; ++y)
      SharpenRow<Channels>(dest.ScanLine(y - 1), dest.ScanLine(y), dest.ScanLine(y + 1), Channels,
                           Channels * (width - 1));
  }
}

void ShrinkInto(const Bitmap& source, Bitmap& dest, int width, int height) {
  const std::vector<int> columnSteps = ShrinkStepTable(width, ShrinkScale(source.width(), width));
  const std::vector<int> rowSteps = ShrinkStepTable(height, ShrinkScale(source.height(), height));
  const int usedColumns = CheckedTableSpan(columnSteps, source.width());
  CheckedTableSpan(rowSteps, source.height());

  // A box's reciprocal depends on dx and dy. The row boxes take at most two
  // heights (trunc(t) and one more), so one table per height covers every box.
  const int lowDy = *std::min_element(rowSteps.begin(), rowSteps.end());
  if (*std::max_element(rowSteps.begin(), rowSteps.end()) > lowDy + 1)
    throw ImageError(ErrorCode::InvalidArgument, "uneven shrink rows");
  std::vector<std::uint64_t> reciprocals[2];
  for (int i = 0; i < 2; ++i) {
    reciprocals[i].resize(static_cast<std::size_t>(width));
    const std::uint64_t dy = static_cast<std::uint64_t>(lowDy + i);
    for (int x = 0; x < width; ++x)
      reciprocals[i][x] = BoxReciprocal(static_cast<std::uint64_t>(columnSteps[x]) * dy);
  }

  // Every pixel of dest is replaced: only its buffer may be reused.
  const PixelFormat format = source.format();
  if (dest.format() != format) dest.Clear();
  if (dest.width() != width || dest.height() != height) dest = Bitmap::Unfilled(width, height, format);
  dest.palette() = source.palette();

  switch (format) {
    case PixelFormat::Bits32Alpha:
      AveragePassWeighted(source, dest, columnSteps, rowSteps, usedColumns, lowDy, reciprocals);
      if (height >= 3 && width >= 3)
        for (int y = 1; y <= height - 2; ++y)
          SharpenRowWeighted(dest.ScanLine(y - 1), dest.ScanLine(y), dest.ScanLine(y + 1), width);
      break;
    case PixelFormat::Bits8:  // a grey picture, its palette the grey ramp
      AverageAndSharpen<1>(source, dest, columnSteps, rowSteps, usedColumns, lowDy, reciprocals);
      break;
    default:
      AverageAndSharpen<3>(source, dest, columnSteps, rowSteps, usedColumns, lowDy, reciprocals);
      break;
  }
}

}  // namespace

float ShrinkScale(int sourceSide, int targetSide) {
  return static_cast<float>(1.0 / (static_cast<double>(targetSide) / static_cast<double>(sourceSide)));
}

std::vector<int> ShrinkStepTable(int targetSide, float scale) {
  std::vector<int> steps(static_cast<std::size_t>(std::max(targetSide, 0)));
  const double s = scale;
  long long previous = 0;
  for (int k = 0; k < targetSide; ++k) {
    // Exact in double: a 24-bit mantissa times a number below 2^17.
    const long long next = static_cast<long long>(static_cast<double>(k + 1) * s);
    steps[k] = static_cast<int>(next - previous);
    previous = next;
  }
  return steps;
}

void ShrinkBitmap(Bitmap& source, Bitmap& dest, std::uint16_t width, std::uint16_t height) {
  source.ConvertToWorkFormat();
  // A side that would grow keeps the source's size, so every box holds at
  // least one source pixel.
  const int w = std::min<int>(width, source.width());
  const int h = std::min<int>(height, source.height());
  if (&source == &dest) {
    if (w == 0 || h == 0 || (w == source.width() && h == source.height())) return;
    const Bitmap copy = source;
    ShrinkInto(copy, dest, w, h);
    return;
  }
  if (w == 0 || h == 0 || (w == source.width() && h == source.height())) {
    dest.Assign(source);
    return;
  }
  ShrinkInto(source, dest, w, h);
}

}  // namespace img

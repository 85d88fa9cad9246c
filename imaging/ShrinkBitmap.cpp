#include "imaging/ShrinkBitmap.h"

#include <algorithm>

#include "imaging/ImageError.h"

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

// Column sums over dy source rows, three channels interleaved as in the
// row. Two rows are added per sweep so the sums are loaded and stored half
// as often.
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
template <typename Sum>
void AverageRow(const Sum* sums, const int* columnSteps, const std::uint64_t* reciprocals,
                int width, std::uint8_t* out) {
  for (int x = 0; x < width; ++x, out += 3) {
    std::uint64_t b = 0, g = 0, r = 0;
    for (int k = columnSteps[x]; k > 0; --k, sums += 3) {
      b += sums[0];
      g += sums[1];
      r += sums[2];
    }
    const std::uint64_t f = reciprocals[x];
    out[0] = static_cast<std::uint8_t>((b * f) >> 32);
    out[1] = static_cast<std::uint8_t>((g * f) >> 32);
    out[2] = static_cast<std::uint8_t>((r * f) >> 32);
  }
}

// The averaging pass with column sums of type Sum, wide enough for the
// tallest box.
template <typename Sum>
void AveragePass(const Bitmap& source, Bitmap& dest, const std::vector<int>& columnSteps,
                 const std::vector<int>& rowSteps, int usedColumns, int lowDy,
                 const std::vector<std::uint64_t> (&reciprocals)[2]) {
  const int usedBytes = usedColumns * 3;
  std::vector<Sum> sums(static_cast<std::size_t>(usedBytes));
  int sourceRow = 0;
  for (int y = 0; y < dest.height(); ++y) {
    const int dy = rowSteps[y];
    SumRows(source, sourceRow, dy, usedBytes, sums.data());
    AverageRow(sums.data(), columnSteps.data(), reciprocals[dy - lowDy].data(), dest.width(),
               dest.ScanLine(y));
    sourceRow += dy;
  }
}

// Sharpens the inner bytes of one row with the diagonal kernel. The row
// above has already been sharpened, the row below not yet; the pixel's left
// neighbour is never read, so writing in place gives exactly that order.
void SharpenRow(const std::uint8_t* __restrict up, std::uint8_t* __restrict cur,
                const std::uint8_t* __restrict down, int firstByte, int endByte) {
  for (int i = firstByte; i < endByte; ++i) {
    const int diagonals = up[i - 3] + up[i + 3] + down[i - 3] + down[i + 3];
    const int v = (12 * cur[i] - diagonals) / 8;  // truncates toward zero
    cur[i] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
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

  if (dest.format() != PixelFormat::Bits24) dest.Clear();  // its pixels are all replaced
  if (dest.width() != width || dest.height() != height) dest = Bitmap::Unfilled(width, height);

  // 16-bit sums hold 257 rows of 255; taller boxes need 32 bits.
  if (lowDy + 1 <= 257)
    AveragePass<std::uint16_t>(source, dest, columnSteps, rowSteps, usedColumns, lowDy, reciprocals);
  else
    AveragePass<std::uint32_t>(source, dest, columnSteps, rowSteps, usedColumns, lowDy, reciprocals);

  if (height >= 3 && width >= 3) {
    for (int y = 1; y <= height - 2; ++y)
      SharpenRow(dest.ScanLine(y - 1), dest.ScanLine(y), dest.ScanLine(y + 1), 3, 3 * (width - 1));
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
  source.ConvertTo24();
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

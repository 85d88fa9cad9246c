#include "imaging/ScreenRotateScanLine.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "platform/ImageError.h"
#include "imaging/RightAngleTurn.h"

namespace img {

namespace {

// To the nearest integer, halves to the even neighbour (the default rounding
// mode, which nothing in this program changes).
int Nearest(double x) { return static_cast<int>(std::nearbyint(x)); }

}  // namespace

RotationAngle AngleOf(int degrees, int hundredths) {
  const double theta = -(degrees + hundredths / 100.0) * std::numbers::pi / 180.0;
  return RotationAngle{std::sin(theta), std::cos(theta)};
}

RotatedSize RotatedSizeOf(int width, int height, RotationAngle angle) {
  const double s = angle.sin_theta, c = angle.cos_theta;
  return RotatedSize{std::abs(Nearest(height * s)) + std::abs(Nearest(width * c)),
                     std::abs(Nearest(width * s)) + std::abs(Nearest(height * c))};
}

void RotateByMapping(const Bitmap& source, RotationAngle angle, Bitmap& result) {
  if (source.format() != PixelFormat::Bits24 || result.format() != PixelFormat::Bits24)
    throw ImageError(ErrorCode::InvalidArgument, "rotation works on 24-bit pictures only");
  const double s = angle.sin_theta, c = angle.cos_theta;
  const int w = source.width(), h = source.height();
  const int rw = result.width(), rh = result.height();
  // Centres and offsets with truncating division; ip and jp below are a result
  // pixel's centre relative to the picture centre in half pixels.
  const int cx = w / 2, cy = h / 2;
  const int dx = (rw - w) / 2, dy = (rh - h) / 2;

  for (int j = rh - 1; j >= 0; --j) {
    const int jp = 2 * (j - dy - cy) + 1;
    const double jp_sin = jp * s, jp_cos = jp * c;
    std::uint8_t* out = result.ScanLine(j);
    for (int i = rw - 1; i >= 0; --i) {
      const int ip = 2 * (i - dx - cx) + 1;
      const int ir = Nearest(ip * c - jp_sin);
      const int jr = Nearest(ip * s + jp_cos);
      const int si = (ir - 1) / 2 + cx;
      const int sj = (jr - 1) / 2 + cy;
      std::uint8_t* px = out + 3 * static_cast<std::size_t>(i);
      if (si >= 0 && si < w && sj >= 0 && sj < h) {
        const std::uint8_t* from = source.ScanLine(sj) + 3 * static_cast<std::size_t>(si);
        px[0] = from[0];
        px[1] = from[1];
        px[2] = from[2];
      } else {
        px[0] = kRotationBackground.blue;
        px[1] = kRotationBackground.green;
        px[2] = kRotationBackground.red;
      }
    }
  }
}

void RotateBitmapScanLine(std::unique_ptr<Bitmap> source, int degrees, int hundredths,
                          ProgressSink& progress, ParallelParts& parts,
                          std::unique_ptr<Bitmap>& result) {
  progress.StepProgress();

  if (!source) source = std::make_unique<Bitmap>();  // nothing to turn: an empty picture
  const std::optional<int> quarter_turns = QuarterTurnsOf(degrees, hundredths);
  // The exact turn moves whole pixels of any work format; the mapping paints
  // its blue on 24 bits.
  if (quarter_turns)
    source->ConvertToWorkFormat();
  else
    source->ConvertTo24();
  const RotationAngle angle = AngleOf(degrees, hundredths);

  result = std::make_unique<Bitmap>();
  Bitmap& turned = *result;
  const int w = source->width(), h = source->height();
  // Whole multiples of 90 degrees take the exact turn: the half-pixel mapping
  // would drop a source line and paint a blue one wherever a side is odd.
  // Their size is what the mapping gives too, taken here without rounding.
  if (quarter_turns) {  // every pixel is written by the turn
    turned = Bitmap::Unfilled(*quarter_turns % 2 ? h : w, *quarter_turns % 2 ? w : h, source->format());
    turned.palette() = source->palette();
  } else {
    const RotatedSize size = RotatedSizeOf(w, h, angle);
    turned.SetSize(size.width, size.height);
  }

  progress.StepProgress();
  if (quarter_turns)
    TurnRightAngle(*source, *quarter_turns, turned, parts);
  else
    RotateByMapping(*source, angle, turned);
  source.reset();
}

void RotateBitmapScanLine(std::unique_ptr<Bitmap> source, int degrees, int hundredths,
                          ProgressSink& progress, std::unique_ptr<Bitmap>& result) {
  SerialParts parts;
  RotateBitmapScanLine(std::move(source), degrees, hundredths, progress, parts, result);
}

}  // namespace img

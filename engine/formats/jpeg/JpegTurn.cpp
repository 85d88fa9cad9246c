#include "engine/formats/jpeg/JpegTurn.h"

#include <turbojpeg.h>

#include <array>
#include <memory>

namespace engine {

namespace {

// Each orientation as the 2x2 matrix it applies to a point's (x, y), y
// down, about the picture's centre: index 0 is orientation 1.
using Matrix = std::array<int, 4>;  // {a, b, c, d}: (x, y) to (a x + b y, c x + d y)
constexpr std::array<Matrix, 8> kOrientations = {{
    {1, 0, 0, 1},    // 1 as it is
    {-1, 0, 0, 1},   // 2 mirrored left-right
    {-1, 0, 0, -1},  // 3 half turn
    {1, 0, 0, -1},   // 4 mirrored top-bottom
    {0, 1, 1, 0},    // 5 transposed
    {0, -1, 1, 0},   // 6 quarter turn clockwise
    {0, -1, -1, 0},  // 7 transversed
    {0, 1, -1, 0},   // 8 three quarter turns
}};

Matrix Times(const Matrix& m, const Matrix& n) {
  return {m[0] * n[0] + m[1] * n[2], m[0] * n[1] + m[1] * n[3], m[2] * n[0] + m[3] * n[2],
          m[2] * n[1] + m[3] * n[3]};
}

// TurboJPEG's operation for each orientation, and whether it needs whole
// blocks across (w) and down (h): the library can move only whole blocks
// to an edge other than the one they started from.
struct Operation {
  int op;
  bool wholeAcross, wholeDown;
};
constexpr std::array<Operation, 8> kOperations = {{
    {TJXOP_NONE, false, false},
    {TJXOP_HFLIP, true, false},
    {TJXOP_ROT180, true, true},
    {TJXOP_VFLIP, false, true},
    {TJXOP_TRANSPOSE, false, false},
    {TJXOP_ROT90, false, true},
    {TJXOP_TRANSVERSE, true, true},
    {TJXOP_ROT270, true, false},
}};

using Handle = std::unique_ptr<void, int (*)(tjhandle)>;

TurnedJpeg Refused(tjhandle handle) {
  TurnedJpeg refused;
  refused.reason = tjGetErrorStr2(handle);
  return refused;
}

}  // namespace

int CombinedOrientation(int first, int quarters) {
  const auto matrix = [](int orientation) {
    return kOrientations[orientation >= 1 && orientation <= 8 ? orientation - 1 : 0];
  };
  constexpr int kTurns[] = {1, 6, 3, 8};
  const Matrix both = Times(matrix(kTurns[((quarters % 4) + 4) % 4]), matrix(first));
  for (std::size_t i = 0; i < kOrientations.size(); ++i)
    if (kOrientations[i] == both) return static_cast<int>(i) + 1;
  return 1;  // not reached: the eight form a group
}

TurnedJpeg TurnJpegLosslessly(std::span<const std::uint8_t> stream, int orientation, bool progressive) {
  const Operation& operation = kOperations[orientation >= 1 && orientation <= 8 ? orientation - 1 : 0];
  Handle handle(tjInitTransform(), &tjDestroy);
  if (!handle) return Refused(nullptr);
  int width = 0, height = 0, sampling = 0, colours = 0;
  if (tjDecompressHeader3(handle.get(), stream.data(), static_cast<unsigned long>(stream.size()), &width, &height,
                          &sampling, &colours) != 0 ||
      sampling < 0 || sampling >= TJ_NUMSAMP)
    return Refused(handle.get());
  if ((operation.wholeAcross && width % tjMCUWidth[sampling] != 0) ||
      (operation.wholeDown && height % tjMCUHeight[sampling] != 0))
    return {TurnedJpeg::Outcome::PartialBlocks, {}, {}};
  tjtransform transform{};
  transform.op = operation.op;
  // Perfect: the library refuses what the check above let by rather than cut it.
  transform.options = TJXOPT_PERFECT | (progressive ? TJXOPT_PROGRESSIVE : 0);
  unsigned char* turned = nullptr;
  unsigned long size = 0;
  // Data that end early or are broken would be turned with grey blocks made
  // up for them: refused instead, as the decoder refuses them.
  const int failed = tjTransform(handle.get(), stream.data(), static_cast<unsigned long>(stream.size()), 1, &turned,
                                 &size, &transform, TJFLAG_STOPONWARNING);
  std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(turned, &tjFree);
  if (failed != 0) return Refused(handle.get());
  return {TurnedJpeg::Outcome::Turned, std::vector<std::uint8_t>(turned, turned + size), {}};
}

}  // namespace engine

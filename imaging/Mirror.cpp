#include "imaging/Mirror.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/ImageError.h"

namespace img {

namespace {

constexpr int kBand = 64;  // rows per part

void Require24(const Bitmap& picture) {
  if (picture.format() != PixelFormat::Bits24)
    throw ImageError(ErrorCode::InvalidArgument, "only a 24-bit picture can be mirrored");
}

void ReverseRow(std::uint8_t* row, int width) {
  std::uint8_t* left = row;
  std::uint8_t* right = row + 3 * static_cast<std::size_t>(width - 1);
  for (; left < right; left += 3, right -= 3) {
    std::swap(left[0], right[0]);
    std::swap(left[1], right[1]);
    std::swap(left[2], right[2]);
  }
}

}  // namespace

void MirrorLeftRight(Bitmap& picture, ParallelParts& parts) {
  Require24(picture);
  if (picture.empty()) return;
  const int h = picture.height(), w = picture.width();
  parts.Run((static_cast<std::size_t>(h) + kBand - 1) / kBand,
            [&](std::size_t band, const ParallelParts::Yield&) {
              const int y0 = static_cast<int>(band) * kBand;
              for (int y = y0; y < std::min(y0 + kBand, h); ++y) ReverseRow(picture.ScanLine(y), w);
            });
}

void MirrorTopBottom(Bitmap& picture) {
  Require24(picture);
  if (picture.empty()) return;
  const std::size_t bytes = picture.stride();
  std::vector<std::uint8_t> spare(bytes);
  for (int top = 0, bottom = picture.height() - 1; top < bottom; ++top, --bottom) {
    std::memcpy(spare.data(), picture.ScanLine(top), bytes);
    std::memcpy(picture.ScanLine(top), picture.ScanLine(bottom), bytes);
    std::memcpy(picture.ScanLine(bottom), spare.data(), bytes);
  }
}

}  // namespace img

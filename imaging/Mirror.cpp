#include "imaging/Mirror.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/ImageError.h"

namespace img {

namespace {

constexpr int kBand = 64;  // rows per part

// Bytes per pixel of a picture the mirrors take: whole bytes per pixel.
int PixelBytes(const Bitmap& picture) {
  switch (picture.format()) {
    case PixelFormat::Bits8: return 1;
    case PixelFormat::Bits24: return 3;
    case PixelFormat::Bits32:
    case PixelFormat::Bits32Alpha: return 4;
    default:
      throw ImageError(ErrorCode::InvalidArgument, "only a picture of 8, 24 or 32 bits can be mirrored");
  }
}

template <int Bytes>
void ReverseRow(std::uint8_t* row, int width) {
  std::uint8_t* left = row;
  std::uint8_t* right = row + Bytes * static_cast<std::size_t>(width - 1);
  for (; left < right; left += Bytes, right -= Bytes)
    for (int i = 0; i < Bytes; ++i) std::swap(left[i], right[i]);
}

}  // namespace

void MirrorLeftRight(Bitmap& picture, ParallelParts& parts) {
  const int bytes = PixelBytes(picture);
  if (picture.empty()) return;
  const int h = picture.height(), w = picture.width();
  auto reverse = bytes == 3 ? ReverseRow<3> : bytes == 4 ? ReverseRow<4> : ReverseRow<1>;
  parts.Run((static_cast<std::size_t>(h) + kBand - 1) / kBand,
            [&](std::size_t band) {
              const int y0 = static_cast<int>(band) * kBand;
              for (int y = y0; y < std::min(y0 + kBand, h); ++y) reverse(picture.ScanLine(y), w);
            });
}

void MirrorTopBottom(Bitmap& picture) {
  PixelBytes(picture);  // refuses the formats the left-right mirror refuses
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

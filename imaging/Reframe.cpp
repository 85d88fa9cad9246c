#include "imaging/Reframe.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/ImageError.h"

namespace img {

namespace {

// count pixels of fill from out on, bytes bytes each.
void Fill(std::uint8_t* out, long long count, const std::uint8_t* fill, std::size_t bytes) {
  for (long long i = 0; i < count; ++i, out += bytes) std::memcpy(out, fill, bytes);
}

}  // namespace

void Reframe(Bitmap& picture, const Frame& frame, PaletteEntry fill) {
  const int bits = BitsPerPixel(picture.format());
  if (bits != 8 && bits != 24 && bits != 32)
    throw ImageError(ErrorCode::InvalidArgument, "only a picture of 8, 24 or 32 bits can be cropped or padded");
  if (frame.left == 0 && frame.top == 0 && frame.width == picture.width() && frame.height == picture.height())
    return;
  const std::size_t bytes = static_cast<std::size_t>(bits / 8);
  const std::uint8_t pixel[4] = {bits == 8 ? fill.red : fill.blue, fill.green, fill.red, fill.reserved};
  Bitmap framed = Bitmap::Unfilled(frame.width, frame.height, picture.format());
  framed.palette() = picture.palette();
  // The columns of the frame the old picture covers: [from, to).
  const long long from = std::clamp(-frame.left, 0LL, static_cast<long long>(frame.width));
  const long long to = std::clamp(picture.width() - frame.left, from, static_cast<long long>(frame.width));
  for (int y = 0; y < frame.height; ++y) {
    std::uint8_t* out = framed.ScanLine(y);
    const long long source_y = frame.top + y;
    if (source_y < 0 || source_y >= picture.height() || from == to) {
      Fill(out, frame.width, pixel, bytes);
      continue;
    }
    Fill(out, from, pixel, bytes);
    std::memcpy(out + bytes * static_cast<std::size_t>(from),
                picture.ScanLine(static_cast<int>(source_y)) + bytes * static_cast<std::size_t>(frame.left + from),
                bytes * static_cast<std::size_t>(to - from));
    Fill(out + bytes * static_cast<std::size_t>(to), frame.width - to, pixel, bytes);
  }
  picture = std::move(framed);
}

}  // namespace img

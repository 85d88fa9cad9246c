#pragma once
// GIF files made with giflib's encoder, for the decoder's tests: one
// picture of palette indices on a logical screen.

#include <gif_lib.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace testsupport {

struct GifPicture {
  int screenWidth = 0, screenHeight = 0;
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<std::uint8_t> indices;  // width x height, row by row as seen
  std::vector<GifColorType> colours;  // a power of two in size, 2 to 256
  int transparent = -1;
  bool interlaced = false;
};

inline std::vector<std::uint8_t> GifBytes(const GifPicture& p) {
  std::vector<std::uint8_t> bytes;
  const OutputFunc write = [](GifFileType* gif, const GifByteType* data, int count) {
    auto& out = *static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out.insert(out.end(), data, data + count);
    return count;
  };
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, write, &error);
  if (!gif) throw std::runtime_error("EGifOpen failed");
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(p.colours.size()), p.colours.data());
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, p.screenWidth, p.screenHeight, 8, 0, map) != GIF_ERROR;
  if (ok && p.transparent >= 0) {
    const GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(p.transparent)};
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) != GIF_ERROR;
  }
  ok = ok && EGifPutImageDesc(gif, p.left, p.top, p.width, p.height, p.interlaced, nullptr) != GIF_ERROR;
  // Interlaced rows go in the four passes' order.
  std::vector<int> order;
  if (p.interlaced) {
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
      for (int y = start; y < p.height; y += step) order.push_back(y);
  } else {
    for (int y = 0; y < p.height; ++y) order.push_back(y);
  }
  for (int y : order) {
    std::vector<GifPixelType> row(p.indices.begin() + y * p.width, p.indices.begin() + (y + 1) * p.width);
    ok = ok && EGifPutLine(gif, row.data(), p.width) != GIF_ERROR;
  }
  GifFreeMapObject(map);
  ok = EGifCloseFile(gif, &error) != GIF_ERROR && ok;
  if (!ok) throw std::runtime_error("the GIF encoder failed");
  return bytes;
}

}  // namespace testsupport

#pragma once
// GIF files made with giflib's encoder, for the decoder's tests: pictures
// of palette indices on a logical screen, one or a frame after another.

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
  int disposal = 0;  // DISPOSE_*: what becomes of it before the next frame
  int delay = 0;     // hundredths of a second it is shown
  int loops = -1;    // the first frame's: the file's NETSCAPE2.0 loop count; -1 none
};

// The frames one after another, on the first's screen with its colours.
inline std::vector<std::uint8_t> GifBytes(const std::vector<GifPicture>& frames) {
  std::vector<std::uint8_t> bytes;
  const OutputFunc write = [](GifFileType* gif, const GifByteType* data, int count) {
    auto& out = *static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out.insert(out.end(), data, data + count);
    return count;
  };
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, write, &error);
  if (!gif) throw std::runtime_error("EGifOpen failed");
  const GifPicture& first = frames.front();
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(first.colours.size()), first.colours.data());
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, first.screenWidth, first.screenHeight, 8, 0, map) != GIF_ERROR;
  if (ok && first.loops >= 0) {
    const GifByteType loops[3] = {1, static_cast<GifByteType>(first.loops & 0xff),
                                  static_cast<GifByteType>(first.loops >> 8)};
    ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
         EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") != GIF_ERROR &&
         EGifPutExtensionBlock(gif, 3, loops) != GIF_ERROR && EGifPutExtensionTrailer(gif) != GIF_ERROR;
  }
  for (const GifPicture& p : frames) {
    if (ok && (p.transparent >= 0 || p.disposal || p.delay)) {
      const GifByteType control[4] = {static_cast<GifByteType>(p.disposal << 2 | (p.transparent >= 0 ? 1 : 0)),
                                      static_cast<GifByteType>(p.delay & 0xff), static_cast<GifByteType>(p.delay >> 8),
                                      static_cast<GifByteType>(p.transparent >= 0 ? p.transparent : 0)};
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
  }
  GifFreeMapObject(map);
  ok = EGifCloseFile(gif, &error) != GIF_ERROR && ok;
  if (!ok) throw std::runtime_error("the GIF encoder failed");
  return bytes;
}

inline std::vector<std::uint8_t> GifBytes(const GifPicture& p) { return GifBytes(std::vector<GifPicture>{p}); }

}  // namespace testsupport

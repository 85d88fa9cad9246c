#pragma once
// Animated WebP files made with libwebp's animation encoder, and read back
// with its animation decoder: frame by frame, with their times and the
// loop count.

#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "imaging/Bitmap.h"

namespace testsupport {

struct WebpFrame {
  img::Bitmap picture;  // 24 bits or Bits32Alpha, every frame of one size
  int milliseconds = 100;
};

// The frames, lossless so their colours stay exact, looped loops times (0:
// for ever).
inline std::vector<std::uint8_t> WebpAnimationBytes(const std::vector<WebpFrame>& frames, int loops = 0) {
  const int width = frames.front().picture.width(), height = frames.front().picture.height();
  WebPAnimEncoderOptions options;
  if (!WebPAnimEncoderOptionsInit(&options)) throw std::runtime_error("libwebp's version");
  options.anim_params.loop_count = loops;
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(width, height, &options);
  WebPConfig config;
  WebPConfigInit(&config);
  config.lossless = 1;
  bool ok = encoder != nullptr;
  int at = 0;
  for (const WebpFrame& frame : frames) {
    img::Bitmap bgra = frame.picture;
    bgra.SetPixelFormat(img::PixelFormat::Bits32Alpha);
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.use_argb = 1;
    picture.width = width;
    picture.height = height;
    ok = ok && WebPPictureImportBGRA(&picture, bgra.ScanLine(0), static_cast<int>(bgra.stride())) &&
         WebPAnimEncoderAdd(encoder, &picture, at, &config);
    WebPPictureFree(&picture);
    at += frame.milliseconds;
  }
  ok = ok && WebPAnimEncoderAdd(encoder, nullptr, at, nullptr);
  WebPData data;
  WebPDataInit(&data);
  ok = ok && WebPAnimEncoderAssemble(encoder, &data);
  std::vector<std::uint8_t> bytes(data.bytes, data.bytes + data.size);
  WebPDataClear(&data);
  WebPAnimEncoderDelete(encoder);
  if (!ok) throw std::runtime_error("the WebP animation encoder failed");
  return bytes;
}

struct WebpAnimationRead {
  std::vector<WebpFrame> frames;  // each as shown, Bits32Alpha
  int loops = 0;
};

// An animated (or still) WebP file as libwebp's decoder shows it.
inline WebpAnimationRead ReadWebpAnimation(const std::vector<std::uint8_t>& bytes) {
  const WebPData data{bytes.data(), bytes.size()};
  WebPAnimDecoderOptions options;
  WebPAnimDecoderOptionsInit(&options);
  options.color_mode = MODE_BGRA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  if (!decoder) throw std::runtime_error("not a WebP file");
  WebPAnimInfo info;
  WebPAnimDecoderGetInfo(decoder, &info);
  WebpAnimationRead read;
  read.loops = static_cast<int>(info.loop_count);
  int before = 0;
  while (WebPAnimDecoderHasMoreFrames(decoder)) {
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder, &canvas, &timestamp)) break;
    WebpFrame frame{img::Bitmap(static_cast<int>(info.canvas_width), static_cast<int>(info.canvas_height),
                                img::PixelFormat::Bits32Alpha),
                    timestamp - before};
    for (int y = 0; y < frame.picture.height(); ++y)
      std::memcpy(frame.picture.ScanLine(y), canvas + static_cast<std::size_t>(y) * info.canvas_width * 4,
                  static_cast<std::size_t>(info.canvas_width) * 4);
    before = timestamp;
    read.frames.push_back(std::move(frame));
  }
  WebPAnimDecoderDelete(decoder);
  return read;
}

}  // namespace testsupport

#include "engine/formats/webp/WebpImage.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "engine/formats/PictureCodecs.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

namespace engine {

namespace {

[[noreturn]] void Fail(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_NOT_ENOUGH_DATA:
      throw img::ImageError(img::ErrorCode::Truncated, "WebP: the file ends early");
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      throw img::ImageError(img::ErrorCode::Unsupported, "WebP: a variant this program does not read");
    case VP8_STATUS_OUT_OF_MEMORY:
      throw img::ImageError(img::ErrorCode::OutOfMemory, "WebP: out of memory");
    default:
      throw img::ImageError(img::ErrorCode::Format, "WebP: not a valid WebP file");
  }
}

// What the encoder writes into, freed whatever happens next.
struct EncodedBytes {
  WebPMemoryWriter writer;
  EncodedBytes() { WebPMemoryWriterInit(&writer); }
  ~EncodedBytes() { WebPMemoryWriterClear(&writer); }
};

// The picture libwebp encodes from, freed whatever happens next.
struct EncoderPicture {
  WebPPicture picture;
  EncoderPicture() { WebPPictureInit(&picture); }
  ~EncoderPicture() { WebPPictureFree(&picture); }
};

struct AnimDecoderFree {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
using AnimDecoder = std::unique_ptr<WebPAnimDecoder, AnimDecoderFree>;

// libwebp's one-call encoders set lossless files' quality (their effort
// within the method) to this.
constexpr float kLosslessQuality = 70.0f;

}  // namespace

int WebpImage::Load(const std::filesystem::path& path, img::Bitmap& out, int page, Animation* animation) {
  const std::vector<std::uint8_t> data = img::ReadWholeFile(path);
  return LoadFromMemory(data, out, page, animation);
}

int WebpImage::LoadFromMemory(std::span<const std::uint8_t> data, img::Bitmap& out, int page, Animation* animation) {
  if (animation) animation->clear();
  WebPBitstreamFeatures features;
  const VP8StatusCode status = WebPGetFeatures(data.data(), data.size(), &features);
  if (status != VP8_STATUS_OK) Fail(status);
  // An animation's size is its canvas's, checked before the decoder makes it.
  img::CheckPictureSize(features.width, features.height);
  const int width = features.width, height = features.height;

  const img::PixelFormat format = features.has_alpha ? img::PixelFormat::Bits32Alpha : img::PixelFormat::Bits24;
  if (spare_.width() != width || spare_.height() != height || spare_.format() != format) {
    spare_.Clear();
    spare_ = img::Bitmap::Unfilled(width, height, format);
  }
  if (features.has_animation) {
    const int frames = LoadFrame(data, page, animation);
    std::swap(out, spare_);
    return frames;
  }
  CheckPageHeld(page, 1, "picture");
  const std::size_t size = spare_.stride() * static_cast<std::size_t>(height);
  const int stride = static_cast<int>(spare_.stride());
  const bool decoded = features.has_alpha
                           ? WebPDecodeBGRAInto(data.data(), data.size(), spare_.ScanLine(0), size, stride)
                           : WebPDecodeBGRInto(data.data(), data.size(), spare_.ScanLine(0), size, stride);
  if (!decoded) Fail(VP8_STATUS_BITSTREAM_ERROR);
  std::swap(out, spare_);
  return 1;
}

// Frame page of an animation into spare_ (already of the canvas's size),
// as libwebp's animation decoder composes it over the frames before.
int WebpImage::LoadFrame(std::span<const std::uint8_t> data, int page, Animation* animation) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options))
    throw img::ImageError(img::ErrorCode::Internal, "WebP: the decoder library does not match its header");
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  const WebPData webp{data.data(), data.size()};
  const AnimDecoder decoder(WebPAnimDecoderNew(&webp, &options));
  WebPAnimInfo info;
  if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)) Fail(VP8_STATUS_BITSTREAM_ERROR);
  const int frames = static_cast<int>(std::min<std::uint32_t>(info.frame_count, 1u << 30));
  CheckPageHeld(page, frames, "frame");
  // The canvas into a picture of its size (24 bits: its alpha dropped).
  const auto copy = [&](const std::uint8_t* canvas, img::Bitmap& into) {
    const bool alpha = into.format() == img::PixelFormat::Bits32Alpha;
    const std::size_t row = static_cast<std::size_t>(into.width()) * 4;
    for (int y = 0; y < into.height(); ++y) {
      const std::uint8_t* from = canvas + row * static_cast<std::size_t>(y);
      std::uint8_t* to = into.ScanLine(y);
      if (alpha) {
        std::memcpy(to, from, row);
        continue;
      }
      for (int x = 0; x < into.width(); ++x, from += 4, to += 3) std::memcpy(to, from, 3);
    }
  };
  const int last = animation && page == 0 && frames > 1 ? frames - 1 : page;
  if (last > page) animation->loops = static_cast<int>(std::min<std::uint32_t>(info.loop_count, 65535));
  std::uint8_t* canvas = nullptr;
  int timestamp = 0, before = 0;
  for (int frame = 0; frame <= last; ++frame) {
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) Fail(VP8_STATUS_BITSTREAM_ERROR);
    if (frame == page) copy(canvas, spare_);
    if (last == page) continue;
    AnimationFrame shown{img::Bitmap::Unfilled(spare_.width(), spare_.height(), img::PixelFormat::Bits32Alpha),
                         timestamp - before};
    copy(canvas, shown.picture);
    animation->frames.push_back(std::move(shown));
    before = timestamp;
  }
  return frames;
}

std::vector<std::uint8_t> WebpImage::Encode(const img::Bitmap& picture, int quality, bool lossless, int effort) {
  if (picture.width() > WEBP_MAX_DIMENSION || picture.height() > WEBP_MAX_DIMENSION)
    throw img::ImageError(img::ErrorCode::Unsupported,
                          "WebP: a picture of " + std::to_string(picture.width()) + "x" +
                              std::to_string(picture.height()) + " is over WebP's 16383 pixels a side");
  const bool alpha = img::HasAlpha(picture.format());
  const img::Bitmap* source = &Encodable(picture);
  // As libwebp's one-call encoders set it up, with the method chosen.
  WebPConfig config;
  if (!WebPConfigPreset(&config, WEBP_PRESET_DEFAULT, lossless ? kLosslessQuality : static_cast<float>(quality)))
    throw img::ImageError(img::ErrorCode::Internal, "WebP: the encoder library does not match its header");
  config.lossless = lossless ? 1 : 0;
  config.method = effort;
  if (!WebPValidateConfig(&config))
    throw img::ImageError(img::ErrorCode::InvalidArgument, "WebP: effort must be 0 to 6");
  EncoderPicture pic;
  EncodedBytes encoded;
  pic.picture.use_argb = lossless ? 1 : 0;
  pic.picture.width = source->width();
  pic.picture.height = source->height();
  pic.picture.writer = WebPMemoryWrite;
  pic.picture.custom_ptr = &encoded.writer;
  const std::uint8_t* pixels = source->ScanLine(0);
  const int stride = static_cast<int>(source->stride());
  const bool imported = alpha ? WebPPictureImportBGRA(&pic.picture, pixels, stride)
                              : WebPPictureImportBGR(&pic.picture, pixels, stride);
  if (!imported || !WebPEncode(&config, &pic.picture)) {
    if (pic.picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY)
      throw img::ImageError(img::ErrorCode::OutOfMemory, "WebP: out of memory");
    throw img::ImageError(img::ErrorCode::InvalidArgument, "WebP: the picture cannot be encoded");
  }
  return std::vector<std::uint8_t>(encoded.writer.mem, encoded.writer.mem + encoded.writer.size);
}

std::vector<std::uint8_t> WebpImage::EncodeAnimation(const Animation& animation, int quality, bool lossless,
                                                      int effort) {
  const img::Bitmap& first = animation.frames.front().picture;
  if (first.width() > WEBP_MAX_DIMENSION || first.height() > WEBP_MAX_DIMENSION)
    return Encode(first, quality, lossless, effort);  // fails as a still picture of that size does
  WebPAnimEncoderOptions options;
  WebPConfig config;
  if (!WebPAnimEncoderOptionsInit(&options) ||
      !WebPConfigPreset(&config, WEBP_PRESET_DEFAULT, lossless ? kLosslessQuality : static_cast<float>(quality)))
    throw img::ImageError(img::ErrorCode::Internal, "WebP: the encoder library does not match its header");
  config.lossless = lossless ? 1 : 0;
  config.method = effort;
  if (!WebPValidateConfig(&config))
    throw img::ImageError(img::ErrorCode::InvalidArgument, "WebP: effort must be 0 to 6");
  options.anim_params.loop_count = animation.loops;
  const std::unique_ptr<WebPAnimEncoder, void (*)(WebPAnimEncoder*)> encoder(
      WebPAnimEncoderNew(first.width(), first.height(), &options), WebPAnimEncoderDelete);
  if (!encoder) throw img::ImageError(img::ErrorCode::OutOfMemory, "WebP: out of memory");
  int at = 0;
  for (const AnimationFrame& frame : animation.frames) {
    const img::Bitmap& picture = frame.picture;
    if (picture.width() != first.width() || picture.height() != first.height())
      throw img::ImageError(img::ErrorCode::Internal, "WebP: the frames of an animation differ in size");
    const bool alpha = img::HasAlpha(picture.format());
    const img::Bitmap* source = &Encodable(picture);
    EncoderPicture pic;
    pic.picture.use_argb = 1;  // the animation encoder works on ARGB
    pic.picture.width = source->width();
    pic.picture.height = source->height();
    const int stride = static_cast<int>(source->stride());
    const bool imported = alpha ? WebPPictureImportBGRA(&pic.picture, source->ScanLine(0), stride)
                                : WebPPictureImportBGR(&pic.picture, source->ScanLine(0), stride);
    if (!imported || !WebPAnimEncoderAdd(encoder.get(), &pic.picture, at, &config)) {
      if (pic.picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY)
        throw img::ImageError(img::ErrorCode::OutOfMemory, "WebP: out of memory");
      throw img::ImageError(img::ErrorCode::InvalidArgument, "WebP: the animation cannot be encoded");
    }
    at += std::max(frame.milliseconds, 0);
  }
  WebPData assembled;
  WebPDataInit(&assembled);
  if (!WebPAnimEncoderAdd(encoder.get(), nullptr, at, nullptr) || !WebPAnimEncoderAssemble(encoder.get(), &assembled))
    throw img::ImageError(img::ErrorCode::InvalidArgument, "WebP: the animation cannot be assembled");
  std::vector<std::uint8_t> file(assembled.bytes, assembled.bytes + assembled.size);
  WebPDataClear(&assembled);
  return file;
}

void WebpImage::Save(const img::Bitmap& picture, const img::TargetFile& path, int quality,
                     bool lossless) {
  img::WriteFileAtomically(path, Encode(picture, quality, lossless));
}

// What libwebp imports: BGRA with alpha, else BGR, a 24-bit copy of any
// other format.
const img::Bitmap& WebpImage::Encodable(const img::Bitmap& picture) {
  if (img::HasAlpha(picture.format()) || picture.format() == img::PixelFormat::Bits24) return picture;
  copy24_ = picture;
  copy24_.ConvertTo24();
  return copy24_;
}

std::size_t WebpImage::KeptBytes() const {
  return spare_.PixelBytes() + copy24_.PixelBytes();
}

void WebpImage::HandBack() {
  spare_.Clear();
  copy24_.Clear();
}

}  // namespace engine

#include "engine/WebpImage.h"

#include <webp/decode.h>
#include <webp/encode.h>

#include <string>
#include <utility>

#include "imaging/FileIO.h"
#include "imaging/ImageError.h"

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

// Frees what libwebp's encoder returned, whatever happens next.
struct EncodedBytes {
  std::uint8_t* data = nullptr;
  ~EncodedBytes() { WebPFree(data); }
};

}  // namespace

void WebpImage::Load(const std::filesystem::path& path, img::Bitmap& out) {
  const std::vector<std::uint8_t> data = img::ReadWholeFile(path);
  LoadFromMemory(data, out);
}

void WebpImage::LoadFromMemory(std::span<const std::uint8_t> data, img::Bitmap& out) {
  WebPBitstreamFeatures features;
  const VP8StatusCode status = WebPGetFeatures(data.data(), data.size(), &features);
  if (status != VP8_STATUS_OK) Fail(status);
  if (features.has_animation)
    throw img::ImageError(img::ErrorCode::Unsupported, "WebP: animated pictures are not read");
  img::CheckPictureSize(features.width, features.height);
  const int width = features.width, height = features.height;

  const img::PixelFormat format = features.has_alpha ? img::PixelFormat::Bits32Alpha : img::PixelFormat::Bits24;
  if (spare_.width() != width || spare_.height() != height || spare_.format() != format) {
    spare_.Clear();
    spare_ = img::Bitmap::Unfilled(width, height, format);
  }
  const std::size_t size = spare_.stride() * static_cast<std::size_t>(height);
  const int stride = static_cast<int>(spare_.stride());
  const bool decoded = features.has_alpha
                           ? WebPDecodeBGRAInto(data.data(), data.size(), spare_.ScanLine(0), size, stride)
                           : WebPDecodeBGRInto(data.data(), data.size(), spare_.ScanLine(0), size, stride);
  if (!decoded) Fail(VP8_STATUS_BITSTREAM_ERROR);
  std::swap(out, spare_);
}

std::vector<std::uint8_t> WebpImage::Encode(const img::Bitmap& picture, int quality, bool lossless) {
  if (picture.width() > WEBP_MAX_DIMENSION || picture.height() > WEBP_MAX_DIMENSION)
    throw img::ImageError(img::ErrorCode::Unsupported,
                          "WebP: a picture of " + std::to_string(picture.width()) + "x" +
                              std::to_string(picture.height()) + " is over WebP's 16383 pixels a side");
  const img::Bitmap* source = &picture;
  const bool alpha = img::HasAlpha(picture.format());
  if (!alpha && picture.format() != img::PixelFormat::Bits24) {
    copy24_ = picture;
    copy24_.ConvertTo24();
    source = &copy24_;
  }
  const int stride = static_cast<int>(source->stride());
  const std::uint8_t* pixels = source->ScanLine(0);
  const int width = source->width(), height = source->height();
  const auto q = static_cast<float>(quality);
  EncodedBytes encoded;
  const std::size_t size =
      alpha ? (lossless ? WebPEncodeLosslessBGRA(pixels, width, height, stride, &encoded.data)
                        : WebPEncodeBGRA(pixels, width, height, stride, q, &encoded.data))
            : (lossless ? WebPEncodeLosslessBGR(pixels, width, height, stride, &encoded.data)
                        : WebPEncodeBGR(pixels, width, height, stride, q, &encoded.data));
  if (size == 0) throw img::ImageError(img::ErrorCode::InvalidArgument, "WebP: the picture cannot be encoded");
  return std::vector<std::uint8_t>(encoded.data, encoded.data + size);
}

void WebpImage::Save(const img::Bitmap& picture, const std::filesystem::path& path, int quality,
                     bool lossless) {
  img::WriteFileAtomically(path, Encode(picture, quality, lossless));
}

std::size_t WebpImage::KeptBytes() const {
  return spare_.PixelBytes() + copy24_.PixelBytes();
}

void WebpImage::HandBack() {
  spare_.Clear();
  copy24_.Clear();
}

}  // namespace engine

#include "engine/WebpImage.h"

#include <webp/decode.h>
#include <webp/encode.h>

#include <string>
#include <utility>

#include "engine/OverWhite.h"
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

  if (spare_.width() != width || spare_.height() != height || spare_.format() != img::PixelFormat::Bits24) {
    spare_.Clear();
    spare_ = img::Bitmap::Unfilled(width, height, img::PixelFormat::Bits24);
  }
  const std::size_t rows = static_cast<std::size_t>(height);
  if (!features.has_alpha) {
    const int stride = static_cast<int>(spare_.stride());
    if (!WebPDecodeBGRInto(data.data(), data.size(), spare_.ScanLine(0), spare_.stride() * rows, stride))
      Fail(VP8_STATUS_BITSTREAM_ERROR);
  } else {
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 4;
    bgra_.resize(row_bytes * rows);
    if (!WebPDecodeBGRAInto(data.data(), data.size(), bgra_.data(), bgra_.size(), static_cast<int>(row_bytes)))
      Fail(VP8_STATUS_BITSTREAM_ERROR);
    for (int y = 0; y < height; ++y)
      CompositeRowOverWhite(bgra_.data() + row_bytes * static_cast<std::size_t>(y), spare_.ScanLine(y), width);
  }
  std::swap(out, spare_);
}

std::vector<std::uint8_t> WebpImage::Encode(const img::Bitmap& picture, int quality, bool lossless) {
  if (picture.width() > WEBP_MAX_DIMENSION || picture.height() > WEBP_MAX_DIMENSION)
    throw img::ImageError(img::ErrorCode::Unsupported,
                          "WebP: a picture of " + std::to_string(picture.width()) + "x" +
                              std::to_string(picture.height()) + " is over WebP's 16383 pixels a side");
  const img::Bitmap* source = &picture;
  if (picture.format() != img::PixelFormat::Bits24) {
    copy24_ = picture;
    copy24_.ConvertTo24();
    source = &copy24_;
  }
  const int stride = static_cast<int>(source->stride());
  EncodedBytes encoded;
  const std::size_t size =
      lossless ? WebPEncodeLosslessBGR(source->ScanLine(0), source->width(), source->height(), stride,
                                       &encoded.data)
               : WebPEncodeBGR(source->ScanLine(0), source->width(), source->height(), stride,
                               static_cast<float>(quality), &encoded.data);
  if (size == 0) throw img::ImageError(img::ErrorCode::InvalidArgument, "WebP: the picture cannot be encoded");
  return std::vector<std::uint8_t>(encoded.data, encoded.data + size);
}

void WebpImage::Save(const img::Bitmap& picture, const std::filesystem::path& path, int quality,
                     bool lossless) {
  img::WriteFileAtomically(path, Encode(picture, quality, lossless));
}

std::size_t WebpImage::KeptBytes() const {
  return spare_.PixelBytes() + bgra_.capacity() + copy24_.PixelBytes();
}

void WebpImage::HandBack() {
  spare_.Clear();
  std::vector<std::uint8_t>().swap(bgra_);
  copy24_.Clear();
}

}  // namespace engine

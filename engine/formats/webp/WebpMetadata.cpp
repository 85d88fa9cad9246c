#include "engine/formats/webp/WebpMetadata.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>
#include <string>

#include "engine/metadata/IccColourSpace.h"
#include "platform/ImageError.h"

namespace engine {

namespace {

constexpr std::uint8_t kExifName[6] = {'E', 'x', 'i', 'f', 0, 0};

struct DemuxDeleter {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct MuxDeleter {
  void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

void ReadChunk(const WebPDemuxer* demux, const char (&fourcc)[5], std::vector<std::uint8_t>& into) {
  into.clear();
  WebPChunkIterator chunk;
  if (!WebPDemuxGetChunk(demux, fourcc, 1, &chunk)) return;
  into.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
  WebPDemuxReleaseChunkIterator(&chunk);
}

void SetChunk(WebPMux* mux, const char (&fourcc)[5], const std::vector<std::uint8_t>& data) {
  if (data.empty()) return;
  const WebPData chunk{data.data(), data.size()};
  if (WebPMuxSetChunk(mux, fourcc, &chunk, 0) != WEBP_MUX_OK)
    throw img::ImageError(img::ErrorCode::InvalidArgument, std::string("WebP: the ") + fourcc +
                                                                " chunk cannot be added");
}

}  // namespace

void ReadWebpMetadata(std::span<const std::uint8_t> file, PictureMetadata& metadata) {
  metadata.clear();
  const WebPData data{file.data(), file.size()};
  const std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
  if (!demux) return;
  ReadChunk(demux.get(), "ICCP", metadata.icc);
  ReadChunk(demux.get(), "EXIF", metadata.exif);
  ReadChunk(demux.get(), "XMP ", metadata.xmp);
  if (metadata.exif.size() > sizeof kExifName &&
      std::equal(kExifName, kExifName + sizeof kExifName, metadata.exif.begin()))
    metadata.exif.erase(metadata.exif.begin(), metadata.exif.begin() + sizeof kExifName);
}

std::vector<std::uint8_t> WithWebpMetadata(std::vector<std::uint8_t> file, const PictureMetadata& metadata) {
  // WebP pixels are always RGB: a grey profile would misdescribe them.
  const bool icc = IccProfileFits(metadata.icc, false);
  if (!icc && metadata.exif.empty() && metadata.xmp.empty()) return file;
  std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxNew());
  if (!mux) throw img::ImageError(img::ErrorCode::OutOfMemory, "WebP: out of memory");
  const WebPData image{file.data(), file.size()};
  // An animation's frames go in as they are, a still picture as the image.
  WebPBitstreamFeatures features;
  const bool animated = WebPGetFeatures(file.data(), file.size(), &features) == VP8_STATUS_OK && features.has_animation;
  std::unique_ptr<WebPMux, MuxDeleter> made(animated ? WebPMuxCreate(&image, 0) : nullptr);
  if (animated ? !made : WebPMuxSetImage(mux.get(), &image, 0) != WEBP_MUX_OK)
    throw img::ImageError(img::ErrorCode::InvalidArgument, "WebP: the encoded picture cannot be muxed");
  if (animated) mux.swap(made);
  if (icc) SetChunk(mux.get(), "ICCP", metadata.icc);
  SetChunk(mux.get(), "EXIF", metadata.exif);
  SetChunk(mux.get(), "XMP ", metadata.xmp);
  WebPData assembled;
  WebPDataInit(&assembled);
  const WebPMuxError status = WebPMuxAssemble(mux.get(), &assembled);
  std::vector<std::uint8_t> result;
  if (status == WEBP_MUX_OK) result.assign(assembled.bytes, assembled.bytes + assembled.size);
  WebPDataClear(&assembled);
  if (status != WEBP_MUX_OK)
    throw img::ImageError(img::ErrorCode::InvalidArgument, "WebP: the file with its metadata cannot be assembled");
  return result;
}

}  // namespace engine

#include "engine/PictureHeader.h"

#include <webp/decode.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "engine/ExifOrientation.h"
#include "engine/JpegErrorManager.h"
#include "engine/PictureCodecs.h"
#include "engine/PictureFormats.h"
#include "engine/PictureMetadata.h"
#include "engine/WebpMetadata.h"
#include "imaging/FileIO.h"
#include "imaging/SystemFiles.h"

namespace engine {

namespace {

// libpng keeps no ancillary chunk larger than this (PngImage's limit).
constexpr std::uint32_t kMaxPngChunk = 8u << 20;

std::uint32_t Big32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint32_t Little32(const std::uint8_t* p) {
  return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}
std::uint32_t Little16(const std::uint8_t* p) { return std::uint32_t{p[1]} << 8 | p[0]; }

int Orientation(std::span<const std::uint8_t> exif) { return exif.empty() ? 0 : ReadExifOrientation(exif); }

// libjpeg reads the markers before the first scan. Only trivially
// destructible locals: libjpeg jumps.
bool ReadJpegHeader(jpeg_decompress_struct& in, JpegErrorManager& error, std::FILE* file,
                    PictureHeader& header) {
  if (setjmp(error.jump)) return false;
  jpeg_create_decompress(&in);
  jpeg_stdio_src(&in, file);
  jpeg_save_markers(&in, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&in, TRUE);
  header.width = static_cast<int>(in.image_width);
  header.height = static_cast<int>(in.image_height);
  for (jpeg_saved_marker_ptr m = in.marker_list; m; m = m->next)
    if (m->data_length > 6 && std::memcmp(m->data, "Exif\0", 6) == 0) {
      header.orientation = Orientation(std::span(m->data + 6, m->data_length - 6));
      break;
    }
  return true;
}

}  // namespace

std::optional<PictureHeader> JpegHeader(PictureHead, const std::filesystem::path& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(img::OpenFile(path, "rb"), &std::fclose);
  if (!file) return std::nullopt;
  jpeg_decompress_struct in{};
  JpegErrorManager error;
  error.Attach(reinterpret_cast<j_common_ptr>(&in));
  PictureHeader header;
  const bool read = ReadJpegHeader(in, error, file.get(), header);
  jpeg_destroy_decompress(&in);
  if (!read) return std::nullopt;
  return header;
}

// The first eXIf chunk libpng keeps: one whose CRC holds and whose data
// begin with a byte order ("II" or "MM"); a chunk it drops leaves the next
// one its chance. Chunks are walked to IEND, past the image data, as libpng
// reads on to the end.
int PngOrientation(std::istream& in) {
  in.seekg(8);
  std::array<std::uint8_t, 8> chunk;
  while (in.read(reinterpret_cast<char*>(chunk.data()), chunk.size())) {
    const std::uint32_t length = Big32(chunk.data());
    if (length > 0x7FFFFFFFu) return 0;  // no PNG chunk is this long
    if (std::memcmp(&chunk[4], "IEND", 4) == 0) return 0;
    if (std::memcmp(&chunk[4], "eXIf", 4) != 0 || length < 2 || length > kMaxPngChunk) {
      in.seekg(static_cast<std::streamoff>(length) + 4, std::ios::cur);
      continue;
    }
    std::vector<std::uint8_t> data(length + 4);
    if (!in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()))) return 0;
    uLong crc = crc32(0, &chunk[4], 4);
    crc = crc32(crc, data.data(), static_cast<uInt>(length));
    const bool whole = crc == Big32(&data[length]);
    const bool ordered = (data[0] == 'I' || data[0] == 'M') && data[1] == data[0];
    if (whole && ordered) return Orientation(std::span(data.data(), length));
  }
  return 0;
}

std::optional<PictureHeader> PngHeader(PictureHead head, const std::filesystem::path& path) {
  if (head.size() < 24 || std::memcmp(&head[12], "IHDR", 4) != 0) return std::nullopt;
  PictureHeader header;
  header.width = static_cast<int>(std::min<std::uint32_t>(Big32(&head[16]), 0x7FFFFFFF));
  header.height = static_cast<int>(std::min<std::uint32_t>(Big32(&head[20]), 0x7FFFFFFF));
  std::ifstream in(path, std::ios::binary);
  header.orientation = PngOrientation(in);
  return header;
}

// The EXIF of an extended WebP is a chunk of its container, after the
// image data: the whole file is read, as the loader reads it.
std::optional<PictureHeader> WebpHeader(PictureHead head, const std::filesystem::path& path) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(head.data(), head.size(), &features) != VP8_STATUS_OK) return std::nullopt;
  PictureHeader header{features.width, features.height, 0};
  if (head.size() >= 16 && std::memcmp(&head[12], "VP8X", 4) == 0) {
    PictureMetadata metadata;
    try {
      ReadWebpMetadata(img::ReadWholeFile(path), metadata);
    } catch (const std::exception&) {
      return std::nullopt;
    }
    header.orientation = Orientation(metadata.exif);
  }
  return header;
}

std::optional<PictureHeader> BmpHeader(PictureHead head, const std::filesystem::path&) {
  if (head.size() < 14 + 12) return std::nullopt;
  const std::uint8_t* info = &head[14];
  PictureHeader header;
  if (Little32(info) == 12) {  // OS/2 1.x: 16-bit sizes
    header.width = static_cast<int>(Little16(info + 4));
    header.height = static_cast<int>(Little16(info + 6));
  } else {
    const auto width = static_cast<std::int32_t>(Little32(info + 4));
    const auto height = static_cast<std::int32_t>(Little32(info + 8));
    header.width = width;
    header.height = height == INT32_MIN ? INT32_MAX : height < 0 ? -height : height;
  }
  return header;
}

// A kind with no header reader here: decoded, with its metadata.
namespace {

std::optional<PictureHeader> DecodedHeader(const std::string& path) {
  try {
    PictureCodecs codecs;
    PictureMetadata metadata;
    codecs.ReadMetadataInto(&metadata);
    img::Bitmap picture;
    const PictureSize size = LoadPicture(path, picture, {}, &codecs);
    return PictureHeader{size.width, size.height, Orientation(metadata.exif)};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<PictureHeader> ReadPictureHeader(const std::string& path) {
  const std::filesystem::path file = img::PathFromUtf8(path);
  const std::vector<std::uint8_t> head = img::ReadFileHead(file, kHeadBytes);
  const PictureFormat* format = ChooseLoader(head, path);
  if (!format || head.empty()) return std::nullopt;
  return format->header ? format->header(head, file) : DecodedHeader(path);
}

TargetSize MadePictureSize(const PictureHeader& header, const ProcessingOptions& options) {
  TargetSize size{header.width, header.height};
  if (options.autoOrient && header.orientation >= 5) std::swap(size.width, size.height);
  const ResizePlan plan = PlanResize(size.width, size.height, options);
  if (plan.resizes && !plan.tooLarge) size = plan.kept;
  if (options.rotation == 1 || options.rotation == 3) std::swap(size.width, size.height);
  return size;
}

}  // namespace engine

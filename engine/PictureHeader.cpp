#include "engine/PictureHeader.h"

#include <webp/decode.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <limits>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "engine/ExifOrientation.h"
#include "engine/PictureFormats.h"
#include "engine/PictureMetadata.h"
#include "engine/WebpMetadata.h"
#include "imaging/FileIO.h"

namespace engine {

namespace {

// libpng keeps no ancillary chunk larger than this (PngImage's limit).
constexpr std::uint32_t kMaxPngChunk = 8u << 20;

std::uint32_t Big32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

int Orientation(std::span<const std::uint8_t> exif) { return exif.empty() ? 0 : ReadExifOrientation(exif); }

// The first eXIf chunk libpng keeps: one whose CRC holds and whose data
// begin with a byte order ("II" or "MM"); a chunk it drops leaves the next
// one its chance. Chunks are walked to IEND, past the image data, as libpng
// reads on to the end.
int PngChunkOrientation(std::FILE* in) {
  if (std::fseek(in, 8, SEEK_SET) != 0) return 0;
  std::array<std::uint8_t, 8> chunk;
  while (std::fread(chunk.data(), 1, chunk.size(), in) == chunk.size()) {
    const std::uint32_t length = Big32(chunk.data());
    if (length > 0x7FFFFFFFu) return 0;  // no PNG chunk is this long
    if (std::memcmp(&chunk[4], "IEND", 4) == 0) return 0;
    if (std::memcmp(&chunk[4], "eXIf", 4) != 0 || length < 2 || length > kMaxPngChunk) {
      // Two steps: a long is 32 bits on Windows.
      if (std::fseek(in, static_cast<long>(length), SEEK_CUR) != 0 || std::fseek(in, 4, SEEK_CUR) != 0) return 0;
      continue;
    }
    std::vector<std::uint8_t> data(length + 4);
    if (std::fread(data.data(), 1, data.size(), in) != data.size()) return 0;
    uLong crc = crc32(0, &chunk[4], 4);
    crc = crc32(crc, data.data(), static_cast<uInt>(length));
    const bool whole = crc == Big32(&data[length]);
    const bool ordered = (data[0] == 'I' || data[0] == 'M') && data[1] == data[0];
    if (whole && ordered) return Orientation(std::span(data.data(), length));
  }
  return 0;
}

}  // namespace

int PngOrientation(PictureHead, const std::filesystem::path& file) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(img::OpenSourceFile(file), &std::fclose);
  return in ? PngChunkOrientation(in.get()) : 0;
}

// The EXIF of an extended WebP is a chunk of its container, after the
// image data: the whole file is read, as the loader reads it.
int WebpOrientation(PictureHead head, const std::filesystem::path& file) {
  if (head.size() < 16 || std::memcmp(&head[12], "VP8X", 4) != 0) return 0;
  PictureMetadata metadata;
  try {
    ReadWebpMetadata(img::ReadWholeFile(file), metadata);
  } catch (const std::exception&) {
    return 0;  // its decode fails too
  }
  return Orientation(metadata.exif);
}

std::optional<PictureHeader> ReadPictureHeader(const std::string& path) {
  const std::filesystem::path file = img::PathFromUtf8(path);
  const std::vector<std::uint8_t> head = img::ReadFileHead(file, kHeadBytes);
  const PictureFormat* format = ChooseLoader(head, path);
  if (!format || head.empty()) return std::nullopt;
  const HeaderFacts facts = format->facts(head, file);
  if (facts.width <= 0 || facts.height <= 0) return std::nullopt;
  constexpr long long kMost = std::numeric_limits<int>::max();
  return PictureHeader{static_cast<int>(std::min(facts.width, kMost)), static_cast<int>(std::min(facts.height, kMost)),
                       format->orientation ? format->orientation(head, file) : facts.orientation};
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

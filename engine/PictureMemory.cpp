#include "engine/PictureMemory.h"

#include <webp/decode.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <span>
#include <limits>
#include <memory>
#include <vector>

#include "engine/ExifOrientation.h"
#include "engine/JpegErrorManager.h"
#include "engine/PictureFormats.h"
#include "engine/ResizeRules.h"
#include "imaging/FileIO.h"
#include "imaging/ImageError.h"
#include "imaging/SystemFiles.h"

// The need of one picture, w x h as its header says; "the picture" is the
// decoded Bitmap, stride x height at its bytes per pixel (1 for palette and
// grey pictures, 4 for 32-bit BMP and pictures with alpha, 3 for any other),
// and "the work picture" the same in the format the pixel work and
// the encoders use (1 grey, 4 alpha, 3 anything else; a palette picture
// counts as colour):
//     the file's size (every loader reads the whole file first)
//   + the picture
//   + what the decoder holds beside it:
//       PNG: a 2-bit palette file that is interlaced, its whole picture at
//         a byte per pixel; otherwise a row
//       JPEG with several scans (progressive): libjpeg's coefficient arrays,
//         2 bytes per coefficient of every component at its sampling
//   + the work picture, when it differs from the picture and the pixel work
//     or a JPEG or WebP encoder needs it (a 24-bit copy)
//   + a picture with alpha bound for a JPEG or BMP target: its 24-bit copy
//     laid over white
//   + a turn (rotation, or an EXIF orientation other than upright when
//     pictures are turned upright): the turned work picture
//   + a shrink: its result, at most the work picture; a resize that may
//     grow (enlarge): its result, and the turn, the encoders' copies and
//     bytes after it count at that size when it is the larger (the source
//     taken either way up, since an EXIF turn may come first)
//   + a JPEG target: its encoded bytes, counted as half the work picture
//   + a WebP target: libwebp's own copy of the pixels (w x h x 4), the
//     encoded bytes (half the work picture) and, for a grey picture, the
//     24-bit copy it is encoded from
// A header that cannot be read, or a size the loaders refuse before they
// allocate, leaves the file's size alone. Sizes within the loaders' limits
// keep every product far inside 64 bits; the sums saturate all the same.

namespace engine {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Enough for every header but a JPEG's (read through libjpeg); a PNG whose
// image data start later is taken to have transparency.
constexpr std::size_t kHeaderBytes = 64 * 1024;

std::uint64_t Add(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max()
                                                           : a + b;
}

std::uint32_t Big32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint32_t Little32(const std::uint8_t* p) {
  return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}
std::uint32_t Little16(const std::uint8_t* p) { return std::uint32_t{p[1]} << 8 | p[0]; }

// What the header tells; width 0 when it could not be read.
struct HeaderFacts {
  long long width = 0, height = 0;
  int decoded = 3;                 // bytes per pixel of the decoded picture
  int worked = 3;                  // ... of the work picture
  bool alpha = false;              // the picture has alpha
  std::uint64_t decoder = 0;       // bytes the decoder holds beside the picture
  bool oriented = false;           // its EXIF orientation turns it, or may: not told in the header
};

// The chunks before a PNG's image data: an eXIf among them says whether
// the picture is turned; one the head cuts short, or a head that ends
// before the image data, may turn it. An eXIf after the image data is not
// seen.
bool PngOriented(const Bytes& head) {
  for (std::size_t at = 8; at + 8 <= head.size();) {
    const std::uint32_t length = Big32(&head[at]);
    const std::string type(head.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                           head.begin() + static_cast<std::ptrdiff_t>(at) + 8);
    if (type == "IDAT") return false;
    if (type == "eXIf") {
      if (length > head.size() - at - 8) return true;
      return ReadExifOrientation(std::span(head).subspan(at + 8, length)) >= 2;
    }
    at += 12 + static_cast<std::size_t>(length);
  }
  return true;
}

// A WebP's EXIF chunk comes after its image data, past any head: the
// extended header's EXIF flag is taken to turn the picture.
bool WebpOriented(const Bytes& head) {
  return head.size() >= 21 && std::string(head.begin() + 12, head.begin() + 16) == "VP8X" && (head[20] & 0x08) != 0;
}

Bytes ReadHead(const std::filesystem::path& path) {
  Bytes head(kHeaderBytes);
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(in ? head.size() : static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return head;
}

HeaderFacts PngFacts(const Bytes& head) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  HeaderFacts facts;
  if (head.size() < 33 || !std::equal(kSignature, kSignature + 8, head.begin()) ||
      std::string(head.begin() + 12, head.begin() + 16) != "IHDR")
    return facts;
  facts.width = Big32(&head[16]);
  facts.height = Big32(&head[20]);
  const int depth = head[24], colour = head[25];
  // Transparency is an alpha channel or a tRNS chunk before the image data.
  bool transparency = (colour & 4) != 0;
  for (std::size_t at = 8; !transparency;) {
    if (at + 8 > head.size()) {
      transparency = true;  // not told within the head: assume the worse
      break;
    }
    const std::uint32_t length = Big32(&head[at]);
    const std::string type(head.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                           head.begin() + static_cast<std::ptrdiff_t>(at) + 8);
    if (type == "IDAT") break;
    if (type == "tRNS") transparency = true;
    at += 12 + static_cast<std::size_t>(length);
  }
  if (transparency) {
    facts.decoded = facts.worked = 4;
    facts.alpha = true;
  } else if (colour == 0) {
    facts.decoded = facts.worked = 1;
  } else if (colour == 3) {
    facts.decoded = 1;
  }
  if (head[28] != 0 && colour == 3 && depth == 2 && !transparency)
    facts.decoder = static_cast<std::uint64_t>(facts.width) * static_cast<std::uint64_t>(facts.height);
  return facts;
}

HeaderFacts BmpFacts(const Bytes& head) {
  HeaderFacts facts;
  if (head.size() < 14 + 16 || head[0] != 'B' || head[1] != 'M') return facts;
  const std::uint8_t* info = &head[14];
  const std::uint32_t size = Little32(info);
  int bits = 0;
  if (size == 12) {  // OS/2 1.x: 16-bit sizes
    facts.width = Little16(info + 4);
    facts.height = Little16(info + 6);
    bits = static_cast<int>(Little16(info + 10));
  } else {
    facts.width = static_cast<std::int32_t>(Little32(info + 4));
    facts.height = static_cast<std::int32_t>(Little32(info + 8));
    if (facts.height < 0) facts.height = -facts.height;
    bits = static_cast<int>(Little16(info + 14));
    // An alpha mask: in a V3 to V5 header, or after a plain one with ALPHABITFIELDS.
    const std::uint32_t compression = head.size() >= 14 + 20 ? Little32(info + 16) : 0;
    const std::size_t mask_at = size >= 56 ? 14 + 52 : 14 + 40 + 12;
    facts.alpha = (compression == 3 || compression == 6) && (size >= 56 || compression == 6) &&
                  head.size() >= mask_at + 4 && Little32(&head[mask_at]) != 0;
  }
  facts.decoded = bits <= 8 ? 1 : bits == 32 || facts.alpha ? 4 : 3;
  facts.worked = facts.alpha ? 4 : 3;
  return facts;
}

HeaderFacts WebpFacts(const Bytes& head) {
  HeaderFacts facts;
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(head.data(), head.size(), &features) != VP8_STATUS_OK) return facts;
  facts.width = features.width;
  facts.height = features.height;
  if (features.has_alpha) {
    facts.decoded = facts.worked = 4;
    facts.alpha = true;
  }
  return facts;
}

// libjpeg reads up to the first scan, through the file (its markers may be
// longer than any head). Only trivially destructible locals: libjpeg jumps.
bool ReadJpegHeader(jpeg_decompress_struct& in, JpegErrorManager& error, std::FILE* file,
                    HeaderFacts& facts) {
  if (setjmp(error.jump)) return false;
  jpeg_create_decompress(&in);
  jpeg_stdio_src(&in, file);
  jpeg_save_markers(&in, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&in, TRUE);
  facts.width = in.image_width;
  facts.height = in.image_height;
  for (jpeg_saved_marker_ptr m = in.marker_list; m; m = m->next)
    if (m->data_length > 6 && std::memcmp(m->data, "Exif\0", 6) == 0) {
      facts.oriented = ReadExifOrientation(std::span(m->data + 6, m->data_length - 6)) >= 2;
      break;
    }
  if (in.jpeg_color_space == JCS_GRAYSCALE) facts.decoded = facts.worked = 1;
  // One pass over the data keeps a band of rows; several keep every
  // coefficient of the picture until the last scan.
  if (jpeg_has_multiple_scans(&in)) {
    for (int c = 0; c < in.num_components; ++c) {
      const jpeg_component_info& component = in.comp_info[c];
      const auto round_up = [](std::uint64_t n, int m) { return (n + m - 1) / m * m; };
      facts.decoder += round_up(component.width_in_blocks, component.h_samp_factor) *
                       round_up(component.height_in_blocks, component.v_samp_factor) * DCTSIZE2 *
                       sizeof(JCOEF);
    }
  }
  return true;
}

HeaderFacts JpegFacts(const std::filesystem::path& path) {
  HeaderFacts facts;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(img::OpenFile(path, "rb"), &std::fclose);
  if (!file) return facts;
  jpeg_decompress_struct in{};
  JpegErrorManager error;
  error.Attach(reinterpret_cast<j_common_ptr>(&in));
  if (!ReadJpegHeader(in, error, file.get(), facts)) facts = HeaderFacts{};
  jpeg_destroy_decompress(&in);
  return facts;
}

bool WithinLimits(long long width, long long height) {
  try {
    img::CheckPictureSize(width, height);
    return true;
  } catch (const img::ImageError&) {
    return false;
  }
}

}  // namespace

std::uint64_t EstimatedNeedBytes(const std::string& path, const ConversionOptions& options) {
  const std::filesystem::path file = img::PathFromUtf8(path);
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  const std::uint64_t file_bytes = ec ? 0 : static_cast<std::uint64_t>(size);

  // The header of the kind the loader will read, as LoadPicture chooses it.
  const Bytes head = ReadHead(file);
  const PictureFormat* format = ChooseLoader(head, path);
  if (!format) return file_bytes;
  HeaderFacts facts;
  switch (format->kind) {
    case PictureKind::Bmp: facts = BmpFacts(head); break;
    case PictureKind::Jpeg: facts = JpegFacts(file); break;
    case PictureKind::Png:
      facts = PngFacts(head);
      facts.oriented = PngOriented(head);
      break;
    case PictureKind::Webp:
      facts = WebpFacts(head);
      facts.oriented = WebpOriented(head);
      break;
  }
  if (!WithinLimits(facts.width, facts.height)) return file_bytes;

  std::uint64_t pixels = static_cast<std::uint64_t>(facts.width) * static_cast<std::uint64_t>(facts.height);
  // Rows padded to four bytes, as a Bitmap keeps them.
  const auto rows = [&](int bytes) {
    return (static_cast<std::uint64_t>(facts.width) * static_cast<std::uint64_t>(bytes) + 3) / 4 * 4 *
           static_cast<std::uint64_t>(facts.height);
  };
  const std::uint64_t picture = rows(facts.decoded), copy24 = rows(3);
  const bool turn = (options.rotation >= 1 && options.rotation <= 3) || (options.autoOrient && facts.oriented);
  const bool shrink = options.zoomType == 1;
  std::uint64_t work = rows(facts.worked);
  if (shrink && options.enlarge) {
    for (const auto& [w, h] : {std::pair{facts.width, facts.height}, std::pair{facts.height, facts.width}}) {
      const ResizePlan plan = PlanResize(static_cast<int>(w), static_cast<int>(h), options);
      if (!plan.resizes) continue;
      const auto width = static_cast<std::uint64_t>(plan.size.width), height = static_cast<std::uint64_t>(plan.size.height);
      work = std::max(work, (width * static_cast<std::uint64_t>(facts.worked) + 3) / 4 * 4 * height);
      pixels = std::max(pixels, width * height);
    }
  }
  const bool jpeg = options.toJpg || options.toJpeg;
  std::uint64_t need = Add(Add(file_bytes, picture), facts.decoder);
  if ((turn || shrink || jpeg || options.toWebp) && facts.decoded != facts.worked) need = Add(need, work);
  if (facts.alpha && (jpeg || options.toBmp)) need = Add(need, copy24);
  if (turn) need = Add(need, work);
  if (shrink) need = Add(need, work);
  if (jpeg) need = Add(need, work / 2);
  if (options.toWebp) {
    need = Add(need, Add(pixels * 4, work / 2));
    if (facts.worked == 1) need = Add(need, std::max(copy24, 3 * work));
  }
  return need;
}

}  // namespace engine

#include "engine/HeaderFacts.h"

#include <webp/decode.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/ExifOrientation.h"
#include "engine/JpegErrorManager.h"
#include "imaging/FileIO.h"
#include "imaging/SystemFiles.h"

namespace engine {

namespace {

std::uint32_t Big32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint32_t Little32(const std::uint8_t* p) {
  return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}
std::uint32_t Little16(const std::uint8_t* p) { return std::uint32_t{p[1]} << 8 | p[0]; }

// The chunks before a PNG's image data: an eXIf among them says whether
// the picture is turned; one the head cuts short, or a head that ends
// before the image data, may turn it. An eXIf after the image data is not
// seen.
bool PngOriented(PictureHead head) {
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
bool WebpOriented(PictureHead head) {
  return head.size() >= 21 && std::string(head.begin() + 12, head.begin() + 16) == "VP8X" && (head[20] & 0x08) != 0;
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
      facts.orientation = ReadExifOrientation(std::span(m->data + 6, m->data_length - 6));
      facts.oriented = facts.orientation >= 2;
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

}  // namespace

HeaderFacts PngFacts(PictureHead head, const std::filesystem::path&) {
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
  facts.oriented = PngOriented(head);
  return facts;
}

HeaderFacts BmpFacts(PictureHead head, const std::filesystem::path&) {
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

HeaderFacts WebpFacts(PictureHead head, const std::filesystem::path&) {
  HeaderFacts facts;
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(head.data(), head.size(), &features) != VP8_STATUS_OK) return facts;
  facts.width = features.width;
  facts.height = features.height;
  if (features.has_alpha) {
    facts.decoded = facts.worked = 4;
    facts.alpha = true;
  }
  facts.oriented = WebpOriented(head);
  return facts;
}

HeaderFacts JpegFacts(PictureHead, const std::filesystem::path& path) {
  HeaderFacts facts;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(img::OpenSourceFile(path), &std::fclose);
  if (!file) return facts;
  jpeg_decompress_struct in{};
  JpegErrorManager error;
  error.Attach(reinterpret_cast<j_common_ptr>(&in));
  if (!ReadJpegHeader(in, error, file.get(), facts)) facts = HeaderFacts{};
  jpeg_destroy_decompress(&in);
  return facts;
}

}  // namespace engine

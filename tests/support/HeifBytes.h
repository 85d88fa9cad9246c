#pragma once
// HEIF files made with libheif's own encoders (x265 for HEIC, aom for AVIF),
// for the decoder's tests and the fuzz seeds: nothing large is shipped.

#include <libheif/heif.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace testsupport {

struct HeifPicture {
  heif_compression_format codec = heif_compression_HEVC;
  int quality = 90;
  bool lossless = false;
  bool premultiplied = false;                              // the colour is stored times alpha
  heif_orientation orientation = heif_orientation_normal;  // written as the file's own turn
  std::vector<std::uint8_t> exif;                        // from the TIFF header on
  std::vector<std::uint8_t> icc;
  // Colour told as nclx numbers (H.273), when primaries are given.
  heif_color_primaries primaries = heif_color_primaries_unspecified;
  heif_transfer_characteristics transfer = heif_transfer_characteristic_IEC_61966_2_1;
  int pictures = 1;  // top-level pictures, each this one; the last is the primary
};

// The file of picture (24 bits, or Bits32Alpha with its alpha).
inline std::vector<std::uint8_t> HeifBytes(const img::Bitmap& picture, const HeifPicture& how = {}) {
  auto check = [](heif_error e) {
    if (e.code != heif_error_Ok) throw std::runtime_error(std::string("libheif: ") + e.message);
  };
  const bool alpha = picture.format() == img::PixelFormat::Bits32Alpha;
  const int bytes = alpha ? 4 : 3;
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_image* image = nullptr;
  heif_encoding_options* options = heif_encoding_options_alloc();
  std::vector<std::uint8_t> file;
  try {
    check(heif_context_get_encoder_for_format(context, how.codec, &encoder));
    check(heif_encoder_set_lossy_quality(encoder, how.quality));
    check(heif_encoder_set_lossless(encoder, how.lossless));
    check(heif_image_create(picture.width(), picture.height(), heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &image));
    check(heif_image_add_plane(image, heif_channel_interleaved, picture.width(), picture.height(), 8));
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const std::uint8_t* in = picture.ScanLine(y) + bytes * x;
        std::uint8_t* out = plane + y * stride + bytes * x;
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        if (alpha) out[3] = in[3];
      }
    heif_image_set_premultiplied_alpha(image, how.premultiplied);
    if (!how.icc.empty()) check(heif_image_set_raw_color_profile(image, "prof", how.icc.data(), how.icc.size()));
    // The encoder writes the nclx box it is given, freed once it has encoded.
    std::unique_ptr<heif_color_profile_nclx, decltype(&heif_nclx_color_profile_free)> nclx(
        nullptr, &heif_nclx_color_profile_free);
    if (how.primaries != heif_color_primaries_unspecified) {
      nclx.reset(heif_nclx_color_profile_alloc());
      nclx->color_primaries = how.primaries;
      nclx->transfer_characteristics = how.transfer;
      nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
      nclx->full_range_flag = 1;
      options->output_nclx_profile = nclx.get();
      options->macOS_compatibility_workaround_no_nclx_profile = 0;  // on by default: no box at all
      check(heif_image_set_nclx_color_profile(image, nclx.get()));
    }
    options->image_orientation = how.orientation;
    heif_image_handle* handle = nullptr;
    for (int more = 1; more < how.pictures; ++more) {
      check(heif_context_encode_image(context, image, encoder, options, &handle));
      heif_image_handle_release(handle);
    }
    check(heif_context_encode_image(context, image, encoder, options, &handle));
    check(heif_context_set_primary_image(context, handle));
    if (!how.exif.empty())
      check(heif_context_add_exif_metadata(context, handle, how.exif.data(), static_cast<int>(how.exif.size())));
    heif_image_handle_release(handle);
    heif_writer writer{1, [](heif_context*, const void* data, std::size_t size, void* into) {
                         auto* v = static_cast<std::vector<std::uint8_t>*>(into);
                         v->insert(v->end(), static_cast<const std::uint8_t*>(data),
                                   static_cast<const std::uint8_t*>(data) + size);
                         return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    check(heif_context_write(context, &writer, &file));
  } catch (...) {
    heif_encoding_options_free(options);
    heif_image_release(image);
    if (encoder) heif_encoder_release(encoder);
    heif_context_free(context);
    throw;
  }
  heif_encoding_options_free(options);
  heif_image_release(image);
  heif_encoder_release(encoder);
  heif_context_free(context);
  return file;
}

namespace heifboxes {

inline std::uint32_t Big(const std::uint8_t* p, int n) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}

inline void PutBig(std::vector<std::uint8_t>& out, std::uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// The body of the first box of that type among the boxes of bytes (after
// `skip` bytes: a full box's version and flags).
inline std::vector<std::uint8_t> Find(const std::vector<std::uint8_t>& bytes, const char* type, std::size_t skip = 0) {
  for (std::size_t at = skip; at + 8 <= bytes.size();) {
    const std::uint32_t size = Big(&bytes[at], 4);
    if (size < 8 || at + size > bytes.size()) break;
    if (std::equal(type, type + 4, bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4))
      return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at) + 8,
                                       bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  }
  throw std::runtime_error(std::string("no box ") + type);
}

inline std::vector<std::uint8_t> Box(const char* type, const std::vector<std::uint8_t>& body, int full = -1) {
  std::vector<std::uint8_t> box;
  PutBig(box, static_cast<std::uint32_t>(body.size() + 8 + (full >= 0 ? 4 : 0)), 4);
  box.insert(box.end(), type, type + 4);
  if (full >= 0) PutBig(box, static_cast<std::uint32_t>(full), 4);
  box.insert(box.end(), body.begin(), body.end());
  return box;
}

}  // namespace heifboxes

// file with its first ispe box saying width x height, whatever its frame is
// coded at.
inline std::vector<std::uint8_t> WithDeclaredSize(std::vector<std::uint8_t> file, std::uint32_t width,
                                                  std::uint32_t height) {
  const char ispe[] = "ispe";
  const auto at = std::search(file.begin(), file.end(), ispe, ispe + 4);
  if (at == file.end() || file.end() - at < 16) throw std::runtime_error("no ispe box");
  std::vector<std::uint8_t> size;
  heifboxes::PutBig(size, width, 4);
  heifboxes::PutBig(size, height, 4);
  std::copy(size.begin(), size.end(), at + 8);
  return file;
}

// A HEIC whose primary picture is a grid of rows x columns tiles, as phones
// write their photos: each tile the frame of single (a one-picture HEIC of
// HeifBytes without metadata, its picture a whole number of x265's blocks
// in size), each
// declaring tileWidth x tileHeight (0 x 0: its frame's own size).
inline std::vector<std::uint8_t> HeifGridBytes(const std::vector<std::uint8_t>& single, int rows, int columns,
                                               std::uint32_t tileWidth = 0, std::uint32_t tileHeight = 0) {
  using namespace heifboxes;
  const std::vector<std::uint8_t> meta = Find(single, "meta");
  const std::vector<std::uint8_t> ipco = Find(Find(meta, "iprp", 4), "ipco");
  const std::vector<std::uint8_t> hvcc = Find(ipco, "hvcC"), ispe = Find(ipco, "ispe");
  const std::uint32_t width = Big(&ispe[4], 4), height = Big(&ispe[8], 4);
  // Without metadata its media data are the frame's alone.
  const std::vector<std::uint8_t> tile = Find(single, "mdat");
  const std::uint32_t length = static_cast<std::uint32_t>(tile.size());
  const std::uint32_t tiles = static_cast<std::uint32_t>(rows * columns);

  const auto build = [&](std::uint32_t mdat) {
    std::vector<std::uint8_t> infe, refs, ipma, locations;
    auto append = [](std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& more) {
      to.insert(to.end(), more.begin(), more.end());
    };
    PutBig(infe, tiles + 1, 2);
    append(infe, Box("infe", {0, 1, 0, 0, 'g', 'r', 'i', 'd', 0}, 2 << 24));
    PutBig(refs, 1, 2);
    PutBig(refs, tiles, 2);
    PutBig(ipma, tiles + 1, 4);
    append(ipma, {0, 1, 1, 3});
    locations = {0x44, 0x00};
    PutBig(locations, tiles + 1, 2);
    append(locations, {0, 1, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 8});
    for (std::uint32_t k = 0; k < tiles; ++k) {
      const std::uint32_t id = k + 2;
      std::vector<std::uint8_t> entry;
      PutBig(entry, id, 2);
      append(entry, {0, 0, 'h', 'v', 'c', '1', 0});
      append(infe, Box("infe", entry, 2 << 24 | 1));
      PutBig(refs, id, 2);
      PutBig(ipma, id, 2);
      append(ipma, {2, 0x81, 2});
      PutBig(locations, id, 2);
      append(locations, {0, 0, 0, 0, 0, 1});
      PutBig(locations, mdat + 8 + k * length, 4);
      PutBig(locations, length, 4);
    }
    std::vector<std::uint8_t> declared, whole, grid = {0, 0, static_cast<std::uint8_t>(rows - 1),
                                                        static_cast<std::uint8_t>(columns - 1)};
    PutBig(declared, tileWidth ? tileWidth : width, 4);
    PutBig(declared, tileHeight ? tileHeight : height, 4);
    PutBig(whole, width * static_cast<std::uint32_t>(columns), 4);
    PutBig(whole, height * static_cast<std::uint32_t>(rows), 4);
    PutBig(grid, width * static_cast<std::uint32_t>(columns), 2);
    PutBig(grid, height * static_cast<std::uint32_t>(rows), 2);
    std::vector<std::uint8_t> properties = Box("hvcC", hvcc);
    append(properties, Box("ispe", declared, 0));
    append(properties, Box("ispe", whole, 0));
    std::vector<std::uint8_t> body = Box("hdlr", {0, 0, 0, 0, 'p', 'i', 'c', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0);
    append(body, Box("pitm", {0, 1}, 0));
    append(body, Box("iinf", infe, 0));
    append(body, Box("iref", Box("dimg", refs), 0));
    std::vector<std::uint8_t> iprp = Box("ipco", properties);
    append(iprp, Box("ipma", ipma, 0));
    append(body, Box("iprp", iprp));
    append(body, Box("idat", grid));
    append(body, Box("iloc", locations, 1 << 24));
    return Box("meta", body, 0);
  };
  std::vector<std::uint8_t> file = Box("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1', 'h', 'e', 'i', 'c'});
  const std::vector<std::uint8_t> meta_box = build(static_cast<std::uint32_t>(file.size() + build(0).size()));
  file.insert(file.end(), meta_box.begin(), meta_box.end());
  std::vector<std::uint8_t> data;
  for (std::uint32_t k = 0; k < tiles; ++k) data.insert(data.end(), tile.begin(), tile.end());
  const std::vector<std::uint8_t> mdat = Box("mdat", data);
  file.insert(file.end(), mdat.begin(), mdat.end());
  return file;
}

}  // namespace testsupport

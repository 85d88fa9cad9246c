#pragma once
// HEIF files made with libheif's own encoders (x265 for HEIC, aom for AVIF),
// for the decoder's tests and the fuzz seeds: nothing large is shipped.

#include <libheif/heif.h>

#include <cstdint>
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
    options->image_orientation = how.orientation;
    heif_image_handle* handle = nullptr;
    check(heif_context_encode_image(context, image, encoder, options, &handle));
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

}  // namespace testsupport

#pragma once
// JPEG XL files made here with libjxl's own encoder, and what libjxl's own
// decoder gives back from a file, for the JXL tests and the fuzz seeds.

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/encode.h>
#include <jxl/encode_cxx.h>

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace testsupport {

// The JPEG file whose reconstruction data file holds, rebuilt byte for
// byte by libjxl (as djxl rebuilds it); nothing when it holds none.
inline std::optional<std::vector<std::uint8_t>> JpegFromJxl(std::span<const std::uint8_t> file) {
  const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
  JxlDecoder* d = decoder.get();
  JxlDecoderSubscribeEvents(d, JXL_DEC_JPEG_RECONSTRUCTION | JXL_DEC_FULL_IMAGE);
  JxlDecoderSetInput(d, file.data(), file.size());
  JxlDecoderCloseInput(d);
  std::vector<std::uint8_t> jpeg;
  std::size_t used = 0;
  for (;;) {
    switch (JxlDecoderProcessInput(d)) {
      case JXL_DEC_JPEG_RECONSTRUCTION:
        jpeg.resize(1 << 16);
        JxlDecoderSetJPEGBuffer(d, jpeg.data(), jpeg.size());
        break;
      case JXL_DEC_JPEG_NEED_MORE_OUTPUT:
        used = jpeg.size() - JxlDecoderReleaseJPEGBuffer(d);
        jpeg.resize(jpeg.size() * 2);
        JxlDecoderSetJPEGBuffer(d, jpeg.data() + used, jpeg.size() - used);
        break;
      case JXL_DEC_FULL_IMAGE:
        if (jpeg.empty()) return std::nullopt;  // pixels, not a JPEG
        jpeg.resize(jpeg.size() - JxlDecoderReleaseJPEGBuffer(d));
        return jpeg;
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
        return std::nullopt;
      default:
        throw std::runtime_error("libjxl does not decode the file");
    }
  }
}

// A bare codestream that declares a width x height picture in its size
// header, its metadata all defaults, and ends there.
inline std::vector<std::uint8_t> JxlHeaderOnly(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> file = {0xFF, 0x0A};
  int bit = 0;
  const auto put = [&](std::uint32_t value, int bits) {  // least significant bit first
    for (int i = 0; i < bits; ++i, ++bit) {
      if (bit % 8 == 0) file.push_back(0);
      if (value >> i & 1) file.back() |= static_cast<std::uint8_t>(1 << (bit % 8));
    }
  };
  put(0, 1);                    // not a small size
  put(3, 2), put(height - 1, 30);  // the 30-bit choice of its U32
  put(0, 3);                    // no ratio: the width follows
  put(3, 2), put(width - 1, 30);
  put(1, 1);                    // image metadata: all default
  return file;
}

// A width x height picture of one colour, drawn over a first layer of
// layer_width x layer_height (a frame of no duration, blended under it):
// libjxl decodes that layer whole, however small the picture.
inline std::vector<std::uint8_t> JxlWithLayer(std::uint32_t width, std::uint32_t height, std::uint32_t layer_width,
                                              std::uint32_t layer_height) {
  const JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
  JxlEncoder* e = encoder.get();
  const auto check = [](JxlEncoderStatus status) {
    if (status != JXL_ENC_SUCCESS) throw std::runtime_error("libjxl does not encode the layers");
  };
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = width, info.ysize = height;
  info.bits_per_sample = 8;
  info.uses_original_profile = JXL_TRUE;
  check(JxlEncoderSetBasicInfo(e, &info));
  JxlColorEncoding srgb;
  JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
  check(JxlEncoderSetColorEncoding(e, &srgb));
  const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  for (bool layer : {true, false}) {
    JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(e, nullptr);
    check(JxlEncoderSetFrameLossless(frame, JXL_TRUE));
    check(JxlEncoderFrameSettingsSetOption(frame, JXL_ENC_FRAME_SETTING_EFFORT, 1));
    JxlFrameHeader header;
    JxlEncoderInitFrameHeader(&header);
    if (layer) {
      header.layer_info.have_crop = JXL_TRUE;
      header.layer_info.xsize = layer_width, header.layer_info.ysize = layer_height;
    }
    check(JxlEncoderSetFrameHeader(frame, &header));
    const std::size_t w = layer ? layer_width : width, h = layer ? layer_height : height;
    const std::vector<std::uint8_t> pixels(w * h * 3, layer ? 40 : 200);
    check(JxlEncoderAddImageFrame(frame, &format, pixels.data(), pixels.size()));
  }
  JxlEncoderCloseInput(e);
  std::vector<std::uint8_t> file(1 << 16);
  std::uint8_t* next = file.data();
  std::size_t room = file.size();
  JxlEncoderStatus status;
  while ((status = JxlEncoderProcessOutput(e, &next, &room)) == JXL_ENC_NEED_MORE_OUTPUT) {
    const std::size_t used = static_cast<std::size_t>(next - file.data());
    file.resize(file.size() * 2);
    next = file.data() + used, room = file.size() - used;
  }
  check(status);
  file.resize(static_cast<std::size_t>(next - file.data()));
  return file;
}

// The ICC profile libjxl makes for Display P3 (D65, sRGB's curve): a real
// RGB profile that is not sRGB's.
inline std::vector<std::uint8_t> DisplayP3Profile() {
  const JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
  JxlEncoder* e = encoder.get();
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = info.ysize = 1;
  info.bits_per_sample = 8;
  info.uses_original_profile = JXL_TRUE;
  JxlEncoderSetBasicInfo(e, &info);
  JxlColorEncoding p3;
  JxlColorEncodingSetToSRGB(&p3, JXL_FALSE);
  p3.primaries = JXL_PRIMARIES_P3;
  JxlEncoderSetColorEncoding(e, &p3);
  JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(e, nullptr);
  JxlEncoderSetFrameLossless(frame, JXL_TRUE);
  const std::uint8_t pixel[3] = {1, 2, 3};
  const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  JxlEncoderAddImageFrame(frame, &format, pixel, sizeof pixel);
  JxlEncoderCloseInput(e);
  std::vector<std::uint8_t> file(4096);
  std::uint8_t* next = file.data();
  std::size_t room = file.size();
  if (JxlEncoderProcessOutput(e, &next, &room) != JXL_ENC_SUCCESS) throw std::runtime_error("libjxl: no P3 file");
  file.resize(static_cast<std::size_t>(next - file.data()));

  const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
  JxlDecoder* d = decoder.get();
  JxlDecoderSubscribeEvents(d, JXL_DEC_COLOR_ENCODING);
  JxlDecoderSetInput(d, file.data(), file.size());
  JxlDecoderCloseInput(d);
  std::size_t size = 0;
  if (JxlDecoderProcessInput(d) != JXL_DEC_COLOR_ENCODING ||
      JxlDecoderGetICCProfileSize(d, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, &size) != JXL_DEC_SUCCESS)
    throw std::runtime_error("libjxl: no P3 profile");
  std::vector<std::uint8_t> icc(size);
  JxlDecoderGetColorAsICCProfile(d, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, icc.data(), icc.size());
  return icc;
}

}  // namespace testsupport

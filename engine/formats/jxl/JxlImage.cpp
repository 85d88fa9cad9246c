#include "engine/formats/jxl/JxlImage.h"

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/encode.h>
#include <jxl/encode_cxx.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <utility>

#include "engine/metadata/ExifOrientation.h"
#include "engine/metadata/IccColourSpace.h"
#include "platform/ImageError.h"

namespace engine {

namespace {

// JPEG XL's level 5, which every decoder takes, allows four extra channels
// beside the colour; each is a whole plane in the decoder.
constexpr int kMostExtraChannels = 4;

// EXIF and XMP past this are not read: a brotli box a few bytes long may
// unpack to gigabytes.
constexpr std::size_t kMostBoxBytes = std::size_t{16} << 20;

std::string SizeText(long long width, long long height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

[[noreturn]] void Fail(JxlDecoderStatus status) {
  if (status == JXL_DEC_NEED_MORE_INPUT)
    throw img::ImageError(img::ErrorCode::Truncated, "JPEG XL: the file ends early");
  throw img::ImageError(img::ErrorCode::Format, "JPEG XL: not a valid JPEG XL file");
}

// libjxl's work runs as the parts of one picture on the engine's threads:
// as many runs as parts has threads, each taking the next value of the
// range until none is left, so that each of libjxl's thread numbers is one
// thread's at a time.
JxlParallelRetCode RunOnParts(void* runner, void* opaque, JxlParallelRunInit init, JxlParallelRunFunction func,
                              std::uint32_t start, std::uint32_t end) {
  auto& parts = *static_cast<img::ParallelParts*>(runner);
  const std::size_t threads =
      std::max<std::size_t>(1, std::min<std::size_t>(static_cast<std::size_t>(parts.Threads()), end > start ? end - start : 1));
  if (init(opaque, threads) != 0) return JXL_PARALLEL_RET_RUNNER_ERROR;
  std::atomic<std::uint32_t> next{start};
  parts.Run(threads, [&](std::size_t thread) {
    for (std::uint32_t value = next++; value < end; value = next++) func(opaque, value, thread);
  });
  return 0;
}

JxlDecoderPtr MakeDecoder() {
  JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
  if (!decoder) throw img::ImageError(img::ErrorCode::OutOfMemory, "JPEG XL: no memory for the decoder");
  return decoder;
}

bool IsSrgb(const JxlColorEncoding& c) {
  return (c.color_space == JXL_COLOR_SPACE_RGB || c.color_space == JXL_COLOR_SPACE_GRAY) &&
         c.white_point == JXL_WHITE_POINT_D65 && c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB &&
         (c.color_space == JXL_COLOR_SPACE_GRAY || c.primaries == JXL_PRIMARIES_SRGB);
}

JxlHeader HeaderOf(const JxlBasicInfo& info) {
  JxlHeader header;
  const bool across = info.orientation >= JXL_ORIENT_TRANSPOSE;
  header.width = across ? info.ysize : info.xsize;
  header.height = across ? info.xsize : info.ysize;
  header.grey = info.num_color_channels == 1;
  header.alpha = info.alpha_bits > 0;
  header.extraChannels = static_cast<int>(info.num_extra_channels);
  return header;
}

void CheckHeader(const JxlHeader& header) {
  img::CheckPictureSize(header.width, header.height);
  if (header.extraChannels > kMostExtraChannels)
    throw img::ImageError(img::ErrorCode::Unsupported, "JPEG XL: " + std::to_string(header.extraChannels) +
                                                           " extra channels; at most " +
                                                           std::to_string(kMostExtraChannels) + " are read");
}

// A box being read into memory.
struct BoxReader {
  std::vector<std::uint8_t>* into = nullptr;  // nullptr: no box is read
  std::vector<std::uint8_t> bytes;

  void Start(JxlDecoder* decoder, std::vector<std::uint8_t>& place) {
    into = &place;
    bytes.resize(4096);
    JxlDecoderSetBoxBuffer(decoder, bytes.data(), bytes.size());
  }
  // Room for more; false when the box has grown past what is read.
  bool Grow(JxlDecoder* decoder) {
    const std::size_t used = bytes.size() - JxlDecoderReleaseBoxBuffer(decoder);
    if (!into || bytes.size() >= kMostBoxBytes) {
      into = nullptr;
      return false;
    }
    bytes.resize(bytes.size() * 2);
    JxlDecoderSetBoxBuffer(decoder, bytes.data() + used, bytes.size() - used);
    return true;
  }
  void Finish(JxlDecoder* decoder) {
    const std::size_t left = JxlDecoderReleaseBoxBuffer(decoder);
    if (into) into->assign(bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(left));
    into = nullptr;
  }
};

// The file read through without decoding a pixel: its header and the size
// of every layer its frames are composed of (libjxl allocates each layer
// whole, and a layer may be far larger than the picture), and with metadata
// its EXIF and XMP boxes.
JxlHeader Scan(std::span<const std::uint8_t> file, PictureMetadata* metadata) {
  JxlDecoderPtr decoder = MakeDecoder();
  JxlDecoder* d = decoder.get();
  JxlDecoderSubscribeEvents(d, JXL_DEC_BASIC_INFO | JXL_DEC_FRAME | (metadata ? JXL_DEC_BOX : 0));
  JxlDecoderSetCoalescing(d, JXL_FALSE);
  if (metadata) JxlDecoderSetDecompressBoxes(d, JXL_TRUE);
  // The input is left open: data ending early is then told from broken data.
  JxlDecoderSetInput(d, file.data(), file.size());
  JxlHeader header;
  bool last = false;
  BoxReader box;
  std::vector<std::uint8_t> exif, xmp;
  for (;;) {
    const JxlDecoderStatus status = JxlDecoderProcessInput(d);
    // After the last frame only boxes may follow.
    if (status == JXL_DEC_SUCCESS || (status == JXL_DEC_NEED_MORE_INPUT && last)) break;
    switch (status) {
      case JXL_DEC_BASIC_INFO: {
        JxlBasicInfo info;
        if (JxlDecoderGetBasicInfo(d, &info) != JXL_DEC_SUCCESS) Fail(JXL_DEC_ERROR);
        header = HeaderOf(info);
        CheckHeader(header);
        break;
      }
      case JXL_DEC_FRAME: {
        JxlFrameHeader frame;
        if (JxlDecoderGetFrameHeader(d, &frame) != JXL_DEC_SUCCESS) Fail(JXL_DEC_ERROR);
        const long long width = frame.layer_info.xsize, height = frame.layer_info.ysize;
        if (width * height > img::PixelLimit() || width > img::kMaxSide || height > img::kMaxSide)
          throw img::ImageError(img::ErrorCode::TooLarge, "JPEG XL: a layer of " + SizeText(width, height) +
                                                              " in a picture of " +
                                                              SizeText(header.width, header.height));
        last = frame.is_last;
        break;
      }
      case JXL_DEC_BOX: {
        box.Finish(d);
        JxlBoxType type;
        if (JxlDecoderGetBoxType(d, type, JXL_TRUE) != JXL_DEC_SUCCESS) break;
        if (std::memcmp(type, "Exif", 4) == 0 && exif.empty()) box.Start(d, exif);
        else if (std::memcmp(type, "xml ", 4) == 0 && xmp.empty()) box.Start(d, xmp);
        break;
      }
      case JXL_DEC_BOX_NEED_MORE_OUTPUT:
        box.Grow(d);
        break;
      default:
        Fail(status);
    }
  }
  box.Finish(d);
  if (metadata) {
    // An Exif box starts with the offset of the TIFF header after it.
    if (exif.size() > 4) {
      const std::uint64_t skip = 4 + (std::uint64_t{exif[0]} << 24 | std::uint64_t{exif[1]} << 16 |
                                      std::uint64_t{exif[2]} << 8 | exif[3]);
      if (skip < exif.size()) {
        metadata->exif.assign(exif.begin() + static_cast<std::ptrdiff_t>(skip), exif.end());
        WriteExifOrientation(metadata->exif, 1);
      }
    }
    metadata->xmp = std::move(xmp);
  }
  return header;
}

// The colour the decoder gives lossy (XYB) pixels in: the file's own where
// it names one as an encoding, else sRGB; then the profile of the pixels
// it gives, none for sRGB.
std::vector<std::uint8_t> ChooseColour(JxlDecoder* d, const JxlBasicInfo& info) {
  if (!info.uses_original_profile) {
    JxlColorEncoding wanted;
    if (JxlDecoderGetColorAsEncodedProfile(d, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, &wanted) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetPreferredColorProfile(d, &wanted) != JXL_DEC_SUCCESS) {
      JxlColorEncodingSetToSRGB(&wanted, info.num_color_channels == 1);
      JxlDecoderSetPreferredColorProfile(d, &wanted);
    }
  }
  JxlColorEncoding given;
  if (JxlDecoderGetColorAsEncodedProfile(d, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &given) == JXL_DEC_SUCCESS &&
      IsSrgb(given))
    return {};
  std::size_t size = 0;
  if (JxlDecoderGetICCProfileSize(d, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS) return {};
  std::vector<std::uint8_t> icc(size);
  if (JxlDecoderGetColorAsICCProfile(d, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, icc.data(), icc.size()) !=
      JXL_DEC_SUCCESS)
    return {};
  return icc;
}

// Rows of r, g, b (and a) turned into b, g, r (and a) in place.
void SwapRedAndBlue(img::Bitmap& picture, int bytes) {
  for (int y = 0; y < picture.height(); ++y) {
    std::uint8_t* p = picture.ScanLine(y);
    for (int x = 0; x < picture.width(); ++x, p += bytes) std::swap(p[0], p[2]);
  }
}

JxlEncoderPtr MakeEncoder(img::ParallelParts& parts) {
  JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
  if (!encoder) throw img::ImageError(img::ErrorCode::OutOfMemory, "JPEG XL: no memory for the encoder");
  JxlEncoderSetParallelRunner(encoder.get(), RunOnParts, &parts);
  return encoder;
}

[[noreturn]] void EncoderFailed(JxlEncoder* e) {
  if (JxlEncoderGetError(e) == JXL_ENC_ERR_OOM)
    throw img::ImageError(img::ErrorCode::OutOfMemory, "JPEG XL: out of memory");
  throw img::ImageError(img::ErrorCode::Internal, "JPEG XL: the picture cannot be encoded");
}

void Check(JxlEncoder* e, JxlEncoderStatus status) {
  if (status != JXL_ENC_SUCCESS) EncoderFailed(e);
}

// The whole file, once the input is closed; false when libjxl failed.
bool TakeOutput(JxlEncoder* e, std::vector<std::uint8_t>& file) {
  file.resize(std::size_t{1} << 16);
  std::uint8_t* next = file.data();
  std::size_t room = file.size();
  JxlEncoderStatus status;
  while ((status = JxlEncoderProcessOutput(e, &next, &room)) == JXL_ENC_NEED_MORE_OUTPUT) {
    const std::size_t used = static_cast<std::size_t>(next - file.data());
    file.resize(file.size() * 2);
    next = file.data() + used;
    room = file.size() - used;
  }
  file.resize(static_cast<std::size_t>(next - file.data()));
  return status == JXL_ENC_SUCCESS;
}

// libjxl reads a profile it is given to find the colour space it names;
// one it cannot read would fail the whole write.
bool TakesProfile(const JxlBasicInfo& info, const std::vector<std::uint8_t>& icc) {
  const JxlEncoderPtr scratch = JxlEncoderMake(nullptr);
  return scratch && JxlEncoderSetBasicInfo(scratch.get(), &info) == JXL_ENC_SUCCESS &&
         JxlEncoderSetICCProfile(scratch.get(), icc.data(), icc.size()) == JXL_ENC_SUCCESS;
}

void SetEffort(JxlEncoder* e, JxlEncoderFrameSettings* frame, int effort) {
  if (effort < 1 || effort > 9)
    throw img::ImageError(img::ErrorCode::InvalidArgument, "JPEG XL: effort must be 1 to 9");
  Check(e, JxlEncoderFrameSettingsSetOption(frame, JXL_ENC_FRAME_SETTING_EFFORT, effort));
}

}  // namespace

bool IsJxl(PictureHead head) {
  const JxlSignature signature = JxlSignatureCheck(head.data(), head.size());
  return signature == JXL_SIG_CODESTREAM || signature == JXL_SIG_CONTAINER;
}

std::optional<JxlHeader> ReadJxlHeader(std::span<const std::uint8_t> file) {
  JxlDecoderPtr decoder = MakeDecoder();
  JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO);
  JxlDecoderSetInput(decoder.get(), file.data(), file.size());
  JxlDecoderCloseInput(decoder.get());
  JxlBasicInfo info;
  if (JxlDecoderProcessInput(decoder.get()) != JXL_DEC_BASIC_INFO ||
      JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS)
    return std::nullopt;
  return HeaderOf(info);
}

void DecodeJxl(std::span<const std::uint8_t> file, img::Bitmap& out, PictureMetadata* metadata) {
  PictureMetadata read;
  const JxlHeader header = Scan(file, metadata ? &read : nullptr);

  JxlDecoderPtr decoder = MakeDecoder();
  JxlDecoder* d = decoder.get();
  JxlDecoderSubscribeEvents(d, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE);
  JxlDecoderSetUnpremultiplyAlpha(d, JXL_TRUE);
  JxlDecoderSetInput(d, file.data(), file.size());
  JxlBasicInfo info{};
  img::Bitmap picture;
  JxlPixelFormat format{0, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};  // rows padded to four bytes, as a Bitmap's
  for (;;) {
    const JxlDecoderStatus status = JxlDecoderProcessInput(d);
    if (status == JXL_DEC_FULL_IMAGE) break;  // the first frame shown: a still picture
    switch (status) {
      case JXL_DEC_BASIC_INFO: {
        if (JxlDecoderGetBasicInfo(d, &info) != JXL_DEC_SUCCESS) Fail(JXL_DEC_ERROR);
        const JxlHeader now = HeaderOf(info);
        // The file was read through once: what it tells now it told then.
        if (now.width != header.width || now.height != header.height || now.extraChannels != header.extraChannels)
          Fail(JXL_DEC_ERROR);
        const bool alpha = header.alpha, grey = header.grey && !alpha;
        format.num_channels = grey ? 1 : alpha ? 4 : 3;
        picture = img::Bitmap::Unfilled(static_cast<int>(header.width), static_cast<int>(header.height),
                                        grey ? img::PixelFormat::Bits8
                                             : alpha ? img::PixelFormat::Bits32Alpha : img::PixelFormat::Bits24);
        break;
      }
      case JXL_DEC_COLOR_ENCODING:
        read.icc = ChooseColour(d, info);
        break;
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        std::size_t size = 0;
        if (JxlDecoderImageOutBufferSize(d, &format, &size) != JXL_DEC_SUCCESS || size != picture.PixelBytes() ||
            JxlDecoderSetImageOutBuffer(d, &format, picture.ScanLine(0), picture.PixelBytes()) != JXL_DEC_SUCCESS)
          Fail(JXL_DEC_ERROR);
        break;
      }
      default:
        Fail(status);
    }
  }
  if (picture.format() == img::PixelFormat::Bits8) {
    picture.palette().resize(256);
    for (int level = 0; level < 256; ++level) {
      const auto v = static_cast<std::uint8_t>(level);
      picture.palette()[static_cast<std::size_t>(level)] = {v, v, v, 0};
    }
  } else {
    SwapRedAndBlue(picture, format.num_channels);
  }
  if (metadata) *metadata = std::move(read);
  std::swap(out, picture);
}

float JxlDistance(int quality) {
  const float q = static_cast<float>(std::clamp(quality, 1, 100));
  if (q >= 100) return 0.0f;
  if (q >= 30) return 0.1f + (100 - q) * 0.09f;
  return 53.0f / 3000.0f * q * q - 23.0f / 20.0f * q + 25.0f;
}

std::vector<std::uint8_t> EncodeJxl(const img::Bitmap& picture, const JxlSettings& settings,
                                    const PictureMetadata* carried, img::ParallelParts& parts,
                                    std::vector<std::string>* left_out) {
  if (picture.empty()) throw img::ImageError(img::ErrorCode::InvalidArgument, "JPEG XL: a picture without pixels");
  const bool alpha = picture.format() == img::PixelFormat::Bits32Alpha;
  const bool grey = !alpha && picture.IsGrey();
  const bool lossless = settings.lossless || settings.quality >= 100;
  JxlEncoderPtr encoder = MakeEncoder(parts);
  JxlEncoder* e = encoder.get();

  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = static_cast<std::uint32_t>(picture.width());
  info.ysize = static_cast<std::uint32_t>(picture.height());
  info.bits_per_sample = 8;
  info.num_color_channels = grey ? 1 : 3;
  if (alpha) {
    info.alpha_bits = 8;
    info.num_extra_channels = 1;
  }
  info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
  // Pixels kept as stored keep the turn they are to be seen with.
  const int orientation = carried ? ReadExifOrientation(carried->exif) : 0;
  if (orientation >= 2) info.orientation = static_cast<JxlOrientation>(orientation);
  Check(e, JxlEncoderSetBasicInfo(e, &info));
  const bool profile = carried && IccProfileFits(carried->icc, grey);
  if (profile && TakesProfile(info, carried->icc)) {
    Check(e, JxlEncoderSetICCProfile(e, carried->icc.data(), carried->icc.size()));
  } else {
    if (profile && left_out) left_out->push_back("ICC profile (" + std::to_string(carried->icc.size()) + " bytes) that libjxl cannot read: left out");
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, grey);
    Check(e, JxlEncoderSetColorEncoding(e, &srgb));
  }
  if (carried && (!carried->exif.empty() || !carried->xmp.empty())) {
    Check(e, JxlEncoderUseBoxes(e));
    if (!carried->exif.empty()) {
      // The TIFF header right after the box's offset field.
      std::vector<std::uint8_t> box(4, 0);
      box.insert(box.end(), carried->exif.begin(), carried->exif.end());
      Check(e, JxlEncoderAddBox(e, "Exif", box.data(), box.size(), JXL_FALSE));
    }
    if (!carried->xmp.empty()) Check(e, JxlEncoderAddBox(e, "xml ", carried->xmp.data(), carried->xmp.size(), JXL_FALSE));
    JxlEncoderCloseBoxes(e);
  }

  JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(e, nullptr);
  if (!frame) EncoderFailed(e);
  SetEffort(e, frame, settings.effort);
  if (lossless)
    Check(e, JxlEncoderSetFrameLossless(frame, JXL_TRUE));
  else
    Check(e, JxlEncoderSetFrameDistance(frame, JxlDistance(settings.quality)));

  // Packed rows in libjxl's order: grey levels, or r, g, b (and a).
  const int channels = grey ? 1 : alpha ? 4 : 3;
  const int width = picture.width(), height = picture.height();
  img::Bitmap colour;
  const img::Bitmap* source = &picture;
  if (!grey && !alpha && picture.format() != img::PixelFormat::Bits24) {
    colour = picture;
    colour.ConvertTo24();
    source = &colour;
  }
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                   static_cast<std::size_t>(channels));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = source->ScanLine(y);
    std::uint8_t* row = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * channels;
    if (grey) {
      const std::vector<img::PaletteEntry>& palette = source->palette();
      for (int x = 0; x < width; ++x) row[x] = palette[in[x]].red;
      continue;
    }
    for (int x = 0; x < width; ++x, in += channels, row += channels) {
      row[0] = in[2];
      row[1] = in[1];
      row[2] = in[0];
      if (alpha) row[3] = in[3];
    }
  }
  colour.Clear();
  const JxlPixelFormat format{static_cast<std::uint32_t>(channels), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  Check(e, JxlEncoderAddImageFrame(frame, &format, pixels.data(), pixels.size()));
  std::vector<std::uint8_t>().swap(pixels);  // libjxl holds its own copy
  JxlEncoderCloseInput(e);
  std::vector<std::uint8_t> file;
  if (!TakeOutput(e, file)) EncoderFailed(e);
  return file;
}

std::optional<std::vector<std::uint8_t>> RecompressJpeg(std::span<const std::uint8_t> jpeg, int effort,
                                                        img::ParallelParts& parts) {
  JxlEncoderPtr encoder = MakeEncoder(parts);
  JxlEncoder* e = encoder.get();
  Check(e, JxlEncoderStoreJPEGMetadata(e, JXL_TRUE));
  JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(e, nullptr);
  if (!frame) EncoderFailed(e);
  SetEffort(e, frame, effort);
  const auto refused = [&]() -> std::optional<std::vector<std::uint8_t>> {
    if (JxlEncoderGetError(e) == JXL_ENC_ERR_OOM)
      throw img::ImageError(img::ErrorCode::OutOfMemory, "JPEG XL: out of memory");
    return std::nullopt;
  };
  if (JxlEncoderAddJPEGFrame(frame, jpeg.data(), jpeg.size()) != JXL_ENC_SUCCESS) return refused();
  JxlEncoderCloseInput(e);
  std::vector<std::uint8_t> file;
  if (!TakeOutput(e, file)) return refused();
  return file;
}

}  // namespace engine

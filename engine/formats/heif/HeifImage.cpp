#include "engine/formats/heif/HeifImage.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/metadata/ExifOrientation.h"
#include "engine/formats/heif/HeifFrames.h"
#include "engine/colour/CodedColour.h"
#include "engine/metadata/IccColourSpace.h"
#include "engine/formats/PictureFormats.h"
#include "engine/formats/QualitySearch.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"
#include "imaging/Premultiplied.h"

namespace engine {

namespace {

struct ContextFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct EncoderFree {
  void operator()(heif_encoder* e) const { heif_encoder_release(e); }
};
struct DecodingFree {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
struct EncodingFree {
  void operator()(heif_encoding_options* o) const { heif_encoding_options_free(o); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleFree>;
using Image = std::unique_ptr<heif_image, ImageFree>;

[[noreturn]] void Fail(const heif_error& e) {
  img::ErrorCode code = img::ErrorCode::Format;
  if (e.subcode == heif_suberror_End_of_data) code = img::ErrorCode::Truncated;
  else if (e.subcode == heif_suberror_Security_limit_exceeded) code = img::ErrorCode::TooLarge;
  else if (e.code == heif_error_Memory_allocation_error) code = img::ErrorCode::OutOfMemory;
  else if (e.code == heif_error_Unsupported_feature || e.code == heif_error_Unsupported_filetype)
    code = img::ErrorCode::Unsupported;
  throw img::ImageError(code, std::string("HEIF: ") + (e.message && *e.message ? e.message : "cannot be decoded"));
}

void Check(const heif_error& e) {
  if (e.code != heif_error_Ok) Fail(e);
}

// libheif's plugins are registered once, for the whole process.
void InitOnce() {
  static const bool ready = [] {
    heif_init(nullptr);
    return true;
  }();
  (void)ready;
}

// The file's boxes read (no picture decoded), its primary picture's
// handle and the frames that picture is decoded from.
struct Opened {
  Context context;
  Handle primary;
  std::vector<HeifFrame> frames;
};

std::string SizeText(long long width, long long height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// libheif holds a frame to the size its item declares only after decoding
// it, if at all: the decoder allocates the size the frame is coded at, and
// a target named by the picture's size would be named wrongly. A frame
// coded larger than its item declares is refused before anything is
// decoded, and so is a file whose frames cannot all be told.
std::vector<HeifFrame> CheckedFrames(std::span<const std::uint8_t> file) {
  HeifFrames read = PrimaryHeifFrames(file);
  for (const HeifFrame& frame : read.frames)
    if (frame.CodedLarger())
      throw img::ImageError(img::ErrorCode::TooLarge, "HEIF: a frame coded " +
                                                          SizeText(frame.codedWidth, frame.codedHeight) +
                                                          " where its item declares " +
                                                          SizeText(frame.declaredWidth, frame.declaredHeight));
  if (!read.complete) throw img::ImageError(img::ErrorCode::Format, "HEIF: the sizes of its coded frames cannot be read");
  return std::move(read.frames);
}

Opened OpenWithin(std::span<const std::uint8_t> file, int side) {
  Opened o{Context(heif_context_alloc()), nullptr, {}};
  if (!o.context) throw img::ImageError(img::ErrorCode::OutOfMemory, "HEIF: no memory for the file");
  heif_context_set_maximum_image_size_limit(o.context.get(), side);
  Check(heif_context_read_from_memory_without_copy(o.context.get(), file.data(), file.size(), nullptr));
  heif_image_handle* handle = nullptr;
  Check(heif_context_get_primary_image_handle(o.context.get(), &handle));
  o.primary.reset(handle);
  return o;
}

// libheif holds every item (tiles, alpha, thumbnails) and every decoded
// frame to one longest side, and a frame's coded size need not be the one
// its item declares: a hostile file of a kilobyte declaring 16 x 16 can
// decode to gigabytes. So the file is read again with that side no longer
// than the main picture's own longest side, or 4096 for small pictures
// (their alpha and tiles may be coded larger than they show). As a frame
// may then still be that side squared, the side itself is held to twice the
// side of a square picture at the pixel limit (23170 at the program's own).
Opened Open(std::span<const std::uint8_t> file) {
  InitOnce();
  Opened first = OpenWithin(file, img::kMaxSide);
  const int declared =
      std::max(heif_image_handle_get_ispe_width(first.primary.get()), heif_image_handle_get_ispe_height(first.primary.get()));
  const int longest = std::max(4096, 2 * static_cast<int>(std::sqrt(static_cast<double>(img::PixelLimit()))));
  if (declared > longest)
    throw img::ImageError(img::ErrorCode::TooLarge, "HEIF: a picture " + std::to_string(declared) +
                                                        " pixels long; at most " + std::to_string(longest) + " are read");
  Opened o = OpenWithin(file, std::max(declared, 4096) + 1);
  o.frames = CheckedFrames(file);
  return o;
}

bool BrandIs(PictureHead head, std::initializer_list<std::string_view> brands) {
  if (head.size() < 12 || std::memcmp(head.data() + 4, "ftyp", 4) != 0) return false;
  const std::string_view brand(reinterpret_cast<const char*>(head.data()) + 8, 4);
  return std::find(brands.begin(), brands.end(), brand) != brands.end();
}

std::vector<std::uint8_t> Metadata(const heif_image_handle* h, heif_item_id id) {
  std::vector<std::uint8_t> bytes(heif_image_handle_get_metadata_size(h, id));
  if (bytes.empty() || heif_image_handle_get_metadata(h, id, bytes.data()).code != heif_error_Ok) return {};
  return bytes;
}

// The profile of the file's nclx colour box; empty without one, or with
// primaries or a transfer it leaves unspecified.
std::vector<std::uint8_t> NclxProfile(const heif_image_handle* h) {
  heif_color_profile_nclx* nclx = nullptr;
  if (heif_image_handle_get_nclx_color_profile(h, &nclx).code != heif_error_Ok || !nclx) return {};
  std::unique_ptr<heif_color_profile_nclx, decltype(&heif_nclx_color_profile_free)> owned(
      nclx, &heif_nclx_color_profile_free);
  if (nclx->color_primaries == heif_color_primaries_unspecified) return {};
  return CodedColourProfile({nclx->color_primary_red_x, nclx->color_primary_red_y, nclx->color_primary_green_x,
                             nclx->color_primary_green_y, nclx->color_primary_blue_x, nclx->color_primary_blue_y,
                             nclx->color_primary_white_x, nclx->color_primary_white_y,
                             static_cast<int>(nclx->transfer_characteristics)});
}

void ReadMetadata(const heif_image_handle* h, PictureMetadata& metadata) {
  const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(h);
  if (profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC) {
    std::vector<std::uint8_t> icc(heif_image_handle_get_raw_color_profile_size(h));
    if (!icc.empty() && heif_image_handle_get_raw_color_profile(h, icc.data()).code == heif_error_Ok)
      metadata.icc = std::move(icc);
  }
  if (metadata.icc.empty()) metadata.codedColour = NclxProfile(h);
  const int count = heif_image_handle_get_number_of_metadata_blocks(h, nullptr);
  std::vector<heif_item_id> ids(static_cast<std::size_t>(std::max(count, 0)));
  heif_image_handle_get_list_of_metadata_block_IDs(h, nullptr, ids.data(), count);
  for (heif_item_id id : ids) {
    const std::string_view type = heif_image_handle_get_metadata_type(h, id);
    const std::string_view content = heif_image_handle_get_metadata_content_type(h, id);
    if (type == "Exif" && metadata.exif.empty()) {
      // A four-byte big-endian offset from its end to the TIFF header.
      const std::vector<std::uint8_t> block = Metadata(h, id);
      if (block.size() < 4) continue;
      const std::uint64_t skip =
          4 + (std::uint64_t{block[0]} << 24 | std::uint64_t{block[1]} << 16 | std::uint64_t{block[2]} << 8 | block[3]);
      if (skip >= block.size()) continue;
      metadata.exif.assign(block.begin() + static_cast<std::ptrdiff_t>(skip), block.end());
      WriteExifOrientation(metadata.exif, 1);
    } else if (type == "mime" && content == "application/rdf+xml" && metadata.xmp.empty()) {
      metadata.xmp = Metadata(h, id);
    }
  }
}

// The picture and the alpha libheif decodes with it are each held to the
// pixel limit: an alpha's size is its own, and a hostile one would ask for
// gigabytes beside a small picture.
void CheckSizes(const heif_image_handle* h) {
  img::CheckPictureSize(heif_image_handle_get_width(h), heif_image_handle_get_height(h));
  const int count = heif_image_handle_get_number_of_auxiliary_images(h, 0);
  std::vector<heif_item_id> ids(static_cast<std::size_t>(std::max(count, 0)));
  heif_image_handle_get_list_of_auxiliary_image_IDs(h, 0, ids.data(), count);
  for (heif_item_id id : ids) {
    heif_image_handle* made = nullptr;
    Check(heif_image_handle_get_auxiliary_image_handle(h, id, &made));
    const Handle aux(made);
    img::CheckPictureSize(heif_image_handle_get_width(made), heif_image_handle_get_height(made));
  }
}

PictureSize LoadHeifFile(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture,
                         PictureSize) {
  codecs.NotePictures(DecodeHeif(img::ReadWholeFile(path), picture, codecs.MetadataPlace(), codecs.Page()), "picture",
                      "the primary");
  return {picture.width(), picture.height()};
}
// AVIF's own loader, so that it is a kind of its own (its name kept when it
// is converted to itself) and not one with HEIC.
PictureSize LoadAvifFile(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture,
                         PictureSize fit) {
  return LoadHeifFile(codecs, path, picture, fit);
}

void WriteAvifFile(PictureCodecs& codecs, const img::Bitmap& picture, const img::TargetFile& path,
                   img::ProgressSink& sink, img::ParallelParts&) {
  sink.StepProgress();
  const EncodingOptions& settings = codecs.EncoderSettings();
  const auto encode = [&](int quality) { return EncodeAvif(picture, quality, codecs.CarriedMetadata()); };
  if (settings.maxBytes == 0) {
    img::WriteFileAtomically(path, encode(settings.avifQuality));
    return;
  }
  const FittedFile fitted = FitQuality(settings.avifQuality, settings.maxBytes, encode);
  img::WriteFileAtomically(path, fitted.bytes);
  codecs.NoteChosenQuality(fitted.quality);
}

HeaderFacts HeifFacts(PictureHead head, const std::filesystem::path& path) {
  HeaderFacts facts;
  if (!IsHeif(head) && !IsAvif(head)) return facts;
  // The boxes that tell the size may stand anywhere in the file.
  try {
    const std::vector<std::uint8_t> file = img::ReadWholeFile(path);
    const Opened o = Open(file);
    const heif_image_handle* h = o.primary.get();
    facts.width = heif_image_handle_get_width(h);
    facts.height = heif_image_handle_get_height(h);
    const bool alpha = heif_image_handle_has_alpha_channel(h) != 0;
    if (alpha) {
      facts.decoded = facts.worked = 4;
      facts.alpha = true;
    }
    // The decoder's planes at the sizes its frames are coded at (up to three
    // planes a frame, alpha a frame of its own, two bytes a sample past 8
    // bits; a grid's canvas beside its tiles), the interleaved picture it
    // makes of them and a turned copy of that, and the file itself.
    const int bits = std::max(heif_image_handle_get_luma_bits_per_pixel(h), 8);
    const std::uint64_t pixels = static_cast<std::uint64_t>(facts.width) * static_cast<std::uint64_t>(facts.height);
    std::uint64_t coded = 0;
    for (const HeifFrame& frame : o.frames) coded += std::uint64_t{frame.codedWidth} * frame.codedHeight;
    facts.decoder = file.size() + std::max(coded, pixels) * (bits > 8 ? 2u : 1u) * 3u + pixels * 2u * (alpha ? 4u : 3u);
  } catch (const img::ImageError&) {
    return HeaderFacts{};
  }
  return facts;
}

// Rows as libheif wants them: r, g, b (and a) from b, g, r (and a).
Image InterleavedOf(const img::Bitmap& picture) {
  const bool alpha = picture.format() == img::PixelFormat::Bits32Alpha;
  img::Bitmap copy;
  const img::Bitmap* source = &picture;
  if (!alpha && picture.format() != img::PixelFormat::Bits24) {
    copy = picture;
    copy.ConvertTo24();
    source = &copy;
  }
  const int width = picture.width(), height = picture.height();
  heif_image* made = nullptr;
  Check(heif_image_create(width, height, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &made));
  Image image(made);
  Check(heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, 8));
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
  const int bytes = alpha ? 4 : 3;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = source->ScanLine(y);
    std::uint8_t* out = plane + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x, in += bytes, out += bytes) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      if (alpha) out[3] = in[3];
    }
  }
  return image;
}

heif_error AppendBytes(heif_context*, const void* data, std::size_t size, void* into) {
  auto& bytes = *static_cast<std::vector<std::uint8_t>*>(into);
  const auto* p = static_cast<const std::uint8_t*>(data);
  bytes.insert(bytes.end(), p, p + size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

// libheif's RGB copy, its 4:2:0 planes and aom's own frames: a 16.7 MP
// photo peaked at 430 MB written to AVIF against 163 MB to PNG.
constexpr WriterNeed kAvifNeed{.workPicture = true, .encodedHalf = true, .copyBytesPerPixel = 16, .colourOnly = true};
constexpr PictureFormat kAvif{"avif", ".avif", IsAvif, LoadAvifFile, WriteAvifFile, HeifFacts, nullptr,
                             kAvifNeed, AlphaKept::Any, true};
constexpr PictureFormat kHeic{"heic", ".heic", IsHeif, LoadHeifFile, nullptr, HeifFacts, nullptr, {}, AlphaKept::None, false};
constexpr PictureFormat kHeif{"heif", ".heif", IsHeif, LoadHeifFile, nullptr, HeifFacts, nullptr, {}, AlphaKept::None, false};

}  // namespace

std::span<const PictureFormat> HeifFormats() {
  // Only what the libheif at hand was built with its codecs for.
  static const std::vector<PictureFormat> formats = [] {
    InitOnce();
    std::vector<PictureFormat> f;
    if (heif_have_decoder_for_format(heif_compression_AV1)) {
      f.push_back(kAvif);
      if (!heif_have_encoder_for_format(heif_compression_AV1)) f.back().write = nullptr;
    }
    if (heif_have_decoder_for_format(heif_compression_HEVC)) f.insert(f.end(), {kHeic, kHeif});
    return f;
  }();
  return formats;
}

bool IsHeif(PictureHead head) {
  return BrandIs(head, {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs", "mif1", "msf1"});
}

bool IsAvif(PictureHead head) { return BrandIs(head, {"avif", "avis", "mif1", "msf1"}); }

int DecodeHeif(std::span<const std::uint8_t> file, img::Bitmap& out, PictureMetadata* metadata, int page) {
  const Opened o = Open(file);
  const int pictures = std::max(heif_context_get_number_of_top_level_images(o.context.get()), 1);
  CheckPageHeld(page, pictures, "picture");
  if (page > 0) throw img::ImageError(img::ErrorCode::Unsupported, "HEIF: only the primary picture is read");
  const heif_image_handle* h = o.primary.get();
  CheckSizes(h);
  const bool alpha = heif_image_handle_has_alpha_channel(h) != 0;
  std::unique_ptr<heif_decoding_options, DecodingFree> options(heif_decoding_options_alloc());
  options->convert_hdr_to_8bit = 1;
  heif_image* decoded = nullptr;
  Check(heif_decode_image(h, &decoded, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
  const Image image(decoded);
  const int width = heif_image_get_width(decoded, heif_channel_interleaved);
  const int height = heif_image_get_height(decoded, heif_channel_interleaved);
  // The size the header told, by which targets may have been named.
  if (width != heif_image_handle_get_width(h) || height != heif_image_handle_get_height(h))
    throw img::ImageError(img::ErrorCode::Format, "HEIF: the picture decodes to " + SizeText(width, height) +
                                                      " where it declares " +
                                                      SizeText(heif_image_handle_get_width(h), heif_image_handle_get_height(h)));
  img::CheckPictureSize(width, height);
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
  if (!plane || heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved) != 8)
    throw img::ImageError(img::ErrorCode::Unsupported, "HEIF: the picture cannot be had in 8-bit RGB");
  const bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(h) != 0;
  img::Bitmap picture =
      img::Bitmap::Unfilled(width, height, alpha ? img::PixelFormat::Bits32Alpha : img::PixelFormat::Bits24);
  const int bytes = alpha ? 4 : 3;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = plane + static_cast<std::ptrdiff_t>(y) * stride;
    std::uint8_t* line = picture.ScanLine(y);
    std::uint8_t* p = line;
    for (int x = 0; x < width; ++x, in += bytes, p += bytes) {
      p[0] = in[2];
      p[1] = in[1];
      p[2] = in[0];
      if (alpha) p[3] = in[3];
    }
    if (premultiplied) img::UnpremultiplyRow(line, width);
  }
  if (metadata) ReadMetadata(h, *metadata);
  std::swap(out, picture);
  return pictures;
}

std::vector<std::uint8_t> EncodeAvif(const img::Bitmap& picture, int quality, const PictureMetadata* carried) {
  if (picture.empty()) throw img::ImageError(img::ErrorCode::InvalidArgument, "AVIF: a picture without pixels");
  InitOnce();
  auto fail = [](const heif_error& e) {
    if (e.code == heif_error_Memory_allocation_error) Fail(e);
    throw img::ImageError(img::ErrorCode::Internal, std::string("AVIF: ") + (e.message ? e.message : "cannot be encoded"));
  };
  Context context(heif_context_alloc());
  if (!context) throw img::ImageError(img::ErrorCode::OutOfMemory, "AVIF: no memory for the file");
  heif_encoder* made = nullptr;
  if (heif_error e = heif_context_get_encoder_for_format(context.get(), heif_compression_AV1, &made); e.code)
    fail(e);
  std::unique_ptr<heif_encoder, EncoderFree> encoder(made);
  heif_encoder_set_lossy_quality(encoder.get(), std::clamp(quality, 1, 100));
  Image image = InterleavedOf(picture);
  std::unique_ptr<heif_encoding_options, EncodingFree> options(heif_encoding_options_alloc());
  if (carried) {
    if (IccProfileFits(carried->icc, false))
      heif_image_set_raw_color_profile(image.get(), "prof", carried->icc.data(), carried->icc.size());
    // Pixels kept as stored keep the turn they are to be seen with.
    const int orientation = ReadExifOrientation(carried->exif);
    if (orientation >= 2) options->image_orientation = static_cast<heif_orientation>(orientation);
  }
  heif_image_handle* written = nullptr;
  if (heif_error e = heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(), &written);
      e.code)
    fail(e);
  const Handle handle(written);
  if (carried && !carried->exif.empty())
    if (heif_error e = heif_context_add_exif_metadata(context.get(), handle.get(), carried->exif.data(),
                                                      static_cast<int>(carried->exif.size()));
        e.code)
      fail(e);
  if (carried && !carried->xmp.empty())
    if (heif_error e = heif_context_add_XMP_metadata(context.get(), handle.get(), carried->xmp.data(),
                                                     static_cast<int>(carried->xmp.size()));
        e.code)
      fail(e);
  std::vector<std::uint8_t> bytes;
  heif_writer writer{1, AppendBytes};
  if (heif_error e = heif_context_write(context.get(), &writer, &bytes); e.code) fail(e);
  return bytes;
}

}  // namespace engine

#include "engine/formats/raw/RawImage.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "engine/formats/PictureFormats.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/raw/RawCfaCheck.h"
#include "engine/formats/raw/RawExif.h"
#include "engine/formats/raw/RawStreams.h"
#include "engine/formats/tiff/TiffImage.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

namespace engine {

namespace {

// Bytes a decoder may ask for past the file's end at the close of whole
// data (a bit reader's look-ahead, a block reader's last block); more, and
// the data were cut short. LibRaw itself stops at the end of uncompressed
// data; several of its decoders of compressed data take what is missing
// for zeros.
constexpr std::uint64_t kReadAhead = 64 * 1024;

// The buffer each thread of LibRaw's AHD demosaic holds (26 bytes a pixel
// of a 512 x 512 tile).
constexpr std::uint64_t kDemosaicTileBytes = 26ull * 512 * 512;

[[noreturn]] void Fail(int code) {
  img::ErrorCode e = img::ErrorCode::Format;
  if (code == LIBRAW_IO_ERROR) e = img::ErrorCode::Truncated;  // what LibRaw says of data running past the end
  else if (code == LIBRAW_UNSUFFICIENT_MEMORY) e = img::ErrorCode::OutOfMemory;
  else if (code == LIBRAW_TOO_BIG || code == LIBRAW_MEMPOOL_OVERFLOW) e = img::ErrorCode::TooLarge;
  else if (code == LIBRAW_FILE_UNSUPPORTED || code == LIBRAW_NOT_IMPLEMENTED) e = img::ErrorCode::Unsupported;
  throw img::ImageError(e, std::string("RAW: ") + libraw_strerror(code));
}

void Check(int code) {
  if (code != LIBRAW_SUCCESS) Fail(code);
}

std::string SizeText(long long width, long long height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// A file opened by LibRaw (its fields read, nothing decoded), with the
// turn it is to be seen with taken out of LibRaw's hands: the pixels come
// as stored, and the orientation goes with the EXIF data, as every
// format's does.
struct Opened {
  std::unique_ptr<LibRaw> raw;
  int orientation = 1;
  PictureSize developed;  // the developed picture's size, as stored
  int colours = 3;
};

Opened Open(LibRaw_abstract_datastream& stream) {
  Opened o;
  o.raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
  LibRaw& raw = *o.raw;
  libraw_output_params_t& params = raw.imgdata.params;
  params.use_camera_wb = 1;
  params.output_color = 1;  // sRGB
  params.output_bps = 8;
  params.gamm[0] = 1 / 2.4;  // sRGB's own curve, not dcraw's BT.709 one
  params.gamm[1] = 12.92;
  params.user_flip = 0;
  // LibRaw's own bound on the raw data: a picture at the pixel limit in
  // four 16-bit samples a pixel.
  params.max_raw_memory_mb = static_cast<unsigned>(std::max(1LL, img::PixelLimit() * 8 >> 20));
  if (HasMisshapenCfaPattern(stream))
    throw img::ImageError(img::ErrorCode::Format, "RAW: a CFA pattern of 36 colours without a 6 x 6 repeat");
  if (stream.seek(0, SEEK_SET) != 0) Fail(LIBRAW_IO_ERROR);
  Check(raw.open_datastream(&stream));
  libraw_image_sizes_t& sizes = raw.imgdata.sizes;
  o.orientation = ExifOrientationOfFlip(sizes.flip);
  sizes.flip = 0;
  img::CheckPictureSize(sizes.raw_width, sizes.raw_height);
  int width = 0, height = 0, colours = 0, bits = 0;
  // Before processing: the size it will develop to (a pixel aspect
  // stretched, a rotated Fuji sensor turned back).
  raw.get_mem_image_format(&width, &height, &colours, &bits);
  img::CheckPictureSize(width, height);
  o.developed = {width, height};
  o.colours = colours == 1 ? 1 : 3;
  return o;
}

std::string FieldText(const char* field, std::size_t size) {
  std::string text(field, strnlen(field, size));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  return FieldText(field, N);
}

std::vector<std::uint8_t> ExifOf(const Opened& o) {
  const libraw_data_t& d = o.raw->imgdata;
  RawShot shot;
  shot.make = FieldText(d.idata.make);
  shot.model = FieldText(d.idata.model);
  shot.lens = FieldText(d.lens.Lens);
  if (shot.lens.empty()) shot.lens = FieldText(d.lens.makernotes.Lens);
  shot.lensMake = FieldText(d.lens.LensMake);
  shot.taken = d.other.timestamp;
  shot.exposure = d.other.shutter;
  shot.aperture = d.other.aperture;
  shot.iso = d.other.iso_speed;
  shot.focalLength = d.other.focal_len;
  shot.orientation = o.orientation;
  return RawExif(shot);
}

// The embedded JPEG preview into out when it decodes and reaches the size
// wanted; false leaves out as it was.
bool TakePreview(const Opened& o, const PictureCodecs::PreviewWanted& wanted, img::Bitmap& out) {
  LibRaw& raw = *o.raw;
  if (raw.unpack_thumb() != LIBRAW_SUCCESS) return false;
  const libraw_thumbnail_t& thumb = raw.imgdata.thumbnail;
  if (thumb.tformat != LIBRAW_THUMBNAIL_JPEG || !thumb.thumb || thumb.tlength == 0) return false;
  const PictureSize want = wanted(o.developed, o.orientation);
  img::Bitmap preview;
  try {
    JpegImage jpeg;
    jpeg.LoadFromMemory({reinterpret_cast<const std::uint8_t*>(thumb.thumb), thumb.tlength}, preview);
  } catch (const img::ImageError&) {
    return false;  // a broken preview: the sensor data are developed instead
  }
  if (preview.width() < want.width || preview.height() < want.height) return false;
  std::swap(out, preview);
  return true;
}

void Develop(const Opened& o, const RawBufferStream& stream, img::Bitmap& out) {
  LibRaw& raw = *o.raw;
  const std::uint64_t missed = stream.MissedBytes();
  Check(raw.unpack());
  // Most decoders take what a cut file lacks as zeros without a word.
  if (stream.MissedBytes() - missed > kReadAhead)
    throw img::ImageError(img::ErrorCode::Truncated, "RAW: the file ends before its sensor data do");
  Check(raw.dcraw_process());
  int width = 0, height = 0, colours = 0, bits = 0;
  raw.get_mem_image_format(&width, &height, &colours, &bits);
  // The size the header told, by which targets may have been named.
  if (width != o.developed.width || height != o.developed.height)
    throw img::ImageError(img::ErrorCode::Format, "RAW: the picture develops to " + SizeText(width, height) +
                                                      " where its header says " +
                                                      SizeText(o.developed.width, o.developed.height));
  if (bits != 8 || (colours != 1 && colours != 3))
    throw img::ImageError(img::ErrorCode::Unsupported,
                          "RAW: the picture develops to " + std::to_string(colours) + " colours");
  img::Bitmap picture =
      img::Bitmap::Unfilled(width, height, colours == 1 ? img::PixelFormat::Bits8 : img::PixelFormat::Bits24);
  if (colours == 1) {
    picture.palette().resize(256);
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<std::uint8_t>(i);
      picture.palette()[static_cast<std::size_t>(i)] = {v, v, v, 0};
    }
  }
  // Straight into the picture's rows, blue first.
  Check(raw.copy_mem_image(picture.ScanLine(0), static_cast<int>(picture.stride()), 1));
  std::swap(out, picture);
}

PictureSize LoadRaw(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  const PictureCodecs::PreviewWanted& previews = codecs.Previews();
  return DecodeRaw(img::ReadWholeFile(path), picture, codecs.MetadataPlace(), previews ? &previews : nullptr);
}

bool HasAt(PictureHead head, std::size_t at, const char* mark) {
  const std::size_t n = std::strlen(mark);
  return head.size() >= at + n && std::memcmp(head.data() + at, mark, n) == 0;
}

constexpr PictureFormat Entry(const char* name, const char* extension, bool (*isA)(PictureHead)) {
  return {name, extension, isA, LoadRaw, nullptr, RawFacts, nullptr, {}, AlphaKept::None, false};
}

constexpr PictureFormat kRaw[] = {
    Entry("dng", ".dng", IsTiff), Entry("cr2", ".cr2", IsTiff), Entry("cr3", ".cr3", IsCr3),
    Entry("nef", ".nef", IsTiff), Entry("arw", ".arw", IsTiff), Entry("raf", ".raf", IsRaf),
    Entry("orf", ".orf", IsOrf),  Entry("rw2", ".rw2", IsRw2),  Entry("pef", ".pef", IsTiff),
    Entry("srw", ".srw", IsTiff),
};

}  // namespace

std::span<const PictureFormat> RawFormats() { return kRaw; }

bool IsCr3(PictureHead head) { return HasAt(head, 4, "ftypcrx "); }
bool IsRaf(PictureHead head) { return HasAt(head, 0, "FUJIFILM"); }
bool IsOrf(PictureHead head) { return HasAt(head, 0, "IIRO") || HasAt(head, 0, "IIRS") || HasAt(head, 0, "MMOR"); }
bool IsRw2(PictureHead head) { return head.size() >= 4 && HasAt(head, 0, "IIU") && head[3] == 0; }

PictureSize DecodeRaw(std::span<const std::uint8_t> file, img::Bitmap& out, PictureMetadata* metadata,
                      const PictureCodecs::PreviewWanted* previews) {
  RawBufferStream stream(file);
  const Opened o = Open(stream);
  img::Bitmap picture;
  if (!previews || !*previews || !TakePreview(o, *previews, picture)) Develop(o, stream, picture);
  if (metadata) metadata->exif = ExifOf(o);
  std::swap(out, picture);
  return o.developed;
}

HeaderFacts RawFacts(PictureHead, const std::filesystem::path& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(img::OpenSourceFile(path), &std::fclose);
  if (!file) return {};
  HeaderFacts facts;
  try {
    RawFileStream stream(file.get());
    const Opened o = Open(stream);
    const libraw_image_sizes_t& sizes = o.raw->imgdata.sizes;
    facts.width = o.developed.width;
    facts.height = o.developed.height;
    facts.decoded = facts.worked = o.colours;
    // The raw data (a sample a pixel from a mosaic, up to four otherwise),
    // LibRaw's picture of four 16-bit samples a pixel (again at the
    // developed size when it is stretched), and its demosaic's tiles.
    const bool mosaic = o.raw->imgdata.idata.filters != 0 || o.raw->imgdata.idata.colors == 1;
    const std::uint64_t sensor = std::uint64_t{sizes.width} * sizes.height;
    const std::uint64_t developed = static_cast<std::uint64_t>(facts.width) * static_cast<std::uint64_t>(facts.height);
    facts.decoder = std::uint64_t{sizes.raw_width} * sizes.raw_height * (mosaic ? 2u : 8u) + sensor * 8u +
                    (developed != sensor ? developed * 8u : 0u) +
                    kDemosaicTileBytes * std::max(1u, std::thread::hardware_concurrency());
    facts.orientation = o.orientation;
    facts.oriented = o.orientation >= 2;
  } catch (const img::ImageError&) {
    return {};
  }
  return facts;
}

}  // namespace engine

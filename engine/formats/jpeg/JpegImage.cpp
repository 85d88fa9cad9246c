#include "engine/formats/jpeg/JpegImage.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include <jerror.h>

#include "engine/colour/KeptSrgbTransform.h"
#include "engine/metadata/IccColourSpace.h"
#include "engine/formats/jpeg/JpegErrorManager.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

// Every function below that calls setjmp keeps only trivially destructible
// locals: a longjmp out of libjpeg must not skip a destructor.

namespace engine {

namespace {

// A progressive file may hold any number of scans, each a full pass over the
// coefficients; a hostile one with millions of tiny scans would run for hours.
constexpr int kMaxScans = 1000;

constexpr std::size_t kFirstOutputSize = 1 << 16;

// An APP1 marker holding EXIF starts with this name; the TIFF data follow.
constexpr std::uint8_t kExifName[6] = {'E', 'x', 'i', 'f', 0, 0};
// An APP1 marker holding the XMP packet starts with this name and its zero.
constexpr char kXmpName[] = "http://ns.adobe.com/xap/1.0/";
constexpr std::size_t kXmpNameBytes = sizeof kXmpName;
constexpr unsigned kMaxMarkerData = 65533;
// libjpeg numbers the APP2 markers of a profile in one byte, each holding
// the rest of the 65533 bytes after its 14-byte name and numbers.
constexpr std::size_t kMaxIccBytes = 255 * (kMaxMarkerData - 14);

[[noreturn]] void JumpWith(JpegErrorManager& manager, img::ErrorCode code, const char* text) {
  manager.Fail(code, text);
  std::longjmp(manager.jump, 1);
}

void LimitScans(j_common_ptr cinfo) {
  auto* in = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (in->input_scan_number > kMaxScans)
    JumpWith(*reinterpret_cast<JpegErrorManager*>(cinfo->err), img::ErrorCode::Format,
             "too many scans");
}

bool IsCmyk(J_COLOR_SPACE space) { return space == JCS_CMYK || space == JCS_YCCK; }

// Adobe CMYK files store inverted inks, so each channel times black is the
// colour's intensity; rounded as libjpeg's own djpeg does. For files
// without a profile to convert them through.
void CmykRowToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const unsigned k = cmyk[3];
    bgr[0] = static_cast<std::uint8_t>((cmyk[2] * k + 127) / 255);
    bgr[1] = static_cast<std::uint8_t>((cmyk[1] * k + 127) / 255);
    bgr[2] = static_cast<std::uint8_t>((cmyk[0] * k + 127) / 255);
  }
}

std::vector<img::PaletteEntry> GreyPalette() {
  std::vector<img::PaletteEntry> palette(256);
  for (int i = 0; i < 256; ++i) {
    auto v = static_cast<std::uint8_t>(i);
    palette[i] = {v, v, v, 0};
  }
  return palette;
}

// Everything the codec keeps from one picture to the next.
struct CodecState {
  jpeg_decompress_struct in{};
  JpegErrorManager in_error;
  jpeg_progress_mgr in_progress{};
  jpeg_compress_struct out{};
  JpegErrorManager out_error;
  jpeg_destination_mgr destination{};
  bool created_in = false, created_out = false;

  std::vector<JSAMPROW> rows;          // row pointers of the picture being coded
  std::vector<std::uint8_t> cmyk_row;  // one decoded CMYK row
  KeptSrgbTransform cmyk_profiles;     // the last CMYK profile's transform to sRGB
  const SrgbTransform* cmyk_profile = nullptr;  // the picture's; nullptr: the formula
  img::Bitmap spare;                   // decode target, kept to be reused
  bool keep_damaged = false;           // a damaged file gives what decodes
  std::string damage;                  // what the last such file lost; empty when whole
  img::Bitmap converted;               // a picture in a form libjpeg does not take, converted
  bool grey_input = false;             // the picture being coded is grey: one component
  img::UnfilledBytes encoded;          // grows to the largest file written so far
  const std::vector<img::PaletteEntry> grey_palette = GreyPalette();

  CodecState();
  ~CodecState() {
    if (created_in) jpeg_destroy_decompress(&in);
    if (created_out) jpeg_destroy_compress(&out);
  }
};

using Codec = CodecState;

bool CreateStructs(Codec& c) {
  c.in_error.Attach(reinterpret_cast<j_common_ptr>(&c.in));
  c.out_error.Attach(reinterpret_cast<j_common_ptr>(&c.out));
  if (setjmp(c.in_error.jump)) return false;
  jpeg_create_decompress(&c.in);
  c.created_in = true;
  if (setjmp(c.out_error.jump)) return false;
  jpeg_create_compress(&c.out);
  c.created_out = true;
  return true;
}

// --- decoding ---------------------------------------------------------------

// The decompress object is made anew for every file: libjpeg keeps Huffman and
// quantisation tables across images (for abbreviated streams), so a file that
// lacks its own tables (Motion-JPEG frames) would decode with the previous
// file's tables.
bool ReadHeader(Codec& c, const std::uint8_t* data, std::size_t size, int scale_denom,
                bool keep_markers) {
  jpeg_decompress_struct& in = c.in;
  c.in_error.toleratesEnd = false;  // a header that ends early is always a failure
  c.in_error.dataEnded = false;
  c.in_error.keepsDamage = false;
  c.in_error.damaged = false;
  if (setjmp(c.in_error.jump)) return false;
  if (c.created_in) {
    c.created_in = false;
    jpeg_destroy_decompress(&in);
  }
  jpeg_create_decompress(&in);
  c.created_in = true;
  jpeg_mem_src(&in, data, static_cast<unsigned long>(size));
  // The profile always: a CMYK picture is converted through it.
  jpeg_save_markers(&in, JPEG_APP0 + 2, 0xFFFF);
  if (keep_markers) {
    jpeg_save_markers(&in, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&in, JPEG_COM, 0xFFFF);
  }
  jpeg_read_header(&in, TRUE);
  if (in.jpeg_color_space == JCS_GRAYSCALE)
    in.out_color_space = JCS_GRAYSCALE;
  else if (IsCmyk(in.jpeg_color_space))
    in.out_color_space = JCS_CMYK;
  else
    in.out_color_space = JCS_EXT_BGR;
  in.scale_num = 1;
  in.scale_denom = static_cast<unsigned>(scale_denom);
  in.progress = in.progressive_mode ? &c.in_progress : nullptr;
  jpeg_calc_output_dimensions(&in);
  return true;
}

// The data ended without an end marker, and no scan ran short (that fails on
// its own): the picture is whole unless a scan is missing altogether. A
// progressive file must have refined every coefficient of every component to
// its last bit; a sequential file of several scans cannot tell, so it fails.
bool NoScanMissing(jpeg_decompress_struct& in) {
  if (!in.progressive_mode) return !jpeg_has_multiple_scans(&in);
  for (int ci = 0; ci < in.num_components; ++ci)
    for (int k = 0; k < DCTSIZE2; ++k)
      if (in.coef_bits[ci][k] != 0) return false;
  return true;
}

bool ReadPixels(Codec& c, img::Bitmap& picture) {
  jpeg_decompress_struct& in = c.in;
  if (setjmp(c.in_error.jump)) return false;
  // Many files lack only their final end marker; every viewer shows them.
  c.in_error.toleratesEnd = true;
  c.in_error.keepsDamage = c.keep_damaged;
  jpeg_start_decompress(&in);
  if (static_cast<int>(in.output_width) != picture.width() ||
      static_cast<int>(in.output_height) != picture.height())
    JumpWith(c.in_error, img::ErrorCode::Format, "output size changed while decoding");
  if (in.out_color_space == JCS_CMYK) {
    JSAMPROW row = c.cmyk_row.data();
    while (in.output_scanline < in.output_height) {
      const int y = static_cast<int>(in.output_scanline);
      if (jpeg_read_scanlines(&in, &row, 1) != 1)
        JumpWith(c.in_error, img::ErrorCode::Truncated, "no more rows");
      if (c.cmyk_profile)
        c.cmyk_profile->Convert(row, picture.ScanLine(y), picture.width());
      else
        CmykRowToBgr(row, picture.ScanLine(y), picture.width());
    }
  } else {
    while (in.output_scanline < in.output_height) {
      const JDIMENSION y = in.output_scanline;
      if (jpeg_read_scanlines(&in, c.rows.data() + y, in.output_height - y) == 0)
        JumpWith(c.in_error, img::ErrorCode::Truncated, "no more rows");
    }
  }
  // The manager holds the premature end as the reason.
  if (c.in_error.dataEnded && !NoScanMissing(in)) c.in_error.damaged = true;
  return !c.in_error.damaged || c.keep_damaged;
}

// After a failure part way through the rows, with damage kept: the rows
// not decoded are grey, as libjpeg makes up the data it lacks. False when
// no row was decoded, or nothing is kept.
bool KeepRowsRead(Codec& c, img::Bitmap& picture) {
  const int rows = static_cast<int>(c.in.output_scanline);
  if (!c.keep_damaged || rows <= 0 || rows > picture.height()) return false;
  const std::size_t used = static_cast<std::size_t>(picture.width()) * (picture.format() == img::PixelFormat::Bits8 ? 1 : 3);
  for (int y = rows; y < picture.height(); ++y) std::memset(picture.ScanLine(y), 128, used);
  c.in_error.damaged = true;
  return true;
}

// The ICC profile of the saved APP2 markers, in a block of malloc's that
// the caller frees; nullptr when they hold no whole profile.
JOCTET* ReadIccProfile(Codec& c, unsigned& length) {
  if (setjmp(c.in_error.jump)) return nullptr;
  JOCTET* profile = nullptr;
  if (!jpeg_read_icc_profile(&c.in, &profile, &length)) return nullptr;
  return profile;
}

// The data of a saved marker after its name, when it is of that kind and
// carries that name; the first such marker wins.
bool TakeNamed(const jpeg_marker_struct& m, int marker, const void* name, std::size_t name_bytes,
               std::vector<std::uint8_t>& into) {
  if (!into.empty() || m.marker != marker || m.data_length <= name_bytes ||
      std::memcmp(m.data, name, name_bytes) != 0)
    return false;
  into.assign(m.data + name_bytes, m.data + m.data_length);
  return true;
}

// The ICC profile of the saved APP2 markers; empty when they hold no whole one.
std::vector<std::uint8_t> IccProfile(Codec& c) {
  unsigned length = 0;
  std::unique_ptr<JOCTET, decltype(&std::free)> profile(ReadIccProfile(c, length), &std::free);
  if (!profile) return {};
  return std::vector<std::uint8_t>(profile.get(), profile.get() + length);
}

void CopyMetadata(Codec& c, std::vector<std::uint8_t> icc, PictureMetadata& metadata) {
  metadata.clear();
  for (jpeg_saved_marker_ptr m = c.in.marker_list; m; m = m->next) {
    if (TakeNamed(*m, JPEG_APP0 + 1, kExifName, sizeof kExifName, metadata.exif)) continue;
    if (TakeNamed(*m, JPEG_APP0 + 1, kXmpName, kXmpNameBytes, metadata.xmp)) continue;
    if (m->marker == JPEG_COM && metadata.comment.empty())
      metadata.comment.assign(m->data, m->data + m->data_length);
  }
  metadata.icc = std::move(icc);
}

// Padding bytes after the pixels of each row set to zero, so a reused buffer
// gives the same bytes as a new one.
void ClearPadding(img::Bitmap& picture, std::size_t used) {
  const std::size_t pad = picture.stride() - used;
  if (pad == 0) return;
  for (int y = 0; y < picture.height(); ++y) std::memset(picture.ScanLine(y) + used, 0, pad);
}

// --- encoding ---------------------------------------------------------------

bool GrowOutput(Codec& c, std::size_t size) {
  try {
    if (c.encoded.size() < size) c.encoded.resize(size);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void InitDestination(j_compress_ptr cinfo) {
  Codec& c = *static_cast<Codec*>(cinfo->client_data);
  if (!GrowOutput(c, kFirstOutputSize))
    JumpWith(c.out_error, img::ErrorCode::TooLarge, "out of memory");
  c.destination.next_output_byte = c.encoded.data();
  c.destination.free_in_buffer = c.encoded.size();
}

// Called when the whole buffer is full: double it and go on after the old end.
boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  Codec& c = *static_cast<Codec*>(cinfo->client_data);
  const std::size_t used = c.encoded.size();
  if (!GrowOutput(c, used * 2)) JumpWith(c.out_error, img::ErrorCode::TooLarge, "out of memory");
  c.destination.next_output_byte = c.encoded.data() + used;
  c.destination.free_in_buffer = c.encoded.size() - used;
  return TRUE;
}

void TermDestination(j_compress_ptr) {}

// Whether each part fits its markers; the parts that do not are left out.
bool ExifFits(const PictureMetadata& m) { return m.exif.size() <= kMaxMarkerData - sizeof kExifName; }
bool XmpFits(const PictureMetadata& m) { return m.xmp.size() <= kMaxMarkerData - kXmpNameBytes; }
bool IccFits(const PictureMetadata& m) { return m.icc.size() <= kMaxIccBytes; }
bool CommentFits(const PictureMetadata& m) { return m.comment.size() <= kMaxMarkerData; }

void WriteMarker(jpeg_compress_struct& out, int marker, const void* name, std::size_t name_bytes,
                 const std::vector<std::uint8_t>& data) {
  jpeg_write_m_header(&out, marker, static_cast<unsigned>(name_bytes + data.size()));
  for (std::size_t i = 0; i < name_bytes; ++i) jpeg_write_m_byte(&out, static_cast<const std::uint8_t*>(name)[i]);
  for (std::uint8_t b : data) jpeg_write_m_byte(&out, b);
}

// After the JFIF marker, in the order cameras and editors write them: EXIF,
// XMP, the ICC profile, the comment.
// grey: the picture is coded as one grey component, so only a grey profile
// describes it.
void WriteMetadata(jpeg_compress_struct& out, const PictureMetadata& m, bool grey) {
  if (!m.exif.empty() && ExifFits(m)) WriteMarker(out, JPEG_APP0 + 1, kExifName, sizeof kExifName, m.exif);
  if (!m.xmp.empty() && XmpFits(m)) WriteMarker(out, JPEG_APP0 + 1, kXmpName, kXmpNameBytes, m.xmp);
  if (IccProfileFits(m.icc, grey) && IccFits(m))
    jpeg_write_icc_profile(&out, m.icc.data(), static_cast<unsigned>(m.icc.size()));
  if (!m.comment.empty() && CommentFits(m)) WriteMarker(out, JPEG_COM, nullptr, 0, m.comment);
}

// Luma sampling factors, across and down, against chroma's 1 x 1.
void SetSampling(jpeg_compress_struct& out, ChromaSampling sampling) {
  jpeg_component_info& luma = out.comp_info[0];
  luma.h_samp_factor = sampling == ChromaSampling::Yuv444 ? 1 : 2;
  luma.v_samp_factor = sampling == ChromaSampling::Yuv420 ? 2 : 1;
}

bool Compress(Codec& c, int width, int height, int quality, const JpegCoding& coding,
              const PictureMetadata* metadata) {
  jpeg_compress_struct& out = c.out;
  if (setjmp(c.out_error.jump)) return false;
  out.client_data = &c;
  out.dest = &c.destination;
  out.image_width = static_cast<JDIMENSION>(width);
  out.image_height = static_cast<JDIMENSION>(height);
  out.input_components = c.grey_input ? 1 : 3;
  out.in_color_space = c.grey_input ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&out);
  jpeg_set_quality(&out, quality, TRUE);
  if (!c.grey_input) SetSampling(out, coding.sampling);
  if (coding.optimize) out.optimize_coding = TRUE;
  if (coding.progressive) jpeg_simple_progression(&out);
  jpeg_start_compress(&out, TRUE);
  if (metadata) WriteMetadata(out, *metadata, c.grey_input);
  while (out.next_scanline < out.image_height) {
    const JDIMENSION y = out.next_scanline;
    jpeg_write_scanlines(&out, c.rows.data() + y, out.image_height - y);
  }
  jpeg_finish_compress(&out);
  return true;
}

CodecState::CodecState() {
  destination.init_destination = InitDestination;
  destination.empty_output_buffer = EmptyOutputBuffer;
  destination.term_destination = TermDestination;
  in_progress.progress_monitor = LimitScans;
}

}  // namespace

struct JpegImage::Codec : CodecState {};

JpegImage::JpegImage() : codec_(std::make_unique<Codec>()) {
  if (!CreateStructs(*codec_)) codec_->in_error.Throw();
}

JpegImage::~JpegImage() = default;

void JpegImage::SetQuality(int quality) { quality_ = std::clamp(quality, 1, 100); }

void JpegImage::Load(const std::filesystem::path& path, img::Bitmap& out, int scale_denom,
                     PictureMetadata* metadata) {
  const std::vector<std::uint8_t> data = img::ReadWholeFile(path);
  LoadFromMemory(data, out, scale_denom, metadata);
}

void JpegImage::LoadFromMemory(std::span<const std::uint8_t> data, img::Bitmap& out,
                               int scale_denom, PictureMetadata* metadata) {
  if (scale_denom != 1 && scale_denom != 2 && scale_denom != 4 && scale_denom != 8)
    throw img::ImageError(img::ErrorCode::InvalidArgument, "JPEG scale must be 1/1, 1/2, 1/4 or 1/8");
  if (data.empty()) throw img::ImageError(img::ErrorCode::Truncated, "JPEG: empty file");
  Codec& c = *codec_;
  cmyk_by_formula_ = false;
  // Frees the picture's decoder memory, whatever happened.
  struct AbortOnExit {
    Codec& c;
    ~AbortOnExit() {
      if (c.created_in) jpeg_abort_decompress(&c.in);
    }
  } abort_on_exit{c};

  if (!ReadHeader(c, data.data(), data.size(), scale_denom, metadata != nullptr)) c.in_error.Throw();
  img::CheckPictureSize(c.in.image_width, c.in.image_height);

  const int width = static_cast<int>(c.in.output_width);
  const int height = static_cast<int>(c.in.output_height);
  const bool grey = c.in.out_color_space == JCS_GRAYSCALE;
  const img::PixelFormat format = grey ? img::PixelFormat::Bits8 : img::PixelFormat::Bits24;
  if (c.spare.width() != width || c.spare.height() != height || c.spare.format() != format) {
    c.spare.Clear();
    c.spare = img::Bitmap::Unfilled(width, height, format);
  }
  if (grey)
    c.spare.palette() = c.grey_palette;
  else
    c.spare.palette().clear();
  c.rows.resize(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) c.rows[y] = c.spare.ScanLine(y);
  const bool cmyk = c.in.out_color_space == JCS_CMYK;
  std::vector<std::uint8_t> icc;
  if (metadata || cmyk) icc = IccProfile(c);
  c.cmyk_profile = cmyk ? &c.cmyk_profiles.For(icc, ProfiledPixels::InvertedCmyk) : nullptr;
  if (c.cmyk_profile && !*c.cmyk_profile) c.cmyk_profile = nullptr;
  cmyk_by_formula_ = cmyk && !c.cmyk_profile;
  if (cmyk) c.cmyk_row.resize(static_cast<std::size_t>(width) * 4);

  c.damage.clear();
  if (!ReadPixels(c, c.spare) && !KeepRowsRead(c, c.spare)) c.in_error.Throw();
  if (c.in_error.damaged) c.damage = std::string("JPEG: ") + c.in_error.message;
  ClearPadding(c.spare, static_cast<std::size_t>(width) * (grey ? 1 : 3));
  if (metadata) CopyMetadata(c, std::move(icc), *metadata);
  std::swap(out, c.spare);
}

std::pair<int, int> JpegImage::LoadHeader(std::span<const std::uint8_t> data, PictureMetadata* metadata) {
  if (data.empty()) throw img::ImageError(img::ErrorCode::Truncated, "JPEG: empty file");
  Codec& c = *codec_;
  struct AbortOnExit {
    Codec& c;
    ~AbortOnExit() {
      if (c.created_in) jpeg_abort_decompress(&c.in);
    }
  } abort_on_exit{c};
  if (!ReadHeader(c, data.data(), data.size(), 1, metadata != nullptr)) c.in_error.Throw();
  img::CheckPictureSize(c.in.image_width, c.in.image_height);
  if (metadata) CopyMetadata(c, IccProfile(c), *metadata);
  return {static_cast<int>(c.in.image_width), static_cast<int>(c.in.image_height)};
}

void JpegImage::KeepDamaged(bool keep) { codec_->keep_damaged = keep; }

const std::string& JpegImage::Damage() const { return codec_->damage; }

std::pair<int, int> JpegImage::ReadSize(const std::filesystem::path& path) {
  const HeaderFacts facts = JpegFacts({}, path);
  if (facts.width <= 0 || facts.height <= 0)
    throw img::ImageError(img::ErrorCode::Format, "JPEG: no header can be read in " + img::PathToUtf8(path));
  return {static_cast<int>(facts.width), static_cast<int>(facts.height)};
}

std::vector<std::uint8_t> JpegImage::Encode(const img::Bitmap& picture,
                                            const PictureMetadata* metadata) {
  if (picture.empty()) throw img::ImageError(img::ErrorCode::InvalidArgument, "JPEG: empty picture");
  Codec& c = *codec_;
  const img::Bitmap* source = &picture;
  // Grey pictures are coded as grey levels, one component; others as 24 bits.
  c.grey_input = picture.IsGrey();
  if (c.grey_input ? picture.palette() != c.grey_palette : picture.format() != img::PixelFormat::Bits24) {
    c.converted.Assign(picture);
    if (c.grey_input)
      c.converted.ConvertToWorkFormat();  // each index its own level
    else
      c.converted.ConvertTo24();
    source = &c.converted;
  }
  c.rows.resize(static_cast<std::size_t>(source->height()));
  for (int y = 0; y < source->height(); ++y)
    c.rows[y] = const_cast<JSAMPROW>(source->ScanLine(y));  // libjpeg only reads them

  const bool ok = Compress(c, source->width(), source->height(), quality_, coding_, metadata);
  if (!ok) {
    jpeg_abort_compress(&c.out);
    c.out_error.Throw();
  }
  const std::size_t size = c.encoded.size() - c.destination.free_in_buffer;
  return std::vector<std::uint8_t>(c.encoded.begin(), c.encoded.begin() + static_cast<std::ptrdiff_t>(size));
}

std::vector<std::string> JpegImage::LeftOut(const PictureMetadata& metadata) {
  std::vector<std::string> left_out;
  auto check = [&](bool fits, const std::vector<std::uint8_t>& part, const char* what, std::size_t most) {
    if (!fits)
      left_out.push_back(std::string(what) + " (" + std::to_string(part.size()) +
                         " bytes) too large for a JPEG file, which holds at most " + std::to_string(most) +
                         " bytes of it: left out");
  };
  check(ExifFits(metadata), metadata.exif, "EXIF data", kMaxMarkerData - sizeof kExifName);
  check(XmpFits(metadata), metadata.xmp, "XMP packet", kMaxMarkerData - kXmpNameBytes);
  check(IccFits(metadata), metadata.icc, "ICC profile", kMaxIccBytes);
  check(CommentFits(metadata), metadata.comment, "comment", kMaxMarkerData);
  return left_out;
}

std::size_t JpegImage::KeptBytes() const {
  const Codec& c = *codec_;
  return c.spare.PixelBytes() + c.converted.PixelBytes() + c.encoded.capacity();
}

void JpegImage::HandBack() {
  Codec& c = *codec_;
  c.spare.Clear();
  c.converted.Clear();
  c.cmyk_profile = nullptr;
  c.cmyk_profiles.Clear();
  img::UnfilledBytes().swap(c.encoded);
  std::vector<JSAMPROW>().swap(c.rows);
}

void JpegImage::Save(const img::Bitmap& picture, const img::TargetFile& path) {
  const std::vector<std::uint8_t> file = Encode(picture);
  img::WriteFileAtomically(path, file);
}

}  // namespace engine

#include "engine/formats/png/PngImage.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "engine/formats/png/PngStreamWriter.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

// Reading goes through libpng; writing through PngStreamWriter, which deflates
// large pictures on several threads (libpng has no clean way to take
// pre-compressed IDAT data).
//
// libpng reports errors by calling our handler, which longjmps back to the
// setjmp of the phase under way. Every function that calls setjmp keeps only
// trivially destructible locals, so the jump skips no destructor.
//
// Pixels are taken as stored: gAMA, cHRM, sRGB, iCCP and sBIT are not applied.

namespace engine {

namespace {

// Largest ancillary chunk libpng may allocate (text, ICC profiles).
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;

// Largest single block libpng may have: such a chunk or a row of the widest
// picture, with room to spare. libpng 1.6 only warns about a chunk over the
// chunk limit and then allocates its declared length (up to 2 GB) before it
// finds that the file ends; a refused block makes it give the chunk up.
constexpr png_alloc_size_t kMaxBlockBytes = kMaxChunkBytes + (1u << 20);

png_voidp Allocate(png_structp, png_alloc_size_t size) {
  return size <= kMaxBlockBytes ? std::malloc(size) : nullptr;
}

void Release(png_structp, png_voidp block) { std::free(block); }

struct Failure {
  img::ErrorCode code = img::ErrorCode::Format;
  char message[256] = {};

  void Set(img::ErrorCode failure_code, const char* text) {
    code = failure_code;
    std::strncpy(message, text, sizeof message - 1);
    message[sizeof message - 1] = '\0';
  }
  [[noreturn]] void Throw() const { throw img::ImageError(code, std::string("PNG: ") + message); }
};

struct ReadContext {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
  Failure failure;
};

// The handlers keep the first failure recorded (a read function may have set
// a sharper code before calling png_error) and jump back.
[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  auto* failure = static_cast<Failure*>(png_get_error_ptr(png));
  if (failure->message[0] == '\0') failure->Set(failure->code, message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReadFromMemory(png_structp png, png_bytep data, png_size_t length) {
  auto* context = static_cast<ReadContext*>(png_get_io_ptr(png));
  if (context->size - context->position < length) {
    context->failure.Set(img::ErrorCode::Truncated, "file ends early");
    png_error(png, "file ends early");
  }
  std::memcpy(data, context->data + context->position, length);
  context->position += length;
}

struct ReadStructs {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~ReadStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// How the decoded rows reach the picture.
enum class Layout {
  Direct,          // libpng writes the picture's own rows (1/4/8-bit palette, grey, RGB)
  Alpha,           // libpng writes BGRA rows into the picture's own rows
  TwoBitPalette,   // 2-bit indices, unpacked to bytes, packed again into 4-bit rows
};

struct Header {
  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, color_type = 0, interlace = 0;
};

bool ReadInfo(ReadStructs& s, ReadContext& context, Header& header) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_set_read_fn(s.png, &context, ReadFromMemory);
  png_set_user_limits(s.png, img::kMaxSide, img::kMaxSide);
  png_set_chunk_malloc_max(s.png, kMaxChunkBytes);
  png_read_info(s.png, s.info);
  png_get_IHDR(s.png, s.info, &header.width, &header.height, &header.bit_depth,
               &header.color_type, &header.interlace, nullptr, nullptr);
  return true;
}

// True when the file says some pixel is not fully opaque.
bool HasTransparency(png_structp png, png_infop info, int color_type) {
  if (color_type & PNG_COLOR_MASK_ALPHA) return true;
  if (!png_get_valid(png, info, PNG_INFO_tRNS)) return false;
  if (color_type != PNG_COLOR_TYPE_PALETTE) return true;
  png_bytep alpha = nullptr;
  int count = 0;
  png_get_tRNS(png, info, &alpha, &count, nullptr);
  for (int i = 0; i < count; ++i)
    if (alpha[i] != 255) return true;
  return false;
}

void PackNibbles(const std::uint8_t* indices, std::uint8_t* row, int width) {
  for (int x = 0; x + 1 < width; x += 2) row[x / 2] = static_cast<std::uint8_t>(indices[x] << 4 | indices[x + 1]);
  if (width & 1) row[width / 2] = static_cast<std::uint8_t>(indices[width - 1] << 4);
}

// rows: the picture's rows (Direct, Alpha) or the rows of a whole-picture
// buffer (TwoBitPalette, interlaced); row: one buffer row (TwoBitPalette,
// not interlaced).
bool ReadRows(ReadStructs& s, const Header& header, Layout layout, png_bytep* rows,
              png_bytep row, img::Bitmap& picture) {
  png_structp png = s.png;
  if (setjmp(png_jmpbuf(png))) return false;
  switch (layout) {
    case Layout::Direct:
      if (header.color_type == PNG_COLOR_TYPE_GRAY && header.bit_depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
      if (header.color_type == PNG_COLOR_TYPE_RGB) png_set_bgr(png);
      break;
    case Layout::TwoBitPalette:
      png_set_packing(png);
      break;
    case Layout::Alpha:
      // Palette, tRNS and low grey depths to 8-bit channels with alpha.
      png_set_expand(png);
      png_set_gray_to_rgb(png);
      png_set_bgr(png);
      break;
  }
  if (header.bit_depth == 16) png_set_scale_16(png);  // rounded, not just the high byte
  png_set_interlace_handling(png);
  png_read_update_info(png, s.info);

  const int width = static_cast<int>(header.width);
  // The rows must be what they are written into: never past a row's end.
  const std::size_t expected = layout == Layout::TwoBitPalette
                                   ? static_cast<std::size_t>(width)
                                   : (static_cast<std::size_t>(width) * img::BitsPerPixel(picture.format()) + 7) / 8;
  if (png_get_rowbytes(png, s.info) != expected) png_error(png, "unexpected decoded row size");
  if (layout != Layout::TwoBitPalette) {
    png_read_image(png, rows);
  } else if (header.interlace != PNG_INTERLACE_NONE) {
    png_read_image(png, rows);
    for (int y = 0; y < picture.height(); ++y) PackNibbles(rows[y], picture.ScanLine(y), width);
  } else {
    for (int y = 0; y < picture.height(); ++y) {
      png_read_row(png, row, nullptr);
      PackNibbles(row, picture.ScanLine(y), width);
    }
  }
  return true;
}

// The chunks after the image data, up to IEND. A failure there costs only
// what those chunks hold: the pixels are already whole.
void ReadEnd(ReadStructs& s) {
  if (setjmp(png_jmpbuf(s.png))) return;
  png_read_end(s.png, s.info);
}

void CopyMetadata(const ReadStructs& s, PictureMetadata& metadata) {
  metadata.clear();
  png_bytep exif = nullptr;
  png_uint_32 exif_length = 0;
  if (png_get_eXIf_1(s.png, s.info, &exif_length, &exif) && exif)
    metadata.exif.assign(exif, exif + exif_length);
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profile_length = 0;
  if (png_get_iCCP(s.png, s.info, &name, &compression, &profile, &profile_length) && profile)
    metadata.icc.assign(profile, profile + profile_length);
  // The XMP packet and the comment are texts under these keywords; the
  // first of each wins.
  png_textp texts = nullptr;
  const int count = png_get_text(s.png, s.info, &texts, nullptr);
  for (int i = 0; i < count; ++i) {
    const png_text& t = texts[i];
    if (!t.key || !t.text) continue;
    const std::size_t length = t.compression >= PNG_ITXT_COMPRESSION_NONE ? t.itxt_length : t.text_length;
    std::vector<std::uint8_t>* into = nullptr;
    if (std::strcmp(t.key, "XML:com.adobe.xmp") == 0) into = &metadata.xmp;
    else if (std::strcmp(t.key, "Comment") == 0) into = &metadata.comment;
    if (into && into->empty()) into->assign(t.text, t.text + length);
  }
}

// Largest palette index the picture uses (0 for an empty picture).
unsigned MaxIndex(const img::Bitmap& picture) {
  const int bits = img::BitsPerPixel(picture.format());
  const std::size_t used = (static_cast<std::size_t>(picture.width()) * bits + 7) / 8;
  const int pixels_in_last = picture.width() - static_cast<int>((used - 1) * 8 / bits);
  unsigned max = 0;
  for (int y = 0; y < picture.height(); ++y) {
    const std::uint8_t* row = picture.ScanLine(y);
    for (std::size_t i = 0; i < used; ++i) {
      const int count = i + 1 < used ? 8 / bits : pixels_in_last;
      for (int p = 0; p < count; ++p) {
        const unsigned index = (row[i] >> (8 - bits * (p + 1))) & ((1u << bits) - 1);
        max = std::max(max, index);
      }
    }
  }
  return max;
}

// Padding bytes after the pixels of each row set to zero, so a reused buffer
// gives the same bytes as a new one.
void ClearPadding(img::Bitmap& picture, std::size_t used) {
  const std::size_t pad = picture.stride() - used;
  if (pad == 0) return;
  for (int y = 0; y < picture.height(); ++y) std::memset(picture.ScanLine(y) + used, 0, pad);
}

// After a failure part way through the rows of a file that is not
// interlaced (whose rows come whole, one after another), with damage kept:
// the rows libpng finished stay, the others are grey, or clear with alpha
// (index 0 in a palette picture). False when no row was finished, or the
// file is interlaced.
bool KeepRowsRead(png_structp png, const Header& header, img::Bitmap& picture) {
  const png_uint_32 rows = png_get_current_row_number(png);
  if (header.interlace != PNG_INTERLACE_NONE || rows == 0 || rows >= header.height) return false;
  const int bits = img::BitsPerPixel(picture.format());
  const std::size_t used = (static_cast<std::size_t>(picture.width()) * bits + 7) / 8;
  const int fill = picture.IsGrey() || picture.format() == img::PixelFormat::Bits24 ? 128 : 0;
  for (int y = static_cast<int>(rows); y < picture.height(); ++y) std::memset(picture.ScanLine(y), fill, used);
  return true;
}

}  // namespace

struct PngImage::Codec {
  std::vector<png_bytep> rows;
  img::UnfilledBytes buffer;          // rows that need converting after libpng
  img::Bitmap spare;                  // decode target, kept to be reused
  bool keep_damaged = false;          // a damaged file gives what decodes
  std::string damage;                 // what the last such file lost; empty when whole
  int level = kDefaultPngLevel;
  PngFiltering filtering = PngFiltering::None;

  PngStreamWriter Writer(const PictureMetadata* metadata = nullptr) const {
    DeflateSettings settings;
    settings.level = level;
    return PngStreamWriter(settings, metadata, filtering);
  }
};

PngImage::PngImage() : codec_(std::make_unique<Codec>()) {}
PngImage::~PngImage() = default;

void PngImage::Load(const std::filesystem::path& path, img::Bitmap& out, PictureMetadata* metadata) {
  const std::vector<std::uint8_t> data = img::ReadWholeFile(path);
  LoadFromMemory(data, out, metadata);
}

void PngImage::LoadFromMemory(std::span<const std::uint8_t> data, img::Bitmap& out,
                              PictureMetadata* metadata) {
  if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0)
    throw img::ImageError(img::ErrorCode::Format, "PNG: not a PNG file");
  Codec& c = *codec_;
  ReadContext context;
  context.data = data.data();
  context.size = data.size();

  ReadStructs s;
  s.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &context.failure, OnError, OnWarning,
                                   nullptr, Allocate, Release);
  if (s.png) s.info = png_create_info_struct(s.png);
  if (!s.png || !s.info) throw img::ImageError(img::ErrorCode::TooLarge, "PNG: out of memory");

  Header header;
  if (!ReadInfo(s, context, header)) context.failure.Throw();
  img::CheckPictureSize(header.width, header.height);
  const int width = static_cast<int>(header.width);
  const int height = static_cast<int>(header.height);

  const bool palette = header.color_type == PNG_COLOR_TYPE_PALETTE;
  Layout layout = Layout::Direct;
  img::PixelFormat format = img::PixelFormat::Bits24;
  if (HasTransparency(s.png, s.info, header.color_type)) {
    layout = Layout::Alpha;
    format = img::PixelFormat::Bits32Alpha;
  } else if (palette) {
    switch (header.bit_depth) {
      case 1: format = img::PixelFormat::Bits1; break;
      case 2: format = img::PixelFormat::Bits4; layout = Layout::TwoBitPalette; break;
      case 4: format = img::PixelFormat::Bits4; break;
      default: format = img::PixelFormat::Bits8; break;
    }
  } else if (header.color_type == PNG_COLOR_TYPE_GRAY) {
    format = img::PixelFormat::Bits8;
  }

  if (c.spare.width() != width || c.spare.height() != height || c.spare.format() != format) {
    c.spare.Clear();
    c.spare = img::Bitmap::Unfilled(width, height, format);
  }
  // libpng keeps the bits past the last pixel of a row of 1 or 4-bit pixels
  // as it finds them: they start at zero.
  if (img::BitsPerPixel(format) < 8)
    for (int y = 0; y < height; ++y) std::memset(c.spare.ScanLine(y), 0, c.spare.stride());
  std::vector<img::PaletteEntry>& entries = c.spare.palette();
  entries.clear();
  if (palette && layout != Layout::Alpha) {
    png_colorp colors = nullptr;
    int count = 0;
    png_get_PLTE(s.png, s.info, &colors, &count);
    for (int i = 0; i < count; ++i) entries.push_back({colors[i].blue, colors[i].green, colors[i].red, 0});
  } else if (format == img::PixelFormat::Bits8) {
    for (int i = 0; i < 256; ++i) {
      auto v = static_cast<std::uint8_t>(i);
      entries.push_back({v, v, v, 0});
    }
  }

  const std::size_t buffer_row = std::size_t(width);
  c.rows.resize(static_cast<std::size_t>(height));
  if (layout != Layout::TwoBitPalette) {
    for (int y = 0; y < height; ++y) c.rows[y] = c.spare.ScanLine(y);
  } else if (header.interlace != PNG_INTERLACE_NONE) {
    c.buffer.resize(buffer_row * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) c.rows[y] = c.buffer.data() + buffer_row * static_cast<std::size_t>(y);
  } else {
    c.buffer.resize(buffer_row);
  }

  c.damage.clear();
  if (!ReadRows(s, header, layout, c.rows.data(), c.buffer.data(), c.spare)) {
    if (!c.keep_damaged || !KeepRowsRead(s.png, header, c.spare)) context.failure.Throw();
    c.damage = std::string("PNG: ") + context.failure.message;
  }
  ClearPadding(c.spare, (static_cast<std::size_t>(width) * img::BitsPerPixel(format) + 7) / 8);

  // Indices past a short palette get black entries, so every pixel has a colour.
  if (palette && layout != Layout::Alpha) {
    const unsigned needed = MaxIndex(c.spare) + 1;
    if (entries.size() < needed) entries.resize(needed, img::PaletteEntry{});
  }
  if (metadata) {
    if (c.damage.empty()) ReadEnd(s);  // a damaged file keeps the chunks before its rows
    CopyMetadata(s, *metadata);
  }
  std::swap(out, c.spare);
}

void PngImage::KeepDamaged(bool keep) { codec_->keep_damaged = keep; }

const std::string& PngImage::Damage() const { return codec_->damage; }

std::size_t PngImage::KeptBytes() const {
  const Codec& c = *codec_;
  return c.spare.PixelBytes() + c.buffer.capacity();
}

void PngImage::HandBack() {
  Codec& c = *codec_;
  c.spare.Clear();
  img::UnfilledBytes().swap(c.buffer);
  std::vector<png_bytep>().swap(c.rows);
}

void PngImage::SetCompression(int level, PngFiltering filtering) {
  codec_->level = level;
  codec_->filtering = filtering;
}

std::vector<std::uint8_t> PngImage::Encode(const img::Bitmap& picture) {
  return codec_->Writer().Encode(picture);
}

void PngImage::Save(const img::Bitmap& picture, const img::TargetFile& path) {
  codec_->Writer().Save(picture, path);
}

void PngImage::Save(const img::Bitmap& picture, const img::TargetFile& path,
                    img::ParallelParts& parts, const PictureMetadata* metadata) {
  codec_->Writer(metadata).Save(picture, path, parts);
}

}  // namespace engine

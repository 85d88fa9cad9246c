// BMP reading: every header version seen in real files (OS/2 1.x core, OS/2
// 2.x, Windows INFO, V2 to V5), uncompressed, bit-field and RLE (8, 4 and
// OS/2's 24) pixels. Bit fields with an alpha mask (V3 to V5 headers, or
// ALPHABITFIELDS) give a picture with alpha; a plain 32-bit file's fourth
// byte is no alpha, whatever it holds.
//
// Every size and offset is checked against the file before anything is
// allocated or read, and the picture is decoded into a local Bitmap that
// replaces this one only at the end, so a failure leaves it as it was.
// Pixel data that ends early is refused (Truncated); only the padding after
// the last row may be missing.

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <string>

#include "imaging/Bitmap.h"
#include "imaging/BmpHeaders.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

namespace img {

namespace {

using namespace bmp;

// OS/2 2.x's RLE24 shares its number with JPEG; the header reader renames it.
constexpr std::uint32_t kOs2Rle24 = 0x10004;

[[noreturn]] void Fail(ErrorCode code, const std::string& what) {
  throw ImageError(code, "BMP: " + what);
}

struct Header {
  std::uint32_t size = 0;
  bool core = false;  // OS/2 1.x: 16-bit sizes, 3-byte palette entries
  bool os2 = false;   // OS/2 2.x: its own meaning of compression 3 and 4
  long long width = 0, height = 0;
  bool top_down = false;
  int planes = 1;
  int bpp = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t size_image = 0;
  std::uint32_t colors_used = 0;
  std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  std::size_t masks_end = 0;              // file offset after the info header and any masks
};

bool IsOs2v2Size(std::uint32_t size) {
  return size >= kOs2MinHeaderSize && size <= kOs2HeaderSize && size % 4 == 0 &&
         size != kInfoHeaderSize && size != kV2HeaderSize && size != kV3HeaderSize;
}

Header ReadHeader(std::span<const std::uint8_t> data) {
  if (data.size() < 2 || Read16(data.data()) != kMagic) Fail(ErrorCode::Format, "not a BMP file");
  if (data.size() < kFileHeaderSize + 4u) Fail(ErrorCode::Truncated, "file ends in its header");
  Header h;
  const std::uint8_t* info = data.data() + kFileHeaderSize;
  h.size = Read32(info);
  if (h.size != kCoreHeaderSize && h.size != kInfoHeaderSize && h.size != kV2HeaderSize &&
      h.size != kV3HeaderSize && h.size != kV4HeaderSize && h.size != kV5HeaderSize &&
      !IsOs2v2Size(h.size))
    Fail(ErrorCode::Format, "unknown info header size " + std::to_string(h.size));
  if (data.size() < kFileHeaderSize + h.size) Fail(ErrorCode::Truncated, "file ends in its header");

  if (h.size == kCoreHeaderSize) {
    h.core = true;
    h.width = Read16(info + 4);
    h.height = Read16(info + 6);
    h.planes = Read16(info + 8);
    h.bpp = Read16(info + 10);
  } else {
    // OS/2 2.x headers may stop after any field; the missing ones are zero.
    std::uint8_t full[kV5HeaderSize] = {};
    std::memcpy(full, info, std::min<std::size_t>(h.size, sizeof full));
    h.os2 = IsOs2v2Size(h.size);
    h.width = static_cast<std::int32_t>(Read32(full + 4));
    const std::int32_t height = static_cast<std::int32_t>(Read32(full + 8));
    h.top_down = height < 0;
    h.height = height < 0 ? -static_cast<long long>(height) : height;
    h.planes = Read16(full + 12);
    h.bpp = Read16(full + 14);
    h.compression = Read32(full + 16);
    h.size_image = Read32(full + 20);
    h.colors_used = Read32(full + 32);
    if (h.size >= kV2HeaderSize && !h.os2)
      for (int i = 0; i < 3; ++i) h.masks[i] = Read32(full + 40 + 4 * i);
    if (h.size >= kV3HeaderSize && !h.os2) h.masks[3] = Read32(full + 52);
  }
  h.masks_end = kFileHeaderSize + h.size;

  if (h.os2 && h.compression == kBitfields)
    Fail(ErrorCode::Unsupported, "Huffman 1D compression is not supported");
  if (h.os2 && h.compression == kJpeg) h.compression = kOs2Rle24;
  // A plain info header keeps its masks just after it.
  if (h.size == kInfoHeaderSize &&
      (h.compression == kBitfields || h.compression == kAlphaBitfields)) {
    const int count = h.compression == kAlphaBitfields ? 4 : 3;
    if (data.size() < h.masks_end + 4u * count) Fail(ErrorCode::Truncated, "file ends in its colour masks");
    for (int i = 0; i < count; ++i) h.masks[i] = Read32(data.data() + h.masks_end + 4 * i);
    h.masks_end += 4u * count;
  }
  if (h.compression != kBitfields && h.compression != kAlphaBitfields)
    std::fill(std::begin(h.masks), std::end(h.masks), 0u);

  // The picture itself.
  if (h.width <= 0 || h.height <= 0)
    Fail(ErrorCode::Format, "picture size " + std::to_string(h.width) + " x " +
                                std::to_string(h.height) + " is not valid");
  if (h.planes != 1) Fail(ErrorCode::Format, "plane count must be 1");
  switch (h.compression) {
    case kRgb:
      if (h.bpp != 1 && h.bpp != 2 && h.bpp != 4 && h.bpp != 8 && h.bpp != 16 && h.bpp != 24 &&
          h.bpp != 32) {
        if (h.bpp == 64) Fail(ErrorCode::Unsupported, "64 bits per pixel are not supported");
        Fail(ErrorCode::Format, std::to_string(h.bpp) + " bits per pixel are not valid");
      }
      break;
    case kRle8:
    case kRle4:
    case kOs2Rle24:
      if (h.bpp != (h.compression == kRle8 ? 8 : h.compression == kRle4 ? 4 : 24))
        Fail(ErrorCode::Format, "RLE compression does not match the bit depth");
      if (h.top_down) Fail(ErrorCode::Format, "an RLE picture cannot be stored top-down");
      break;
    case kBitfields:
    case kAlphaBitfields:
      if (h.bpp != 16 && h.bpp != 32) Fail(ErrorCode::Format, "colour masks need 16 or 32 bits per pixel");
      break;
    case kJpeg:
    case kPng: Fail(ErrorCode::Unsupported, "embedded JPEG or PNG data is not supported");
    default: Fail(ErrorCode::Unsupported, "compression " + std::to_string(h.compression) + " is not supported");
  }
  CheckPictureSize(h.width, h.height);
  return h;
}

// Start of the pixel data and the palette in front of it.
std::size_t ReadPalette(std::span<const std::uint8_t> data, const Header& h,
                        std::vector<PaletteEntry>& palette) {
  const std::size_t entry_size = h.core ? 3 : 4;
  const std::size_t palette_start = h.masks_end;
  const std::uint32_t bf_off_bits = Read32(data.data() + 10);
  std::size_t offset = bf_off_bits;
  if (offset != 0 && offset < palette_start)
    Fail(ErrorCode::Format, "pixel data offset points into the header");
  if (offset > data.size()) Fail(ErrorCode::Truncated, "pixel data offset is past the end of the file");

  if (h.bpp <= 8) {
    const std::size_t most = std::size_t{1} << h.bpp;
    std::size_t count = h.core || h.colors_used == 0 ? most : std::min<std::size_t>(h.colors_used, most);
    // Writers that leave out part of the palette say so only through the
    // pixel offset: never let the palette run into the pixels.
    if (offset != 0) count = std::min(count, (offset - palette_start) / entry_size);
    if (palette_start + count * entry_size > data.size())
      Fail(ErrorCode::Truncated, "file ends in its palette");
    palette.resize(count);
    const std::uint8_t* p = data.data() + palette_start;
    for (std::size_t i = 0; i < count; ++i, p += entry_size)
      palette[i] = PaletteEntry{p[0], p[1], p[2], h.core ? std::uint8_t{0} : p[3]};
    if (offset == 0) offset = palette_start + count * entry_size;
  } else if (offset == 0) {
    // A palette beside true colour is only a display hint: skip it.
    const std::uint64_t skip = std::uint64_t{h.colors_used} * entry_size;
    if (palette_start + skip > data.size()) Fail(ErrorCode::Truncated, "file ends in its palette");
    offset = palette_start + static_cast<std::size_t>(skip);
  }
  return offset;
}

// One channel of a bit-field pixel, scaled exactly to 8 bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint64_t max = 0;  // largest value of the channel, 0 when absent

  explicit Channel(std::uint32_t m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    max = std::uint64_t{m} >> shift;
    if ((max & (max + 1)) != 0) Fail(ErrorCode::Unsupported, "colour masks with gaps are not supported");
  }
  std::uint8_t operator()(std::uint32_t v) const {
    if (max == 0) return 0;
    const std::uint64_t c = (v & mask) >> shift;
    return static_cast<std::uint8_t>(max == 255 ? c : (c * 255 + max / 2) / max);
  }
};

// How the rows of an uncompressed or bit-field picture become Bitmap rows.
enum class RowKind { Copy, TwoBitToFour, Masks };

struct Plan {
  PixelFormat format;
  RowKind kind;
};

Plan PlanRows(const Header& h) {
  const std::uint32_t r = h.masks[0], g = h.masks[1], b = h.masks[2], a = h.masks[3];
  const bool masked = h.compression == kBitfields || h.compression == kAlphaBitfields;
  switch (h.bpp) {
    case 1: return {PixelFormat::Bits1, RowKind::Copy};
    case 2: return {PixelFormat::Bits4, RowKind::TwoBitToFour};
    case 4: return {PixelFormat::Bits4, RowKind::Copy};
    case 8: return {PixelFormat::Bits8, RowKind::Copy};
    case 24: return {PixelFormat::Bits24, RowKind::Copy};
    case 16:
      if (!masked || (r == kMask555Red && g == kMask555Green && b == kMask555Blue && a == 0))
        return {PixelFormat::Bits15, RowKind::Copy};
      if (r == kMask565Red && g == kMask565Green && b == kMask565Blue && a == 0)
        return {PixelFormat::Bits16, RowKind::Copy};
      return {a != 0 ? PixelFormat::Bits32Alpha : PixelFormat::Bits24, RowKind::Masks};
    default:  // 32: the fourth byte is alpha where a mask says so, else kept unused
      if (!masked || (r == 0xFF0000 && g == 0xFF00 && b == 0xFF && (a == 0 || a == 0xFF000000u)))
        return {a != 0 ? PixelFormat::Bits32Alpha : PixelFormat::Bits32, RowKind::Copy};
      return {a != 0 ? PixelFormat::Bits32Alpha : PixelFormat::Bits32, RowKind::Masks};
  }
}

void DecodeRows(const std::uint8_t* pixels, const Header& h, Bitmap& out) {
  const Plan plan = PlanRows(h);
  const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
  const std::size_t file_stride = (static_cast<std::size_t>(width) * h.bpp + 31) / 32 * 4;
  const std::size_t row_bytes = (static_cast<std::size_t>(width) * h.bpp + 7) / 8;

  const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alpha(h.masks[3]);
  const int out_bpp = BitsPerPixel(plan.format) / 8;

  for (int r = 0; r < height; ++r) {
    const std::uint8_t* src = pixels + static_cast<std::size_t>(r) * file_stride;
    std::uint8_t* dst = out.ScanLine(h.top_down ? r : height - 1 - r);
    switch (plan.kind) {
      case RowKind::Copy: std::memcpy(dst, src, row_bytes); break;
      case RowKind::TwoBitToFour:
        for (int x = 0; x < width; x += 2) {
          const unsigned hi = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3u;
          const unsigned lo = x + 1 < width ? (src[(x + 1) >> 2] >> (6 - 2 * ((x + 1) & 3))) & 3u : 0u;
          dst[x >> 1] = static_cast<std::uint8_t>(hi << 4 | lo);
        }
        break;
      case RowKind::Masks:
        for (int x = 0; x < width; ++x, dst += out_bpp) {
          const std::uint32_t v = h.bpp == 16 ? Read16(src + 2 * x) : Read32(src + 4 * x);
          dst[0] = blue(v);
          dst[1] = green(v);
          dst[2] = red(v);
          if (out_bpp == 4) dst[3] = alpha(v);
        }
        break;
    }
  }
}

// RLE8, RLE4 and OS/2's RLE24. Pixels the stream never reaches (skipped by
// a delta, an early end of line or end of picture) keep palette index 0, or
// black in a 24-bit picture; runs past the right edge are cut there.
void DecodeRle(std::span<const std::uint8_t> stream, const Header& h, Bitmap& out) {
  const int bits = h.bpp;
  const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
  // Writes pixel x of row y (from the bottom): an index, or b, g, r at `bgr`.
  auto put = [&](int x, int y, unsigned index, const std::uint8_t* bgr) {
    std::uint8_t* row = out.ScanLine(height - 1 - y);
    if (bits == 8) {
      row[x] = static_cast<std::uint8_t>(index);
    } else if (bits == 4) {
      const int shift = (x & 1) ? 0 : 4;
      row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & ~(0xF << shift)) | ((index & 0xF) << shift));
    } else {
      std::memcpy(row + 3 * x, bgr, 3);
    }
  };
  if (bits == 24)
    for (int y = 0; y < height; ++y) std::memset(out.ScanLine(y), 0, out.stride());

  std::size_t p = 0;
  int x = 0, y = 0;  // y counts from the bottom row, as the stream does
  while (y < height) {
    if (stream.size() - p < 2) {
      // Some writers stop after the last row without an end-of-picture code.
      if (y == height - 1 && x >= width) return;
      Fail(ErrorCode::Truncated, "RLE data ends early");
    }
    const unsigned count = stream[p], value = stream[p + 1];
    p += 2;
    if (count > 0) {  // a run of one value (RLE4: two alternating nibbles)
      std::uint8_t bgr[3] = {static_cast<std::uint8_t>(value), 0, 0};
      if (bits == 24) {
        if (stream.size() - p < 2) Fail(ErrorCode::Truncated, "RLE data ends early");
        bgr[1] = stream[p];
        bgr[2] = stream[p + 1];
        p += 2;
      }
      const int n = std::min<int>(static_cast<int>(count), width - x);
      for (int i = 0; i < n; ++i)
        put(x + i, y, bits == 4 ? ((i & 1) ? value & 0xF : value >> 4) : value, bgr);
      x = std::min(x + static_cast<int>(count), width);
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of picture
        return;
      case 2:  // delta: move right and up
        if (stream.size() - p < 2) Fail(ErrorCode::Truncated, "RLE data ends early");
        x = std::min(x + stream[p], width);
        y += stream[p + 1];
        p += 2;
        break;
      default: {  // `value` pixels as they are, padded to a 16-bit boundary
        const std::size_t bytes = bits == 4 ? (value + 1) / 2 : value * (bits / 8);
        if (stream.size() - p < bytes) Fail(ErrorCode::Truncated, "RLE data ends early");
        const std::uint8_t* src = stream.data() + p;
        const int n = std::min<int>(static_cast<int>(value), width - x);
        for (int i = 0; i < n; ++i) {
          if (bits == 4) put(x + i, y, (i & 1) ? src[i / 2] & 0xF : src[i / 2] >> 4, src);
          else put(x + i, y, src[i], src + 3 * i);
        }
        x = std::min(x + static_cast<int>(value), width);
        p += std::min(stream.size() - p, (bytes + 1) & ~std::size_t{1});
        break;
      }
    }
  }
}

// A file whose headers, palette and pixel extent have all been checked.
struct Layout {
  Header h;
  std::vector<PaletteEntry> palette;
  std::size_t offset = 0;  // of the pixel data
  bool rle = false;
  PixelFormat format = PixelFormat::Bits24;
  bool rows_as_stored = false;  // the file's rows are the Bitmap's rows, byte for byte
};

Layout Check(std::span<const std::uint8_t> data) {
  Layout l;
  l.h = ReadHeader(data);
  const Header& h = l.h;
  l.offset = ReadPalette(data, h, l.palette);
  l.rle = h.compression == kRle8 || h.compression == kRle4 || h.compression == kOs2Rle24;
  if (l.rle) {
    l.format = h.bpp == 8 ? PixelFormat::Bits8 : h.bpp == 4 ? PixelFormat::Bits4 : PixelFormat::Bits24;
  } else {
    const Plan plan = PlanRows(h);
    l.format = plan.format;
    l.rows_as_stored = plan.kind == RowKind::Copy;
    const std::uint64_t file_stride = (static_cast<std::uint64_t>(h.width) * h.bpp + 31) / 32 * 4;
    const std::uint64_t row_bytes = (static_cast<std::uint64_t>(h.width) * h.bpp + 7) / 8;
    // The padding after the last row is often left out; the pixels are not.
    const std::uint64_t needed = file_stride * static_cast<std::uint64_t>(h.height - 1) + row_bytes;
    if (data.size() - l.offset < needed) Fail(ErrorCode::Truncated, "file ends in its pixel data");
  }
  if (!HasPalette(l.format)) l.palette.clear();
  return l;
}

Bitmap Decode(std::span<const std::uint8_t> data, Layout l) {
  const Header& h = l.h;
  Bitmap out(static_cast<int>(h.width), static_cast<int>(h.height), l.format);
  out.palette() = std::move(l.palette);
  if (l.rle) {
    std::span<const std::uint8_t> stream = data.subspan(l.offset);
    if (h.size_image != 0 && h.size_image < stream.size()) stream = stream.first(h.size_image);
    DecodeRle(stream, h, out);
  } else {
    DecodeRows(data.data() + l.offset, h, out);
  }
  return out;
}

[[noreturn]] void ThrowOutOfMemory() {
  throw ImageError(ErrorCode::TooLarge, "BMP: not enough memory for the picture");
}

}  // namespace

void Bitmap::LoadFromMemory(std::span<const std::uint8_t> data) {
  try {
    *this = Decode(data, Check(data));
  } catch (const std::bad_alloc&) {
    ThrowOutOfMemory();
  }
}

void Bitmap::LoadFromFile(const std::filesystem::path& path) {
  UnfilledBytes data;
  ReadWholeFile(path, data);
  try {
    Layout l = Check(data);
    const std::size_t stride = StrideFor(static_cast<int>(l.h.width), l.format);
    const std::size_t size = stride * static_cast<std::size_t>(l.h.height);
    if (!l.rows_as_stored || data.capacity() > size + size / 8 + (1u << 16)) {
      *this = Decode(data, std::move(l));
      return;
    }
    // The file's buffer becomes the pixels: shifted over the headers and,
    // for a bottom-up file, its rows swapped in place. This saves a second
    // picture-sized buffer, whose first touch costs more than the copy.
    const std::size_t present = std::min(size, data.size() - l.offset);
    std::memmove(data.data(), data.data() + l.offset, present);
    data.resize(size);
    std::fill(data.begin() + present, data.end(), 0);  // a last row without its padding
    if (!l.h.top_down)
      for (std::size_t top = 0, bottom = size - stride; top < bottom; top += stride, bottom -= stride)
        std::swap_ranges(data.begin() + top, data.begin() + top + stride, data.begin() + bottom);
    Bitmap out;
    out.width_ = static_cast<int>(l.h.width);
    out.height_ = static_cast<int>(l.h.height);
    out.format_ = l.format;
    out.stride_ = stride;
    out.pixels_ = std::move(data);
    out.palette_ = std::move(l.palette);
    *this = std::move(out);
  } catch (const std::bad_alloc&) {
    ThrowOutOfMemory();
  }
}

}  // namespace img

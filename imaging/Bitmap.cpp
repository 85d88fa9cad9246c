#include "imaging/Bitmap.h"

#include <algorithm>
#include <cstring>

#include "platform/FileIO.h"
#include "platform/ImageError.h"
#include "imaging/OverWhite.h"

namespace img {

int BitsPerPixel(PixelFormat format) {
  switch (format) {
    case PixelFormat::Bits1: return 1;
    case PixelFormat::Bits4: return 4;
    case PixelFormat::Bits8: return 8;
    case PixelFormat::Bits15:
    case PixelFormat::Bits16: return 16;
    case PixelFormat::Bits24: return 24;
    case PixelFormat::Bits32:
    case PixelFormat::Bits32Alpha: return 32;
  }
  return 24;
}

bool HasPalette(PixelFormat format) {
  return format == PixelFormat::Bits1 || format == PixelFormat::Bits4 ||
         format == PixelFormat::Bits8;
}

bool HasAlpha(PixelFormat format) { return format == PixelFormat::Bits32Alpha; }

std::size_t Bitmap::StrideFor(int width, PixelFormat format) {
  return ((static_cast<std::size_t>(width) * BitsPerPixel(format) + 31) / 32) * 4;
}

namespace {

std::uint8_t Expand5(unsigned v) { return static_cast<std::uint8_t>((v * 255 + 15) / 31); }
std::uint8_t Expand6(unsigned v) { return static_cast<std::uint8_t>((v * 255 + 31) / 63); }

unsigned PaletteIndex(const std::uint8_t* row, int x, PixelFormat format) {
  switch (format) {
    case PixelFormat::Bits1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case PixelFormat::Bits4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
    default: return row[x];
  }
}

void SetPaletteIndex(std::uint8_t* row, int x, PixelFormat format, unsigned index) {
  switch (format) {
    case PixelFormat::Bits1: {
      std::uint8_t bit = static_cast<std::uint8_t>(0x80u >> (x & 7));
      row[x >> 3] = static_cast<std::uint8_t>(index & 1 ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case PixelFormat::Bits4: {
      int shift = (x & 1) ? 0 : 4;
      row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & ~(0xF << shift)) | ((index & 0xF) << shift));
      break;
    }
    default: row[x] = static_cast<std::uint8_t>(index); break;
  }
}

// The entry nearest to white: what a palette picture fills new area with.
unsigned WhiteIndex(const std::vector<PaletteEntry>& palette) {
  unsigned best = 0;
  int best_distance = 1 << 30;
  for (unsigned i = 0; i < palette.size(); ++i) {
    const PaletteEntry& e = palette[i];
    int d = (255 - e.red) * (255 - e.red) + (255 - e.green) * (255 - e.green) +
            (255 - e.blue) * (255 - e.blue);
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  return best;
}

PaletteEntry Lookup(const std::vector<PaletteEntry>& palette, unsigned index) {
  // Indices past a short palette read as black, as Windows shows them.
  return index < palette.size() ? palette[index] : PaletteEntry{};
}

// One row of any format to b, g, r (and x = 0 when out_bpp is 4); pixels
// with alpha are laid over under (white unless told).
void RowToTrueColor(const std::uint8_t* src, std::uint8_t* dst, int width, PixelFormat format,
                    const std::vector<PaletteEntry>& palette, int out_bpp,
                    PaletteEntry under = {255, 255, 255, 0}) {
  switch (format) {
    case PixelFormat::Bits1:
    case PixelFormat::Bits4:
    case PixelFormat::Bits8:
      for (int x = 0; x < width; ++x, dst += out_bpp) {
        PaletteEntry e = Lookup(palette, PaletteIndex(src, x, format));
        dst[0] = e.blue;
        dst[1] = e.green;
        dst[2] = e.red;
        if (out_bpp == 4) dst[3] = 0;
      }
      break;
    case PixelFormat::Bits15:
      for (int x = 0; x < width; ++x, dst += out_bpp) {
        unsigned v = src[2 * x] | (src[2 * x + 1] << 8);
        dst[0] = Expand5(v & 31);
        dst[1] = Expand5((v >> 5) & 31);
        dst[2] = Expand5((v >> 10) & 31);
        if (out_bpp == 4) dst[3] = 0;
      }
      break;
    case PixelFormat::Bits16:
      for (int x = 0; x < width; ++x, dst += out_bpp) {
        unsigned v = src[2 * x] | (src[2 * x + 1] << 8);
        dst[0] = Expand5(v & 31);
        dst[1] = Expand6((v >> 5) & 63);
        dst[2] = Expand5((v >> 11) & 31);
        if (out_bpp == 4) dst[3] = 0;
      }
      break;
    case PixelFormat::Bits24:
      if (out_bpp == 3) {
        std::memcpy(dst, src, static_cast<std::size_t>(width) * 3);
      } else {
        for (int x = 0; x < width; ++x, src += 3, dst += 4) {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
          dst[3] = 0;
        }
      }
      break;
    case PixelFormat::Bits32:
      if (out_bpp == 4) {
        std::memcpy(dst, src, static_cast<std::size_t>(width) * 4);
      } else {
        for (int x = 0; x < width; ++x, src += 4, dst += 3) {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
        }
      }
      break;
    case PixelFormat::Bits32Alpha:
      for (int x = 0; x < width; ++x, src += 4, dst += out_bpp) {
        const unsigned a = src[3];
        dst[0] = Over(src[0], a, under.blue);
        dst[1] = Over(src[1], a, under.green);
        dst[2] = Over(src[2], a, under.red);
        if (out_bpp == 4) dst[3] = 0;
      }
      break;
  }
}

// One row of any format to opaque b, g, r, a.
void RowToOpaque(const std::uint8_t* src, std::uint8_t* dst, int width, PixelFormat format,
                 const std::vector<PaletteEntry>& palette) {
  RowToTrueColor(src, dst, width, format, palette, 4);
  for (int x = 0; x < width; ++x) dst[4 * x + 3] = 255;
}

bool IsGreyRamp(const std::vector<PaletteEntry>& palette) {
  if (palette.size() != 256) return false;
  for (unsigned i = 0; i < 256; ++i)
    if (palette[i] != PaletteEntry{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                   static_cast<std::uint8_t>(i), 0})
      return false;
  return true;
}

void RowTo16(const std::uint8_t* src, std::uint8_t* dst, int width, int src_bpp, bool six_green) {
  for (int x = 0; x < width; ++x, src += src_bpp, dst += 2) {
    unsigned b = src[0] >> 3, r = src[2] >> 3;
    unsigned v = six_green ? (r << 11) | ((src[1] >> 2) << 5) | b : (r << 10) | ((src[1] >> 3) << 5) | b;
    dst[0] = static_cast<std::uint8_t>(v);
    dst[1] = static_cast<std::uint8_t>(v >> 8);
  }
}

}  // namespace

Bitmap::Bitmap(int width, int height, PixelFormat format) : format_(format) {
  SetSize(width, height);
}

Bitmap Bitmap::Unfilled(int width, int height, PixelFormat format) {
  if (width < 0 || height < 0)
    throw ImageError(ErrorCode::InvalidArgument, "negative picture size");
  if (width > 0 && height > 0) CheckPictureSize(width, height);
  Bitmap out;
  out.format_ = format;
  out.width_ = width;
  out.height_ = height;
  out.stride_ = StrideFor(width, format);
  out.pixels_.resize(out.stride_ * static_cast<std::size_t>(height));
  out.ClearPadding();
  return out;
}

void Bitmap::ClearPadding() {
  const std::size_t used = (static_cast<std::size_t>(width_) * BitsPerPixel(format_) + 7) / 8;
  if (used == stride_) return;
  for (int y = 0; y < height_; ++y) std::memset(ScanLine(y) + used, 0, stride_ - used);
}

void Bitmap::Clear() { *this = Bitmap(); }

void Bitmap::SetSize(int width, int height) {
  if (width < 0 || height < 0)
    throw ImageError(ErrorCode::InvalidArgument, "negative picture size");
  if (width > 0 && height > 0) CheckPictureSize(width, height);
  if (width == width_ && height == height_ && !pixels_.empty()) return;

  const std::size_t stride = StrideFor(width, format_);
  UnfilledBytes pixels;
  const int keep_w = std::min(width, width_), keep_h = std::min(height, height_);
  if (HasPalette(format_)) {
    const unsigned white = WhiteIndex(palette_);
    std::uint8_t fill = 0;
    if (format_ == PixelFormat::Bits1) fill = white ? 0xFF : 0x00;
    else if (format_ == PixelFormat::Bits4) fill = static_cast<std::uint8_t>(white * 0x11);
    else fill = static_cast<std::uint8_t>(white);
    pixels.assign(stride * static_cast<std::size_t>(height), fill);
    for (int y = 0; y < keep_h; ++y) {
      const std::uint8_t* src = ScanLine(y);
      std::uint8_t* dst = pixels.data() + static_cast<std::size_t>(y) * stride;
      for (int x = 0; x < keep_w; ++x) SetPaletteIndex(dst, x, format_, PaletteIndex(src, x, format_));
    }
  } else {
    pixels.assign(stride * static_cast<std::size_t>(height), 0xFF);
    if (format_ == PixelFormat::Bits15) {
      for (std::size_t i = 1; i < pixels.size(); i += 2) pixels[i] = 0x7F;
    } else if (format_ == PixelFormat::Bits32) {
      for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0;
    }  // Bits32Alpha: opaque white
    const std::size_t keep_bytes = static_cast<std::size_t>(keep_w) * (BitsPerPixel(format_) / 8);
    for (int y = 0; y < keep_h; ++y)
      std::memcpy(pixels.data() + static_cast<std::size_t>(y) * stride, ScanLine(y), keep_bytes);
  }
  pixels_ = std::move(pixels);
  stride_ = stride;
  width_ = width;
  height_ = height;
}

void Bitmap::SetPixelFormat(PixelFormat format) { Convert(format, {255, 255, 255, 0}); }

void Bitmap::ConvertTo24(PaletteEntry under) { Convert(PixelFormat::Bits24, under); }

void Bitmap::Convert(PixelFormat format, PaletteEntry under) {
  if (format == format_) return;
  if (empty()) {
    format_ = format;
    stride_ = StrideFor(width_, format_);
    pixels_.assign(stride_ * static_cast<std::size_t>(height_), 0xFF);
    return;
  }
  if (HasPalette(format))
    throw ImageError(ErrorCode::Unsupported, "cannot reduce a picture to a palette");

  const std::size_t stride = StrideFor(width_, format);
  UnfilledBytes pixels(stride * static_cast<std::size_t>(height_));
  if (format == PixelFormat::Bits32Alpha) {
    for (int y = 0; y < height_; ++y)
      RowToOpaque(ScanLine(y), pixels.data() + y * stride, width_, format_, palette_);
  } else if (format == PixelFormat::Bits24 || format == PixelFormat::Bits32) {
    const int out_bpp = format == PixelFormat::Bits24 ? 3 : 4;
    for (int y = 0; y < height_; ++y)
      RowToTrueColor(ScanLine(y), pixels.data() + y * stride, width_, format_, palette_, out_bpp, under);
  } else {
    // 15 or 16 bits: through 24 bits, then drop the low bits of each channel.
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width_) * 3);
    for (int y = 0; y < height_; ++y) {
      RowToTrueColor(ScanLine(y), row.data(), width_, format_, palette_, 3, under);
      RowTo16(row.data(), pixels.data() + y * stride, width_, 3, format == PixelFormat::Bits16);
    }
  }
  pixels_ = std::move(pixels);
  stride_ = stride;
  format_ = format;
  palette_.clear();
  ClearPadding();  // the rows were written, their padding not
}

bool Bitmap::IsGrey() const {
  if (format_ != PixelFormat::Bits8 || palette_.empty()) return false;
  for (const PaletteEntry& e : palette_)
    if (e.red != e.green || e.green != e.blue) return false;
  return true;
}

void Bitmap::ConvertToWorkFormat() {
  if (format_ == PixelFormat::Bits24 || format_ == PixelFormat::Bits32Alpha) return;
  if (!IsGrey()) {
    ConvertTo24();
    return;
  }
  if (IsGreyRamp(palette_)) return;
  // Indices become the levels their entries name (past a short palette:
  // black, as the picture shows them).
  std::uint8_t level[256] = {};
  for (std::size_t i = 0; i < palette_.size() && i < 256; ++i) level[i] = palette_[i].red;
  for (int y = 0; y < height_; ++y) {
    std::uint8_t* row = ScanLine(y);
    for (int x = 0; x < width_; ++x) row[x] = level[row[x]];
  }
  palette_.resize(256);
  for (unsigned i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    palette_[i] = PaletteEntry{v, v, v, 0};
  }
}

PaletteEntry Bitmap::PixelColor(int x, int y) const {
  std::uint8_t out[4] = {};
  const std::uint8_t* row = ScanLine(y);
  switch (format_) {
    case PixelFormat::Bits32Alpha: {
      const std::uint8_t* p = row + 4 * x;
      return PaletteEntry{p[0], p[1], p[2], p[3]};
    }
    case PixelFormat::Bits1:
    case PixelFormat::Bits4:
    case PixelFormat::Bits8: return Lookup(palette_, PaletteIndex(row, x, format_));
    case PixelFormat::Bits15:
    case PixelFormat::Bits16: RowToTrueColor(row + 2 * x, out, 1, format_, palette_, 3); break;
    case PixelFormat::Bits24: RowToTrueColor(row + 3 * x, out, 1, format_, palette_, 3); break;
    case PixelFormat::Bits32: RowToTrueColor(row + 4 * x, out, 1, format_, palette_, 3); break;
  }
  return PaletteEntry{out[0], out[1], out[2], 0};
}

void Bitmap::SaveToFile(const TargetFile& path) const {
  WriteFileAtomically(path, [this](std::FILE* out) { WriteBmp(out); });
}

}  // namespace img

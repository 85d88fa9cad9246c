#pragma once
// An in-memory raster: width, height and one of the pixel formats a BMP file
// can hold. Rows are reached by index from 0 at the top; a 24-bit pixel is
// three bytes in the order blue, green, red. Pixel work (shrink, turns,
// mirrors) happens on three work formats: 24 bits, 32 bits with alpha, and
// grey pictures (8 bits whose palette holds greys only). The other formats
// exist so BMP files round-trip and palette pictures keep their palette.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <vector>

#include "platform/FileIO.h"
#include "platform/UnfilledBytes.h"

namespace img {

enum class PixelFormat {
  Bits1,   // palette of up to 2
  Bits4,   // palette of up to 16
  Bits8,   // palette of up to 256
  Bits15,  // 5-5-5, x-r-g-b in a little-endian 16-bit word
  Bits16,  // 5-6-5, r-g-b in a little-endian 16-bit word
  Bits24,  // b, g, r
  Bits32,  // b, g, r, x: the fourth byte carries no meaning (kept for BMP files)
  // b, g, r, a: the fourth byte is the pixel's alpha, 0 clear to 255
  // opaque; the colour is not premultiplied (as PNG, WebP and BMP store
  // it). Converting to any other format lays the pixels over white.
  Bits32Alpha,
};

int BitsPerPixel(PixelFormat format);
bool HasPalette(PixelFormat format);
bool HasAlpha(PixelFormat format);

struct PaletteEntry {
  std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
  friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

class Bitmap {
 public:
  Bitmap() = default;
  // A white picture (palette pictures: the entry nearest white).
  Bitmap(int width, int height, PixelFormat format = PixelFormat::Bits24);
  // A picture for a writer that sets every pixel next (a decoder, a turn):
  // the pixels are left unset, only each row's padding is zero.
  static Bitmap Unfilled(int width, int height, PixelFormat format = PixelFormat::Bits24);

  int width() const { return width_; }
  int height() const { return height_; }
  PixelFormat format() const { return format_; }
  bool empty() const { return width_ == 0 || height_ == 0; }

  // Bytes per row, each row padded to a multiple of four bytes as in a BMP file.
  std::size_t stride() const { return stride_; }
  // The bytes the pixels take: stride() times height().
  std::size_t PixelBytes() const { return stride_ * static_cast<std::size_t>(height_); }
  static std::size_t StrideFor(int width, PixelFormat format);

  std::uint8_t* ScanLine(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
  const std::uint8_t* ScanLine(int y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * stride_;
  }

  std::vector<PaletteEntry>& palette() { return palette_; }
  const std::vector<PaletteEntry>& palette() const { return palette_; }

  // New size; pixels that stay inside keep their values, new area is white.
  void SetSize(int width, int height);

  // Converts the pixels in place. Any format converts exactly to 24 or 32
  // bits; 24/32 convert to 15/16 by dropping low bits. Out of Bits32Alpha
  // each pixel is laid over white, (a*c + (255-a)*255 + 127) / 255 per
  // channel; into it every pixel is opaque. Converting a non-empty picture
  // to a palette format is refused (ImageError Unsupported); an empty one
  // just changes format.
  void SetPixelFormat(PixelFormat format);
  void ConvertTo24() { SetPixelFormat(PixelFormat::Bits24); }
  // The same, but Bits32Alpha pixels are laid over the colour under (its
  // blue, green and red) in place of white.
  void ConvertTo24(PaletteEntry under);

  // An 8-bit picture with a palette whose entries are all greys (red =
  // green = blue): its pixels are grey levels, written as grey JPEG and PNG
  // files.
  bool IsGrey() const;
  // Into the work format the pixel work keeps: Bits32Alpha stays as it is,
  // a grey picture gets the grey ramp as its palette (each index its own
  // level: index 0 black to 255 white), any other format becomes 24 bits.
  void ConvertToWorkFormat();

  // The colour of pixel (x, y) whatever the format (for tests and previews);
  // for Bits32Alpha its stored colour, with its alpha in `reserved`.
  PaletteEntry PixelColor(int x, int y) const;

  // Drops the pixels (0 by 0, 24 bits).
  void Clear();

  // Copy of another picture's size, format, palette and pixels.
  void Assign(const Bitmap& other) { *this = other; }

  // BMP files. Loading replaces this picture only when the whole file was
  // read; every failure throws ImageError and leaves this picture unchanged.
  void LoadFromFile(const std::filesystem::path& path);
  void LoadFromMemory(std::span<const std::uint8_t> data);
  // Saving writes the current pixel format with its palette, through a
  // temporary file renamed over path; failures throw ImageError.
  void SaveToFile(const TargetFile& path) const;
  void WriteBmp(std::FILE* out) const;
  std::vector<std::uint8_t> EncodeBmp() const;

 private:
  // Zero in every row's bytes past its pixels.
  void ClearPadding();
  // SetPixelFormat, alpha laid over under.
  void Convert(PixelFormat format, PaletteEntry under);

  int width_ = 0;
  int height_ = 0;
  PixelFormat format_ = PixelFormat::Bits24;
  std::size_t stride_ = 0;
  UnfilledBytes pixels_;
  std::vector<PaletteEntry> palette_;
};

}  // namespace img

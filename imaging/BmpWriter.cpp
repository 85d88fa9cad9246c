// BMP writing: a file header and a 40-byte info header, the palette with its
// actual number of entries, then the rows bottom-up. Every format is written
// uncompressed; 5-6-5 needs its three masks, 5-5-5 is what an uncompressed
// 16-bit file means anyway. A picture with alpha gets a V4 header whose bit
// fields name the fourth byte alpha: a plain 32-bit file's fourth byte is
// unused, and readers would show the picture opaque.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "imaging/Bitmap.h"
#include "imaging/BmpHeaders.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

namespace img {

namespace {

using namespace bmp;

// Headers, masks and palette: everything in front of the pixel rows.
std::vector<std::uint8_t> BuildHead(const Bitmap& bmp) {
  if (bmp.empty()) throw ImageError(ErrorCode::InvalidArgument, "BMP: cannot write an empty picture");

  const PixelFormat format = bmp.format();
  std::vector<PaletteEntry> palette;
  if (HasPalette(format)) {
    const std::size_t most = std::size_t{1} << BitsPerPixel(format);
    palette.assign(bmp.palette().begin(),
                   bmp.palette().begin() + std::min(most, bmp.palette().size()));
    // A count of 0 would mean a full palette; one black entry shows the
    // same picture as no palette at all (every index reads as black).
    if (palette.empty()) palette.push_back(PaletteEntry{});
  }
  const bool masks = format == PixelFormat::Bits16;
  const bool alpha = HasAlpha(format);
  const std::uint32_t info_size = alpha ? kV4HeaderSize : kInfoHeaderSize;
  const std::size_t head_size = kFileHeaderSize + info_size + (masks ? 12 : 0) + 4 * palette.size();
  const std::uint64_t image_size = static_cast<std::uint64_t>(bmp.stride()) * bmp.height();
  const std::uint64_t file_size = head_size + image_size;
  if (file_size > 0xFFFFFFFFu) throw ImageError(ErrorCode::TooLarge, "BMP: picture too large for a BMP file");

  std::vector<std::uint8_t> head(head_size, 0);
  std::uint8_t* p = head.data();
  Write16(p, kMagic);
  Write32(p + 2, static_cast<std::uint32_t>(file_size));
  Write32(p + 10, static_cast<std::uint32_t>(head_size));
  p += kFileHeaderSize;
  Write32(p, info_size);
  Write32(p + 4, static_cast<std::uint32_t>(bmp.width()));
  Write32(p + 8, static_cast<std::uint32_t>(bmp.height()));  // positive: bottom-up
  Write16(p + 12, 1);
  Write16(p + 14, static_cast<std::uint32_t>(BitsPerPixel(format)));
  Write32(p + 16, masks || alpha ? kBitfields : kRgb);
  Write32(p + 20, static_cast<std::uint32_t>(image_size));
  // Pixels per metre (24, 28) stay 0: no resolution is known.
  Write32(p + 32, static_cast<std::uint32_t>(palette.size()));
  if (alpha) {
    Write32(p + 40, 0x00FF0000);  // red, green, blue, alpha masks: b, g, r, a bytes
    Write32(p + 44, 0x0000FF00);
    Write32(p + 48, 0x000000FF);
    Write32(p + 52, 0xFF000000);
    Write32(p + 56, kColourSpaceSrgb);  // endpoints and gammas stay 0, unused for sRGB
  }
  p += info_size;
  if (masks) {
    Write32(p, kMask565Red);
    Write32(p + 4, kMask565Green);
    Write32(p + 8, kMask565Blue);
    p += 12;
  }
  for (const PaletteEntry& e : palette) {
    p[0] = e.blue;
    p[1] = e.green;
    p[2] = e.red;
    p[3] = e.reserved;
    p += 4;
  }
  return head;
}

// Writes the whole file through put(bytes, count), row by row.
template <typename Put>
void Produce(const Bitmap& bmp, Put&& put) {
  const std::vector<std::uint8_t> head = BuildHead(bmp);
  put(head.data(), head.size());
  // The row bytes in memory are the file's row bytes; only the padding may
  // hold leftovers, and the file gets zeros there.
  const std::size_t row_bytes =
      (static_cast<std::size_t>(bmp.width()) * BitsPerPixel(bmp.format()) + 7) / 8;
  const std::size_t padding = bmp.stride() - row_bytes;
  static constexpr std::uint8_t kZeros[4] = {0, 0, 0, 0};
  for (int y = bmp.height() - 1; y >= 0; --y) {
    put(bmp.ScanLine(y), row_bytes);
    if (padding) put(kZeros, padding);
  }
}

}  // namespace

void Bitmap::WriteBmp(std::FILE* out) const {
  // Rows are gathered into blocks: one write call per row costs more than
  // the copy on systems with slow calls, and the stream's own buffer is too
  // small to help; a block is no larger than the system takes best.
  const std::size_t total = static_cast<std::size_t>(stride_) * height_ + 2048;
  std::vector<std::uint8_t> block(std::min<std::size_t>(total, kWriteBytes));
  std::size_t used = 0;
  auto flush = [&] {
    if (used && std::fwrite(block.data(), 1, used, out) != used)
      throw ImageError(errno == ENOSPC ? ErrorCode::NoSpace : ErrorCode::Io,
                       std::string("BMP: cannot write: ") + std::strerror(errno));
    used = 0;
  };
  Produce(*this, [&](const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
      if (used == block.size()) flush();
      const std::size_t n = std::min(count, block.size() - used);
      std::memcpy(block.data() + used, bytes, n);
      used += n;
      bytes += n;
      count -= n;
    }
  });
  flush();
}

std::vector<std::uint8_t> Bitmap::EncodeBmp() const {
  std::vector<std::uint8_t> file;
  file.reserve(kFileHeaderSize + kV4HeaderSize + 12 + 4 * 256 + stride_ * static_cast<std::size_t>(height_));
  Produce(*this, [&file](const std::uint8_t* bytes, std::size_t count) {
    file.insert(file.end(), bytes, bytes + count);
  });
  return file;
}

}  // namespace img

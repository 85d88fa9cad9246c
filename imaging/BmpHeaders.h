#pragma once
// Layout constants of BMP files shared by the reader and the writer, and the
// little-endian field access both use. Internal to imaging/.

#include <cstdint>

namespace img::bmp {

inline constexpr std::uint16_t kMagic = 0x4D42;  // "BM"
inline constexpr int kFileHeaderSize = 14;

// Info header sizes by version.
inline constexpr std::uint32_t kCoreHeaderSize = 12;   // OS/2 1.x BITMAPCOREHEADER
inline constexpr std::uint32_t kInfoHeaderSize = 40;   // BITMAPINFOHEADER
inline constexpr std::uint32_t kV2HeaderSize = 52;     // + red, green, blue masks
inline constexpr std::uint32_t kV3HeaderSize = 56;     // + alpha mask
inline constexpr std::uint32_t kOs2MinHeaderSize = 16; // OS/2 2.x, cut short
inline constexpr std::uint32_t kOs2HeaderSize = 64;    // OS/2 2.x, full
inline constexpr std::uint32_t kV4HeaderSize = 108;
inline constexpr std::uint32_t kV5HeaderSize = 124;

// biCompression values.
enum Compression : std::uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitfields = 3,  // OS/2 2.x: Huffman 1D
  kJpeg = 4,       // OS/2 2.x: RLE24
  kPng = 5,
  kAlphaBitfields = 6,
};

// bV4CSType of a V4 or V5 header: the pixels are sRGB.
inline constexpr std::uint32_t kColourSpaceSrgb = 0x73524742;  // "sRGB"

// Masks of a 5-6-5 picture, written with kBitfields.
inline constexpr std::uint32_t kMask565Red = 0xF800, kMask565Green = 0x07E0, kMask565Blue = 0x001F;
inline constexpr std::uint32_t kMask555Red = 0x7C00, kMask555Green = 0x03E0, kMask555Blue = 0x001F;

inline std::uint16_t Read16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void Write16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Write32(std::uint8_t* p, std::uint32_t v) {
  Write16(p, v);
  Write16(p + 2, v >> 16);
}

}  // namespace img::bmp

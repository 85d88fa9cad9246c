#pragma once
// PNG files read byte by byte, as a reference beside the codecs: the chunks
// in order (signature, lengths and CRCs checked), the joined image data, and
// zlib streams inflated whole; chunks written by hand, for made-up files; and
// files written by libpng itself.

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace testsupport {

struct PngChunk {
  std::string type;
  std::vector<std::uint8_t> data;
};

inline std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

inline void PutBigEndian32(std::vector<std::uint8_t>& bytes, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Appends a chunk holding data with its CRC; its length field says declared.
inline void AppendPngChunk(std::vector<std::uint8_t>& file, const char* type,
                           const std::vector<std::uint8_t>& data, std::uint32_t declared) {
  PutBigEndian32(file, declared);
  const std::size_t start = file.size();
  file.insert(file.end(), type, type + 4);
  file.insert(file.end(), data.begin(), data.end());
  PutBigEndian32(file, static_cast<std::uint32_t>(crc32(0, file.data() + start, static_cast<uInt>(file.size() - start))));
}
inline void AppendPngChunk(std::vector<std::uint8_t>& file, const char* type,
                           const std::vector<std::uint8_t>& data) {
  AppendPngChunk(file, type, data, static_cast<std::uint32_t>(data.size()));
}

// The file's chunks in order; fails the test on a bad signature, length or CRC.
inline std::vector<PngChunk> PngChunks(const std::vector<std::uint8_t>& file) {
  std::vector<PngChunk> chunks;
  static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(file.size() >= 8 && std::memcmp(file.data(), signature, 8) == 0);
  std::size_t at = 8;
  while (at + 12 <= file.size()) {
    const std::uint32_t length = BigEndian32(&file[at]);
    if (at + 12 + length > file.size()) break;
    PngChunk chunk{std::string(reinterpret_cast<const char*>(&file[at + 4]), 4),
                   std::vector<std::uint8_t>(file.begin() + at + 8, file.begin() + at + 8 + length)};
    const uLong crc = crc32(0, &file[at + 4], length + 4);
    EXPECT_EQ(crc, BigEndian32(&file[at + 8 + length])) << chunk.type;
    chunks.push_back(std::move(chunk));
    at += 12 + length;
  }
  EXPECT_EQ(at, file.size());
  return chunks;
}

// The IDAT chunks' data, joined: one zlib stream.
inline std::vector<std::uint8_t> JoinedIdat(const std::vector<PngChunk>& chunks) {
  std::vector<std::uint8_t> stream;
  for (const PngChunk& c : chunks)
    if (c.type == "IDAT") stream.insert(stream.end(), c.data.begin(), c.data.end());
  return stream;
}

struct Inflated {
  int status = Z_OK;  // Z_STREAM_END when the whole stream, checksum included, was good
  std::vector<std::uint8_t> data;
};

// Inflates a zlib stream as far as it goes.
inline Inflated Inflate(const std::vector<std::uint8_t>& stream) {
  Inflated result;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return result;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  std::uint8_t buffer[16384];
  do {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    result.status = inflate(&z, Z_NO_FLUSH);
    result.data.insert(result.data.end(), buffer, buffer + (sizeof buffer - z.avail_out));
  } while (result.status == Z_OK);
  inflateEnd(&z);
  return result;
}

// The inflated bytes; empty when zlib reports any error (checksum included).
inline std::vector<std::uint8_t> InflateAll(const std::vector<std::uint8_t>& stream) {
  Inflated inflated = Inflate(stream);
  if (inflated.status != Z_STREAM_END) inflated.data.clear();
  return std::move(inflated.data);
}

// pixels (rows of width samples of format, as png_image lays them out; 16-bit
// samples in the machine's order) as a PNG file written by libpng's
// simplified writer; colormap is the palette of a *_COLORMAP format.
inline std::vector<std::uint8_t> WriteWithLibpng(png_uint_32 format, int width, int height,
                                                 const std::vector<std::uint8_t>& pixels,
                                                 const std::vector<std::uint8_t>& colormap = {}) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = format;
  image.colormap_entries = static_cast<png_uint_32>(colormap.size() / 4);
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_get_memory_size(image, size, 0, pixels.data(), 0,
                                              colormap.empty() ? nullptr : colormap.data()));
  std::vector<std::uint8_t> file(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, file.data(), &size, 0, pixels.data(), 0,
                                        colormap.empty() ? nullptr : colormap.data()));
  file.resize(size);
  return file;
}

// libpng's full writer keeps setjmp apart from locals with destructors.
inline bool WriteRowsWithLibpng(png_structp png, png_infop info, const img::Bitmap& bmp,
                         std::vector<png_bytep>& rows, std::vector<png_color>& palette, bool libpng_filters,
                         int level) {
  if (setjmp(png_jmpbuf(png))) return false;
  const bool indexed = img::HasPalette(bmp.format()) && !bmp.IsGrey();
  const int colour = indexed ? PNG_COLOR_TYPE_PALETTE
                     : bmp.IsGrey() ? PNG_COLOR_TYPE_GRAY
                     : img::HasAlpha(bmp.format()) ? PNG_COLOR_TYPE_RGBA
                                                    : PNG_COLOR_TYPE_RGB;
  png_set_IHDR(png, info, bmp.width(), bmp.height(), indexed ? img::BitsPerPixel(bmp.format()) : 8, colour,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (indexed) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!libpng_filters) png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_compression_level(png, level);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, info);
  return true;
}

// bmp as libpng's own writer makes it, the reference: filter None on every
// row, or libpng's own default choice (libpng_filters), at zlib's level;
// grey pictures grey, palette pictures indexed, alpha kept. Empty when
// libpng failed.
inline std::vector<std::uint8_t> WriteWithLibpng(const img::Bitmap& bmp, bool libpng_filters = false,
                                          int level = Z_DEFAULT_COMPRESSION) {
  std::vector<std::vector<std::uint8_t>> row_data(bmp.height());
  std::vector<png_bytep> rows;
  for (int y = 0; y < bmp.height(); ++y) {
    const std::uint8_t* src = bmp.ScanLine(y);
    if (img::HasPalette(bmp.format()) && !bmp.IsGrey()) {
      row_data[y].assign(src, src + (static_cast<std::size_t>(bmp.width()) * img::BitsPerPixel(bmp.format()) + 7) / 8);
    } else {
      for (int x = 0; x < bmp.width(); ++x) {
        const img::PaletteEntry e = bmp.PixelColor(x, y);
        if (bmp.IsGrey())
          row_data[y].push_back(e.red);
        else if (img::HasAlpha(bmp.format()))
          row_data[y].insert(row_data[y].end(), {e.red, e.green, e.blue, e.reserved});
        else
          row_data[y].insert(row_data[y].end(), {e.red, e.green, e.blue});
      }
    }
    rows.push_back(row_data[y].data());
  }
  std::vector<png_color> palette;
  for (const img::PaletteEntry& e : bmp.palette()) palette.push_back({e.red, e.green, e.blue});
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* sink = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        sink->insert(sink->end(), data, data + length);
      },
      nullptr);
  const bool ok = WriteRowsWithLibpng(png, info, bmp, rows, palette, libpng_filters, level);
  png_destroy_write_struct(&png, &info);
  if (!ok) out.clear();
  return out;
}

}  // namespace testsupport

#pragma once
// Camera raw files for the tests: a small DNG of an RGGB mosaic written with
// libtiff, with the tags LibRaw develops it by (a colour matrix whose camera
// colours are linear sRGB, a neutral white balance, 12-bit levels), its
// camera's EXIF fields and, where asked, an embedded JPEG preview.

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "MemoryTiff.h"

namespace testsupport {

using LinearColour = std::array<double, 3>;  // red, green, blue, 0 to 1 of white

struct DngPicture {
  int width = 64, height = 48;  // sensor pixels
  int bits = 16;                // per sample: 16, or 12 packed (most significant bits first)
  // Each pixel's colour; the default: grey at a fifth of white.
  std::function<LinearColour(int x, int y)> colour = [](int, int) { return LinearColour{0.2, 0.2, 0.2}; };
  int orientation = ORIENTATION_TOPLEFT;
  std::string make = "Testmaker", model = "Raw One", lens = "Testmaker 35mm F2";
  std::string date = "2024:05:06 07:08:09";  // EXIF's form
  // An embedded preview: a whole JPEG file and the size it declares.
  std::vector<std::uint8_t> previewJpeg;
  int previewWidth = 0, previewHeight = 0;
};

// White at the top rows, a tenth of the picture: LibRaw's automatic
// brightness then keeps white where it is, so every other colour comes out
// as its own sRGB value.
inline std::function<LinearColour(int, int)> OnWhiteRows(int height, std::function<LinearColour(int, int)> colour) {
  return [height, colour](int x, int y) { return y < std::max(2, height / 10) ? LinearColour{1, 1, 1} : colour(x, y); };
}

inline constexpr std::uint16_t kDngWhite = 4095;

inline std::vector<std::uint8_t> DngBytes(const DngPicture& p) {
  // LensModel stands in IFD0 here, where libtiff has no field for it.
  static const TIFFFieldInfo kLens[] = {{42036, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("LensModel")}};
  MemoryTiff file("dng");
  TIFF* t = file.get();
  TIFFMergeFieldInfo(t, kLens, 1);

  TIFFSetField(t, TIFFTAG_SUBFILETYPE, 0);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(p.width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(p.height));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, p.bits);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CFA);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(p.height));
  TIFFSetField(t, TIFFTAG_ORIENTATION, p.orientation);
  TIFFSetField(t, TIFFTAG_MAKE, p.make.c_str());
  TIFFSetField(t, TIFFTAG_MODEL, p.model.c_str());
  TIFFSetField(t, TIFFTAG_DATETIME, p.date.c_str());
  if (!p.lens.empty()) TIFFSetField(t, 42036, p.lens.c_str());
  const std::uint16_t repeat[] = {2, 2};
  const std::uint8_t rggb[] = {0, 1, 1, 2};
  TIFFSetField(t, TIFFTAG_CFAREPEATPATTERNDIM, repeat);
  TIFFSetField(t, TIFFTAG_CFAPATTERN, 4, rggb);
  const std::uint8_t version[] = {1, 4, 0, 0};
  TIFFSetField(t, TIFFTAG_DNGVERSION, version);
  TIFFSetField(t, TIFFTAG_UNIQUECAMERAMODEL, (p.make + " " + p.model).c_str());
  // XYZ (D65) to linear sRGB: the camera's colours are sRGB's own.
  const float matrix[] = {3.2404542f, -1.5371385f, -0.4985314f, -0.9692660f, 1.8760108f,
                          0.0415560f, 0.0556434f,  -0.2040259f, 1.0572252f};
  TIFFSetField(t, TIFFTAG_COLORMATRIX1, 9, matrix);
  TIFFSetField(t, TIFFTAG_CALIBRATIONILLUMINANT1, 21);
  const float neutral[] = {1, 1, 1};
  TIFFSetField(t, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
  const float black[] = {0};
  TIFFSetField(t, TIFFTAG_BLACKLEVEL, 1, black);
  const std::uint32_t white[] = {kDngWhite};
  TIFFSetField(t, TIFFTAG_WHITELEVEL, 1, white);

  bool ok = true;
  std::vector<std::uint16_t> row(static_cast<std::size_t>(p.width) + 1);
  std::vector<std::uint8_t> packed(row.size() * 3 / 2 + 2);
  for (int y = 0; y < p.height && ok; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const int channel = (y & 1) + (x & 1);  // R G / G B
      const double v = std::clamp(p.colour(x, y)[static_cast<std::size_t>(channel)], 0.0, 1.0);
      row[static_cast<std::size_t>(x)] = static_cast<std::uint16_t>(std::lround(v * kDngWhite));
    }
    if (p.bits == 12)
      for (std::size_t x = 0; x < static_cast<std::size_t>(p.width); x += 2) {
        packed[x / 2 * 3] = static_cast<std::uint8_t>(row[x] >> 4);
        packed[x / 2 * 3 + 1] = static_cast<std::uint8_t>((row[x] & 15) << 4 | row[x + 1] >> 8);
        packed[x / 2 * 3 + 2] = static_cast<std::uint8_t>(row[x + 1]);
      }
    void* data = p.bits == 12 ? static_cast<void*>(packed.data()) : static_cast<void*>(row.data());
    ok = TIFFWriteScanline(t, data, static_cast<std::uint32_t>(y), 0) >= 0;
  }
  ok = TIFFWriteDirectory(t) && ok;
  if (!p.previewJpeg.empty()) {
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(p.previewWidth));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(p.previewHeight));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(p.previewHeight));
    // The JPEG file as it is, one strip.
    ok = ok && TIFFWriteRawStrip(t, 0, const_cast<std::uint8_t*>(p.previewJpeg.data()),
                                 static_cast<tmsize_t>(p.previewJpeg.size())) >= 0;
    ok = TIFFWriteDirectory(t) && ok;
  }
  std::vector<std::uint8_t> bytes = file.Finish();
  if (!ok) throw std::runtime_error("the DNG writer failed");
  return bytes;
}

namespace dngdetail {
// Where IFD0's entry for tag starts in a little-endian TIFF file.
inline std::size_t EntryOf(const std::vector<std::uint8_t>& bytes, std::uint16_t tag) {
  const auto get = [&](std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | bytes.at(at + static_cast<std::size_t>(i));
    return v;
  };
  const std::size_t ifd = get(4, 4);
  for (std::uint32_t i = 0, n = get(ifd, 2); i < n; ++i)
    if (const std::size_t entry = ifd + 2 + 12 * i; get(entry, 2) == tag) return entry;
  throw std::runtime_error("no such tag in IFD0");
}
inline void Put(std::vector<std::uint8_t>& bytes, std::size_t at, int size, std::uint32_t value) {
  for (int b = 0; b < size; ++b) bytes.at(at + static_cast<std::size_t>(b)) = static_cast<std::uint8_t>(value >> (8 * b));
}
}  // namespace dngdetail

// bytes with IFD0's entry for tag (a SHORT or LONG, as libtiff wrote it)
// set to value: a file that declares what its data do not hold.
inline std::vector<std::uint8_t> WithDeclared(std::vector<std::uint8_t> bytes, std::uint16_t tag, std::uint32_t value) {
  const std::size_t entry = dngdetail::EntryOf(bytes, tag);
  dngdetail::Put(bytes, entry + 8, bytes.at(entry + 2) == TIFF_SHORT ? 2 : 4, value);
  return bytes;
}

// bytes with IFD0's entry for tag saying it holds count values, its value
// field left as it was.
inline std::vector<std::uint8_t> WithCount(std::vector<std::uint8_t> bytes, std::uint16_t tag, std::uint32_t count) {
  dngdetail::Put(bytes, dngdetail::EntryOf(bytes, tag) + 4, 4, count);
  return bytes;
}

}  // namespace testsupport

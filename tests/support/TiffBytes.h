#pragma once
// TIFF files made with libtiff's own writer, for the decoder's tests:
// pictures of given samples, in strips or 16 x 16 tiles, one a page.

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "MemoryTiff.h"

namespace testsupport {

struct TiffPicture {
  int width = 0, height = 0;
  int samples = 3, bits = 8;  // per pixel, per sample
  int photometric = PHOTOMETRIC_RGB;
  int alpha = 0;                          // the last sample's EXTRASAMPLE_ kind; 0: none
  bool planes = false;                    // each sample in a plane of its own
  bool tiled = false;
  int compression = COMPRESSION_NONE;
  int orientation = ORIENTATION_TOPLEFT;
  std::vector<std::uint16_t> colormap;    // palette: all reds, all greens, all blues
  std::vector<std::uint8_t> icc;
  bool reduced = false;                   // a reduced copy of another page (a thumbnail)
  // Rows as libtiff takes them (16-bit samples in this machine's order;
  // with planes, one plane after the other); empty: no pixel data at all.
  std::vector<std::uint8_t> data;
};

// One page of the file t writes, its directory written.
inline bool WriteTiffPage(TIFF* t, const TiffPicture& p) {
  if (p.reduced) TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(p.width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(p.height));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, p.samples);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, p.bits);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, p.photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, p.planes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, p.compression);
  TIFFSetField(t, TIFFTAG_ORIENTATION, p.orientation);
  if (p.alpha) {
    const std::uint16_t extra = static_cast<std::uint16_t>(p.alpha);
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  if (!p.colormap.empty()) {
    const std::size_t n = p.colormap.size() / 3;
    TIFFSetField(t, TIFFTAG_COLORMAP, p.colormap.data(), p.colormap.data() + n, p.colormap.data() + 2 * n);
  }
  if (!p.icc.empty()) TIFFSetField(t, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(p.icc.size()), p.icc.data());
  const int perPlane = p.planes ? 1 : p.samples;
  const std::size_t row = (static_cast<std::size_t>(p.width) * perPlane * p.bits + 7) / 8;
  const int planes = p.planes ? p.samples : 1;
  bool ok = true;
  if (p.tiled) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
  } else {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, std::max(1, p.height / 2));  // two strips or more
  }
  for (int plane = 0; plane < planes && !p.data.empty(); ++plane) {
    const std::uint8_t* base = p.data.data() + plane * row * p.height;
    if (!p.tiled) {
      for (int y = 0; y < p.height && ok; ++y)
        ok = TIFFWriteScanline(t, const_cast<std::uint8_t*>(base + y * row), y, plane) >= 0;
      continue;
    }
    const std::size_t pixel = static_cast<std::size_t>(perPlane * p.bits / 8);
    std::vector<std::uint8_t> tile(16 * 16 * pixel);
    for (int ty = 0; ty < p.height; ty += 16)
      for (int tx = 0; tx < p.width; tx += 16) {
        std::fill(tile.begin(), tile.end(), 0);
        for (int y = ty; y < std::min(ty + 16, p.height); ++y)
          for (int x = tx; x < std::min(tx + 16, p.width); ++x)
            std::memcpy(&tile[((y - ty) * 16 + (x - tx)) * pixel], base + y * row + x * pixel, pixel);
        ok = ok && TIFFWriteTile(t, tile.data(), tx, ty, 0, plane) >= 0;
      }
  }
  return TIFFWriteDirectory(t) && ok;
}

inline std::vector<std::uint8_t> TiffBytes(const std::vector<TiffPicture>& pages) {
  MemoryTiff file("test");
  bool ok = true;
  for (const TiffPicture& p : pages) ok = WriteTiffPage(file.get(), p) && ok;
  std::vector<std::uint8_t> bytes = file.Finish();
  if (!ok) throw std::runtime_error("the TIFF writer failed");
  return bytes;
}

inline std::vector<std::uint8_t> TiffBytes(const TiffPicture& p) { return TiffBytes(std::vector<TiffPicture>{p}); }

}  // namespace testsupport

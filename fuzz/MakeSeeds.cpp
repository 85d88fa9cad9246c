// Writes small seed inputs made by this program's own writers: BMP files in
// every pixel format, PNG files of every kind the writer makes, JPEG files,
// WebP files (lossy, lossless, with alpha), GIF files (giflib's encoder:
// plain, interlaced, clear on a larger screen), TIFF files (the writer's
// kinds, and libtiff's writer for the kinds only read), DNG files (16-bit,
// 12-bit packed, turned with a JPEG preview), and a settings file holding
// every key of the table.
//   fuzz_make_seeds <folder>   (fills <folder>/{bmp,jpeg,png,webp,gif,tiff,raw,convert,settings})
#include <webp/encode.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "DngBytes.h"
#include "GifBytes.h"
#include "SeedFiles.h"
#include "TiffBytes.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/png/PngImage.h"
#include "engine/formats/tiff/TiffImage.h"
#include "engine/formats/webp/WebpImage.h"
#include "imaging/Bitmap.h"
#include "ui/core/SettingsKeys.h"

namespace {

using fuzz::WriteSeed;

img::Bitmap PalettePicture(int width, int height, img::PixelFormat format, int colours) {
  img::Bitmap picture(width, height, format);
  picture.palette().resize(static_cast<std::size_t>(colours));
  for (int i = 0; i < colours; ++i)
    picture.palette()[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i * 7),
                                                      static_cast<std::uint8_t>(i * 3),
                                                      static_cast<std::uint8_t>(255 - i), 0};
  const int bits = img::BitsPerPixel(format);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    for (std::size_t b = 0; b < picture.stride(); ++b)
      row[b] = static_cast<std::uint8_t>((b * 29 + static_cast<std::size_t>(y) * 11) &
                                         (bits == 8 ? colours - 1 : 0xFF));
  }
  return picture;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds <folder>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  for (const char* sub : {"bmp", "jpeg", "png", "webp", "gif", "tiff", "raw", "convert", "settings"})
    std::filesystem::create_directories(root / sub);

  const img::Bitmap colour = fuzz::SeedPattern(13, 7);
  std::vector<img::Bitmap> pictures;
  pictures.push_back(PalettePicture(9, 5, img::PixelFormat::Bits1, 2));
  pictures.push_back(PalettePicture(11, 3, img::PixelFormat::Bits4, 16));
  pictures.push_back(PalettePicture(7, 6, img::PixelFormat::Bits8, 64));
  for (auto format : {img::PixelFormat::Bits15, img::PixelFormat::Bits16, img::PixelFormat::Bits24,
                      img::PixelFormat::Bits32}) {
    img::Bitmap copy = colour;
    copy.SetPixelFormat(format);
    pictures.push_back(copy);
  }

  engine::PngImage png;
  engine::JpegImage jpeg;
  int n = 0;
  for (const auto& picture : pictures) {
    const std::string stem = "seed" + std::to_string(n++);
    const auto bmp_bytes = picture.EncodeBmp();
    WriteSeed(root / "bmp" / (stem + ".bmp"), bmp_bytes);
    WriteSeed(root / "convert" / (stem + ".bmp"), bmp_bytes);
    const auto png_bytes = png.Encode(picture);
    WriteSeed(root / "png" / (stem + ".png"), png_bytes);
    WriteSeed(root / "convert" / (stem + ".png"), png_bytes);
  }
  for (int quality : {10, 75, 100}) {
    jpeg.SetQuality(quality);
    const auto bytes = jpeg.Encode(fuzz::SeedPattern(17, 9));
    const std::string name = "seed_q" + std::to_string(quality) + ".jpg";
    WriteSeed(root / "jpeg" / name, bytes);
    WriteSeed(root / "convert" / name, bytes);
  }

  // WebP as imgbatch writes it, and with an alpha channel (which our writer
  // never makes: libwebp's own encoder, the alpha a diagonal ramp).
  engine::WebpImage webp;
  WriteSeed(root / "webp" / "seed_q10.webp", webp.Encode(fuzz::SeedPattern(17, 9), 10, false));
  WriteSeed(root / "webp" / "seed_q90.webp", webp.Encode(fuzz::SeedPattern(17, 9), 90, false));
  WriteSeed(root / "webp" / "seed_lossless.webp", webp.Encode(fuzz::SeedPattern(13, 7), 0, true));
  std::vector<std::uint8_t> bgra(11 * 6 * 4);
  for (std::size_t i = 0; i < bgra.size(); ++i) bgra[i] = static_cast<std::uint8_t>(i * 13);
  for (bool lossless : {false, true}) {
    std::uint8_t* out = nullptr;
    const std::size_t size = lossless ? WebPEncodeLosslessBGRA(bgra.data(), 11, 6, 44, &out)
                                      : WebPEncodeBGRA(bgra.data(), 11, 6, 44, 75, &out);
    WriteSeed(root / "webp" / (lossless ? "seed_alpha_lossless.webp" : "seed_alpha_q75.webp"),
          std::vector<std::uint8_t>(out, out + size));
    WebPFree(out);
  }

  for (int kind = 0; kind < 3; ++kind) {
    testsupport::GifPicture gif;
    gif.width = 11;
    gif.height = 9;
    gif.screenWidth = kind == 2 ? 16 : 11;
    gif.screenHeight = kind == 2 ? 12 : 9;
    gif.left = gif.top = kind == 2 ? 3 : 0;
    for (int i = 0; i < 16; ++i)
      gif.colours.push_back({static_cast<GifByteType>(i * 16), static_cast<GifByteType>(255 - i * 8),
                             static_cast<GifByteType>(i * 5)});
    for (int i = 0; i < gif.width * gif.height; ++i) gif.indices.push_back(static_cast<std::uint8_t>(i * 7 % 16));
    gif.interlaced = kind == 1;
    gif.transparent = kind == 2 ? 5 : -1;
    const char* names[] = {"seed_plain.gif", "seed_interlaced.gif", "seed_clear.gif"};
    WriteSeed(root / "gif" / names[kind], testsupport::GifBytes(gif));
  }

  {
    img::Bitmap clear(13, 7, img::PixelFormat::Bits32Alpha);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13 * 4; ++x) clear.ScanLine(y)[x] = static_cast<std::uint8_t>(x * 19 + y * 7);
    WriteSeed(root / "tiff" / "seed_rgb.tiff", engine::EncodeTiff(colour));
    WriteSeed(root / "tiff" / "seed_alpha.tiff", engine::EncodeTiff(clear));
    img::Bitmap grey = PalettePicture(9, 5, img::PixelFormat::Bits8, 256);
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<std::uint8_t>(i);
      grey.palette()[static_cast<std::size_t>(i)] = {v, v, v, 0};
    }
    WriteSeed(root / "tiff" / "seed_grey.tiff", engine::EncodeTiff(grey));
    struct Kind {
      const char* name;
      int samples, bits, photometric, alpha;
      bool planes, tiled;
      int compression, orientation;
    };
    for (const Kind& k : {Kind{"rgb16", 3, 16, PHOTOMETRIC_RGB, 0, false, false, COMPRESSION_LZW, 1},
                          Kind{"white16", 1, 16, PHOTOMETRIC_MINISWHITE, 0, false, false, COMPRESSION_NONE, 1},
                          Kind{"palette4", 1, 4, PHOTOMETRIC_PALETTE, 0, false, false, COMPRESSION_PACKBITS, 1},
                          Kind{"cmyk", 4, 8, PHOTOMETRIC_SEPARATED, 0, false, false, COMPRESSION_NONE, 1},
                          Kind{"planes", 3, 8, PHOTOMETRIC_RGB, 0, true, false, COMPRESSION_ADOBE_DEFLATE, 1},
                          Kind{"tiles", 4, 8, PHOTOMETRIC_RGB, EXTRASAMPLE_UNASSALPHA, false, true,
                               COMPRESSION_ADOBE_DEFLATE, 6},
                          Kind{"premultiplied", 2, 8, PHOTOMETRIC_MINISBLACK, EXTRASAMPLE_ASSOCALPHA, false, false,
                               COMPRESSION_NONE, 3}}) {
      testsupport::TiffPicture p;
      p.width = 19;
      p.height = 17;
      p.samples = k.samples;
      p.bits = k.bits;
      p.photometric = k.photometric;
      p.alpha = k.alpha;
      p.planes = k.planes;
      p.tiled = k.tiled;
      p.compression = k.compression;
      p.orientation = k.orientation;
      if (k.photometric == PHOTOMETRIC_PALETTE)
        for (int i = 0; i < 48; ++i) p.colormap.push_back(static_cast<std::uint16_t>(i * 1361));
      const std::size_t row = (static_cast<std::size_t>(p.width) * (k.planes ? 1 : k.samples) * k.bits + 7) / 8;
      p.data.resize(row * static_cast<std::size_t>(p.height) * (k.planes ? k.samples : 1));
      for (std::size_t i = 0; i < p.data.size(); ++i) p.data[i] = static_cast<std::uint8_t>(i * 31 + i / 7);
      WriteSeed(root / "tiff" / (std::string("seed_") + k.name + ".tif"), testsupport::TiffBytes(p));
    }
  }

  {
    testsupport::DngPicture dng;
    // LibRaw takes nothing under 22 pixels a side for a raw picture.
    dng.width = 32;
    dng.height = 24;
    dng.colour = [](int x, int y) { return testsupport::LinearColour{x / 32.0, y / 24.0, 0.3}; };
    WriteSeed(root / "raw" / "seed_16bit.dng", testsupport::DngBytes(dng));
    dng.bits = 12;
    WriteSeed(root / "raw" / "seed_12bit.dng", testsupport::DngBytes(dng));
    dng.orientation = 6;
    dng.previewJpeg = engine::JpegImage().Encode(colour);
    dng.previewWidth = colour.width();
    dng.previewHeight = colour.height();
    WriteSeed(root / "raw" / "seed_preview.dng", testsupport::DngBytes(dng));
  }

  // A settings file with every key, then one with sections and values in odd shapes.
  std::string ini;
  std::string section;
  for (const auto& key : ui::settings::AllKeys()) {
    if (key.section != section) {
      section = std::string(key.section);
      ini += "[" + section + "]\r\n";
    }
    ini += std::string(key.name) + "=" + ui::settings::DefaultText(key, "/tmp") + "\r\n";
  }
  WriteSeed(root / "settings" / "all_keys.ini", std::vector<std::uint8_t>(ini.begin(), ini.end()));
  const std::string odd =
      "\xEF\xBB\xBF; comment\n[ Default ]\n  EDTWIDTH = \" 640 \"\nzoomtype=0x1F\nCbJPG=-0\n"
      "[ImgConvert]\nLbRoateType='3'\nLbDocListInd=2147483648\n[default]\nfr\n";
  WriteSeed(root / "settings" / "odd_shapes.ini", std::vector<std::uint8_t>(odd.begin(), odd.end()));
  return 0;
}

#include "engine/formats/PictureFormats.h"
#include "engine/formats/tiff/TiffImage.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/colour/KeptSrgbTransform.h"
#include "engine/metadata/ExifOrientation.h"
#include "engine/metadata/IccColourSpace.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"
#include "imaging/Premultiplied.h"
#include "platform/SystemFiles.h"

namespace engine {

namespace {

// No single buffer libtiff allocates for one picture may pass this: a
// hostile directory cannot ask for more than a picture at the pixel limit
// holds, in 16-bit samples.
constexpr tmsize_t kMaxSingleAlloc = tmsize_t{1} << 30;

// What libtiff reads or writes through: file bytes in memory, an open file
// (header facts), or a growing buffer (the writer).
struct Stream {
  std::span<const std::uint8_t> bytes;
  std::FILE* file = nullptr;
  std::vector<std::uint8_t>* written = nullptr;
  std::uint64_t size = 0;
  std::uint64_t at = 0;
  bool shortRead = false;  // a read ran past the end: a failure then means a cut file
  std::string error;       // libtiff's first error
};

Stream& Of(thandle_t handle) { return *static_cast<Stream*>(handle); }

tmsize_t ReadProc(thandle_t handle, void* into, tmsize_t count) {
  Stream& s = Of(handle);
  const std::uint64_t want = count > 0 ? static_cast<std::uint64_t>(count) : 0;
  const std::uint64_t n = s.at >= s.size ? 0 : std::min(want, s.size - s.at);
  std::uint64_t got = 0;
  if (n > 0 && s.file) {
    if (std::fseek(s.file, static_cast<long>(s.at), SEEK_SET) == 0) got = std::fread(into, 1, n, s.file);
  } else if (n > 0) {
    std::memcpy(into, (s.written ? s.written->data() : s.bytes.data()) + s.at, n);
    got = n;
  }
  s.at += got;
  if (got < want) s.shortRead = true;
  return static_cast<tmsize_t>(got);
}

tmsize_t WriteProc(thandle_t handle, void* from, tmsize_t count) {
  Stream& s = Of(handle);
  if (!s.written || count < 0) return -1;
  const std::uint64_t end = s.at + static_cast<std::uint64_t>(count);
  if (end > s.written->size()) s.written->resize(end);
  std::memcpy(s.written->data() + s.at, from, static_cast<std::size_t>(count));
  s.at = end;
  s.size = s.written->size();
  return count;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  Stream& s = Of(handle);
  const std::uint64_t base = whence == SEEK_CUR ? s.at : whence == SEEK_END ? s.size : 0;
  s.at = base + offset;  // a step back arrives as a wrapped unsigned offset
  return s.at;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return Of(handle).size; }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

int OnError(TIFF*, void* stream, const char*, const char* format, va_list args) {
  Stream& s = *static_cast<Stream*>(stream);
  if (s.error.empty()) {
    std::array<char, 256> text{};
    std::vsnprintf(text.data(), text.size(), format, args);
    s.error = text.data();
  }
  return 1;
}
int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct Closer {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Tiff = std::unique_ptr<TIFF, Closer>;

Tiff Open(Stream& s, const char* mode) {
  // Messages without a handle of their own would go to standard error.
  static const bool silenced = (TIFFSetErrorHandler(nullptr), TIFFSetWarningHandler(nullptr), true);
  (void)silenced;
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(), &TIFFOpenOptionsFree);
  if (!options) throw img::ImageError(img::ErrorCode::OutOfMemory, "TIFF: no memory to open the file");
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnError, &s);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnWarning, &s);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxSingleAlloc);
  return Tiff(TIFFClientOpenExt("tiff", mode, &s, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc,
                                UnmapProc, options.get()));
}

[[noreturn]] void Fail(const Stream& s, const std::string& what) {
  throw img::ImageError(s.shortRead ? img::ErrorCode::Truncated : img::ErrorCode::Format,
                        "TIFF: " + (s.error.empty() ? what : s.error));
}

// The first directory's fields the decoder chooses its way by.
struct Layout {
  std::uint32_t width = 0, height = 0;
  std::uint16_t samples = 1, bits = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
  std::uint16_t orientation = ORIENTATION_TOPLEFT, sampleFormat = SAMPLEFORMAT_UINT;
  std::uint16_t extra = 0;
  bool alpha = false, associated = false;
  std::uint32_t bandRows = 1;  // rows of one strip or one row of tiles
};

Layout ReadLayout(TIFF* tif) {
  Layout l;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric))
    l.photometric = l.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &l.orientation);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
  std::uint16_t* types = nullptr;
  if (TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &l.extra, &types) && l.extra > 0 && types) {
    l.alpha = types[0] == EXTRASAMPLE_ASSOCALPHA || types[0] == EXTRASAMPLE_UNASSALPHA;
    l.associated = types[0] == EXTRASAMPLE_ASSOCALPHA;
  }
  std::uint32_t rows = l.height;
  if (TIFFIsTiled(tif))
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &rows);
  else
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
  l.bandRows = std::clamp<std::uint32_t>(rows, 1, std::max<std::uint32_t>(l.height, 1));
  return l;
}

// Colour samples of the photometrics read sample by sample; 0 for the
// others, which libtiff's RGBA reader takes.
int DirectColours(TIFF* tif, const Layout& l) {
  if (TIFFIsTiled(tif) || l.planar != PLANARCONFIG_CONTIG || (l.bits != 8 && l.bits != 16) ||
      l.sampleFormat != SAMPLEFORMAT_UINT)
    return 0;
  const int colours = l.photometric == PHOTOMETRIC_RGB ? 3
                      : l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE
                          ? 1
                          : 0;
  return colours > 0 && l.samples == colours + (l.alpha ? 1 : 0) ? colours : 0;
}

// 16-bit to 8-bit, rounded to the nearest (v / 257), without a division.
std::uint8_t To8(std::uint16_t v) { return static_cast<std::uint8_t>((v * 255u + 32895u) >> 16); }

// Row y of a strip-read file as 8-bit samples: the row as read, or its
// 16-bit samples (native order, libtiff swaps them) rounded into row8.
const std::uint8_t* ReadRow8(TIFF* tif, Stream& s, int y, int bits, std::size_t samples,
                             std::vector<std::uint8_t>& row, std::vector<std::uint8_t>& row8) {
  if (TIFFReadScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) < 0) Fail(s, "a row cannot be read");
  if (bits != 16) return row.data();
  for (std::size_t i = 0; i < samples; ++i) {
    std::uint16_t v;
    std::memcpy(&v, row.data() + 2 * i, 2);
    row8[i] = To8(v);
  }
  return row8.data();
}

img::Bitmap DecodeDirect(TIFF* tif, const Layout& l, int colours, Stream& s) {
  const int width = static_cast<int>(l.width), height = static_cast<int>(l.height);
  const bool grey = colours == 1 && !l.alpha;
  img::Bitmap picture = img::Bitmap::Unfilled(
      width, height, grey ? img::PixelFormat::Bits8 : l.alpha ? img::PixelFormat::Bits32Alpha : img::PixelFormat::Bits24);
  if (grey) {
    picture.palette().resize(256);
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<std::uint8_t>(i);
      picture.palette()[static_cast<std::size_t>(i)] = {v, v, v, 0};
    }
  }
  const std::size_t samples = static_cast<std::size_t>(width) * l.samples;
  const tmsize_t line = TIFFScanlineSize(tif);
  if (line < static_cast<tmsize_t>(samples * (l.bits / 8))) Fail(s, "rows shorter than their pixels");
  std::vector<std::uint8_t> row(static_cast<std::size_t>(line));
  std::vector<std::uint8_t> row8(l.bits == 16 ? samples : 0);
  const std::uint8_t invert = l.photometric == PHOTOMETRIC_MINISWHITE ? 255 : 0;
  const int bytes = l.alpha ? 4 : 3;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = ReadRow8(tif, s, y, l.bits, samples, row, row8);
    std::uint8_t* out = picture.ScanLine(y);
    if (grey) {
      for (int x = 0; x < width; ++x) out[x] = in[x] ^ invert;
      continue;
    }
    for (int x = 0; x < width; ++x, in += l.samples, out += bytes) {
      if (colours == 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      } else {
        out[0] = out[1] = out[2] = in[0] ^ invert;
      }
      if (l.alpha) out[3] = in[colours];
    }
    if (l.associated) img::UnpremultiplyRow(picture.ScanLine(y), width);
  }
  return picture;
}

// The picture's ICC profile; empty without one.
std::span<const std::uint8_t> IccOf(TIFF* tif) {
  std::uint32_t count = 0;
  void* data = nullptr;
  if (!TIFFGetField(tif, TIFFTAG_ICCPROFILE, &count, &data) || !data) return {};
  return {static_cast<const std::uint8_t*>(data), count};
}

// True for CMYK inks, four samples of 8 or 16 bits a pixel, in strips:
// what the CMYK reader below takes.
bool DirectCmyk(TIFF* tif, const Layout& l) {
  std::uint16_t inks = INKSET_CMYK;
  TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inks);
  return l.photometric == PHOTOMETRIC_SEPARATED && inks == INKSET_CMYK && l.samples == 4 && !TIFFIsTiled(tif) &&
         l.planar == PLANARCONFIG_CONTIG && (l.bits == 8 || l.bits == 16) && l.sampleFormat == SAMPLEFORMAT_UINT;
}

// CMYK through the file's own profile into 24-bit sRGB.
img::Bitmap DecodeCmyk(TIFF* tif, const Layout& l, const SrgbTransform& profile, Stream& s) {
  const int width = static_cast<int>(l.width), height = static_cast<int>(l.height);
  img::Bitmap picture = img::Bitmap::Unfilled(width, height, img::PixelFormat::Bits24);
  const std::size_t samples = static_cast<std::size_t>(width) * 4;
  const tmsize_t line = TIFFScanlineSize(tif);
  if (line < static_cast<tmsize_t>(samples * (l.bits / 8))) Fail(s, "rows shorter than their pixels");
  std::vector<std::uint8_t> row(static_cast<std::size_t>(line));
  std::vector<std::uint8_t> row8(l.bits == 16 ? samples : 0);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = ReadRow8(tif, s, y, l.bits, samples, row, row8);
    profile.Convert(in, picture.ScanLine(y), width);
  }
  return picture;
}

// Palette, CMYK, YCbCr, tiles, separate planes, low bit depths...: through
// libtiff's RGBA reader, one strip or one row of tiles at a time.
img::Bitmap DecodeRgba(TIFF* tif, const Layout& l, Stream& s) {
  // The reader would premultiply unassociated alpha, and unpremultiplying
  // would not give the colours back: it is told the alpha is associated.
  const bool unassociated = l.alpha && !l.associated;
  if (unassociated) {
    std::uint16_t count = 0;
    std::uint16_t* types = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &types) || !types || count == 0)
      Fail(s, "extra samples without their kinds");
    std::vector<std::uint16_t> told(types, types + count);
    told[0] = EXTRASAMPLE_ASSOCALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, count, told.data());
  }
  std::array<char, 1024> message{};
  if (!TIFFRGBAImageOK(tif, message.data()))
    throw img::ImageError(img::ErrorCode::Unsupported, std::string("TIFF: ") + message.data());
  TIFFRGBAImage image{};
  if (!TIFFRGBAImageBegin(&image, tif, 0, message.data())) Fail(s, message.data());
  struct Ender {
    TIFFRGBAImage* image;
    ~Ender() { TIFFRGBAImageEnd(image); }
  } ender{&image};
  // Rows as stored: the orientation is applied by the rule of every format.
  image.orientation = ORIENTATION_TOPLEFT;
  image.req_orientation = ORIENTATION_TOPLEFT;
  const bool alpha = image.alpha != 0;
  const bool premultiplied = image.alpha == EXTRASAMPLE_ASSOCALPHA && !unassociated;
  const int width = static_cast<int>(l.width), height = static_cast<int>(l.height);
  img::Bitmap picture =
      img::Bitmap::Unfilled(width, height, alpha ? img::PixelFormat::Bits32Alpha : img::PixelFormat::Bits24);
  const int bytes = alpha ? 4 : 3;
  const std::uint32_t rows = l.bandRows;
  std::vector<std::uint32_t> band(static_cast<std::size_t>(l.width) * rows);
  for (std::uint32_t y = 0; y < l.height; y += rows) {
    const std::uint32_t n = std::min(rows, l.height - y);
    image.row_offset = static_cast<int>(y);
    image.col_offset = 0;
    if (!TIFFRGBAImageGet(&image, band.data(), l.width, n)) Fail(s, "the picture cannot be read");
    for (std::uint32_t r = 0; r < n; ++r) {
      const std::uint32_t* in = band.data() + static_cast<std::size_t>(r) * l.width;
      std::uint8_t* line = picture.ScanLine(static_cast<int>(y + r));
      std::uint8_t* out = line;
      for (int x = 0; x < width; ++x, out += bytes) {
        out[0] = static_cast<std::uint8_t>(TIFFGetB(in[x]));
        out[1] = static_cast<std::uint8_t>(TIFFGetG(in[x]));
        out[2] = static_cast<std::uint8_t>(TIFFGetR(in[x]));
        if (alpha) out[3] = static_cast<std::uint8_t>(TIFFGetA(in[x]));
      }
      if (premultiplied) img::UnpremultiplyRow(line, width);
    }
  }
  return picture;
}

// EXIF data holding IFD0 with the Orientation tag alone, little-endian.
std::vector<std::uint8_t> ExifHolding(std::uint16_t orientation) {
  return {'I', 'I', 42, 0, 8, 0, 0, 0,                                  // header, IFD0 at 8
          1, 0,                                                         // one entry
          0x12, 0x01, 3, 0, 1, 0, 0, 0, static_cast<std::uint8_t>(orientation), 0, 0, 0,  // SHORT
          0, 0, 0, 0};                                                  // no next IFD
}

void ReadMetadata(TIFF* tif, const Layout& l, PictureMetadata& metadata) {
  std::uint32_t count = 0;
  void* data = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &count, &data) && data && count > 0) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    metadata.icc.assign(p, p + count);
  }
  if (TIFFGetField(tif, TIFFTAG_XMLPACKET, &count, &data) && data && count > 0) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    metadata.xmp.assign(p, p + count);
  }
  if (l.orientation >= 2 && l.orientation <= 8) metadata.exif = ExifHolding(l.orientation);
}

// The file's pages: its directories but those a later one's reduced copy
// (FILETYPE_REDUCEDIMAGE: a thumbnail), the first always one. Leaves tif on
// the directory of page (0 the first); throws where the file has fewer.
// Only the directories are read, no pixels; a broken one ends the count
// without failing the pages before it.
int ToPage(TIFF* tif, Stream& s, int page) {
  const Stream before = s;
  const tdir_t directories = TIFFNumberOfDirectories(tif);
  int count = 1;
  tdir_t asked = 0;
  if (directories > 1) {
    for (tdir_t dir = 1; dir < directories && TIFFSetDirectory(tif, dir); ++dir) {
      std::uint32_t type = 0;
      TIFFGetFieldDefaulted(tif, TIFFTAG_SUBFILETYPE, &type);
      if (type & FILETYPE_REDUCEDIMAGE) continue;
      if (count == page) asked = dir;
      ++count;
    }
    // Counting past a broken directory is no failure of the page read.
    s.error = before.error;
    s.shortRead = before.shortRead;
  }
  CheckPageHeld(page, count, "page");
  if (directories > 1 && !TIFFSetDirectory(tif, asked)) Fail(s, "the page cannot be read");
  return count;
}

}  // namespace

bool IsTiff(PictureHead head) {
  if (head.size() < 4) return false;
  return (head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0) ||
         (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43));
}

int DecodeTiff(std::span<const std::uint8_t> file, img::Bitmap& out, PictureMetadata* metadata, int page,
               std::string* colour_note, KeptSrgbTransform* kept) {
  Stream s;
  s.bytes = file;
  s.size = file.size();
  Tiff tif = Open(s, "rm");
  if (!tif) Fail(s, "not a TIFF file");
  const int pages = ToPage(tif.get(), s, page);
  const Layout l = ReadLayout(tif.get());
  img::CheckPictureSize(l.width, l.height);
  const int colours = DirectColours(tif.get(), l);
  const std::span<const std::uint8_t> icc = IccOf(tif.get());
  KeptSrgbTransform made_here;
  KeptSrgbTransform& transforms = kept ? *kept : made_here;
  const bool separated = l.photometric == PHOTOMETRIC_SEPARATED;
  const SrgbTransform* cmyk = separated && !icc.empty() ? &transforms.For(icc, ProfiledPixels::Cmyk) : nullptr;
  const bool profiled = cmyk && *cmyk;
  const bool direct = profiled && DirectCmyk(tif.get(), l);
  img::Bitmap picture = colours ? DecodeDirect(tif.get(), l, colours, s)
                        : direct ? DecodeCmyk(tif.get(), l, *cmyk, s)
                                 : DecodeRgba(tif.get(), l, s);
  if (colour_note && separated && !direct)
    *colour_note = profiled ? "CMYK profile not applied to tiles, planes or alpha: converted by formula"
                            : kCmykByFormula;
  if (metadata) ReadMetadata(tif.get(), l, *metadata);
  std::swap(out, picture);
  return pages;
}

std::vector<std::uint8_t> EncodeTiff(const img::Bitmap& picture, const PictureMetadata* carried) {
  if (picture.empty()) throw img::ImageError(img::ErrorCode::InvalidArgument, "TIFF: a picture without pixels");
  const bool grey = picture.IsGrey();
  const bool alpha = picture.format() == img::PixelFormat::Bits32Alpha;
  img::Bitmap copy;
  const img::Bitmap* source = &picture;
  if (!grey && !alpha && picture.format() != img::PixelFormat::Bits24) {
    copy = picture;
    copy.ConvertTo24();
    source = &copy;
  }
  const std::uint32_t width = static_cast<std::uint32_t>(picture.width());
  const std::uint32_t height = static_cast<std::uint32_t>(picture.height());
  const int samples = grey ? 1 : alpha ? 4 : 3;

  std::vector<std::uint8_t> bytes;
  Stream s;
  s.written = &bytes;
  Tiff tif = Open(s, "w");
  auto fail = [&s]() {
    throw img::ImageError(img::ErrorCode::Internal, "TIFF: " + (s.error.empty() ? "cannot be encoded" : s.error));
  };
  if (!tif) fail();
  TIFF* t = tif.get();
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  // Strips of about 256 KB: large enough for Deflate to find its matches.
  const std::uint32_t rowBytes = width * static_cast<std::uint32_t>(samples);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, std::clamp<std::uint32_t>((256u << 10) / rowBytes, 1, height));
  if (alpha) {
    const std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  if (carried) {
    if (IccProfileFits(carried->icc, grey))
      TIFFSetField(t, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(carried->icc.size()), carried->icc.data());
    if (!carried->xmp.empty())
      TIFFSetField(t, TIFFTAG_XMLPACKET, static_cast<std::uint32_t>(carried->xmp.size()), carried->xmp.data());
    // Pixels kept as stored keep the turn they are to be seen with.
    const int orientation = ReadExifOrientation(carried->exif);
    if (orientation >= 2) TIFFSetField(t, TIFFTAG_ORIENTATION, orientation);
  }

  std::array<std::uint8_t, 256> level{};
  if (grey)
    for (std::size_t i = 0; i < std::min<std::size_t>(256, source->palette().size()); ++i)
      level[i] = source->palette()[i].red;
  std::vector<std::uint8_t> row(rowBytes);
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = source->ScanLine(static_cast<int>(y));
    std::uint8_t* out = row.data();
    if (grey) {
      for (std::uint32_t x = 0; x < width; ++x) out[x] = level[in[x]];
    } else {
      const int bytesIn = alpha ? 4 : 3;
      for (std::uint32_t x = 0; x < width; ++x, in += bytesIn, out += samples) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        if (alpha) out[3] = in[3];
      }
    }
    if (TIFFWriteScanline(t, row.data(), y, 0) < 0) fail();
  }
  if (!TIFFWriteDirectory(t)) fail();
  tif.reset();
  return bytes;
}

namespace {

// The transform of the last CMYK picture's profile.
struct TiffKept : PictureCodecs::Kept {
  KeptSrgbTransform cmyk;
  void HandBack() override { cmyk.Clear(); }
};

}  // namespace

PictureSize LoadTiff(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  std::string colour_note;
  codecs.NotePictures(DecodeTiff(img::ReadWholeFile(path), picture, codecs.MetadataPlace(), codecs.Page(),
                                 &colour_note, &codecs.KeptOf<TiffKept>().cmyk),
                      "page");
  if (!colour_note.empty()) codecs.Warn(std::move(colour_note));
  return {picture.width(), picture.height()};
}

void WriteTiff(PictureCodecs& codecs, const img::Bitmap& picture, const img::TargetFile& path,
               img::ProgressSink& sink, img::ParallelParts&) {
  sink.StepProgress();
  img::WriteFileAtomically(path, EncodeTiff(picture, codecs.CarriedMetadata()));
}

HeaderFacts TiffFacts(PictureHead head, const std::filesystem::path& path) {
  HeaderFacts facts;
  if (!IsTiff(head)) return facts;
  // The directory is often written after the pixels, past any head.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(img::OpenSourceFile(path), &std::fclose);
  if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return facts;
  const long size = std::ftell(file.get());
  if (size <= 0) return facts;
  Stream s;
  s.file = file.get();
  s.size = static_cast<std::uint64_t>(size);
  Tiff tif = Open(s, "rm");
  if (!tif) return facts;
  const Layout l = ReadLayout(tif.get());
  facts.width = l.width;
  facts.height = l.height;
  const int colours = DirectColours(tif.get(), l);
  if (l.alpha || (!colours && l.extra > 0)) {
    facts.decoded = facts.worked = 4;
    facts.alpha = true;
  } else if (colours == 1) {
    facts.decoded = facts.worked = 1;
  }
  // One strip or row of tiles, decoded, and the RGBA reader's copy of it.
  facts.decoder = static_cast<std::uint64_t>(l.width) * l.bandRows * (l.samples * ((l.bits + 7) / 8) + 4u);
  if (l.orientation >= 1 && l.orientation <= 8) facts.orientation = l.orientation;
  facts.oriented = facts.orientation >= 2;
  return facts;
}

namespace {

// TIFF keeps its file in memory as JPEG does and copies palette pictures to 24 bits.
constexpr WriterNeed kTiffNeed{.workPicture = true, .encodedHalf = true};

constexpr PictureFormat kTiff[] = {
    {"tif", ".tif", IsTiff, LoadTiff, WriteTiff, TiffFacts, nullptr, kTiffNeed, AlphaKept::Any, false},
    {"tiff", ".tiff", IsTiff, LoadTiff, WriteTiff, TiffFacts, nullptr, kTiffNeed, AlphaKept::Any, false},
};

}  // namespace

std::span<const PictureFormat> TiffFormats() { return kTiff; }

}  // namespace engine

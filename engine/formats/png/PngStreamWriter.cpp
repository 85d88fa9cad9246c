#include "engine/formats/png/PngStreamWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <span>

#include "engine/metadata/IccColourSpace.h"
#include "engine/formats/png/PngRowFilter.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

namespace engine {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kColourGrey = 0;
constexpr std::uint8_t kColourRgb = 2;
constexpr std::uint8_t kColourPalette = 3;
constexpr std::uint8_t kColourRgba = 6;

// The PNG colour type a picture is written as.
std::uint8_t ColourTypeOf(const img::Bitmap& picture) {
  if (picture.IsGrey()) return kColourGrey;
  if (img::HasPalette(picture.format())) return kColourPalette;
  return img::HasAlpha(picture.format()) ? kColourRgba : kColourRgb;
}

std::uint8_t Expand5(unsigned v) { return static_cast<std::uint8_t>((v * 255 + 15) / 31); }
std::uint8_t Expand6(unsigned v) { return static_cast<std::uint8_t>((v * 255 + 31) / 63); }

// Pixels [x0, x1) of a row with alpha as r, g, b, a bytes.
void RowToRgba(const std::uint8_t* row, int x0, int x1, std::uint8_t* dst) {
  for (const std::uint8_t* s = row + 4 * x0; x0 < x1; ++x0, s += 4, dst += 4) {
    dst[0] = s[2];
    dst[1] = s[1];
    dst[2] = s[0];
    dst[3] = s[3];
  }
}

// Pixels [x0, x1) of a row of a non-palette format as r, g, b bytes.
void RowToRgb(const std::uint8_t* row, int x0, int x1, img::PixelFormat format,
              std::uint8_t* dst) {
  switch (format) {
    case img::PixelFormat::Bits24:
      for (const std::uint8_t* s = row + 3 * x0; x0 < x1; ++x0, s += 3, dst += 3) {
        dst[0] = s[2];
        dst[1] = s[1];
        dst[2] = s[0];
      }
      break;
    case img::PixelFormat::Bits32:
      for (const std::uint8_t* s = row + 4 * x0; x0 < x1; ++x0, s += 4, dst += 3) {
        dst[0] = s[2];
        dst[1] = s[1];
        dst[2] = s[0];
      }
      break;
    case img::PixelFormat::Bits15:
      for (; x0 < x1; ++x0, dst += 3) {
        const unsigned v = row[2 * x0] | (row[2 * x0 + 1] << 8);
        dst[0] = Expand5((v >> 10) & 31);
        dst[1] = Expand5((v >> 5) & 31);
        dst[2] = Expand5(v & 31);
      }
      break;
    case img::PixelFormat::Bits16:
      for (; x0 < x1; ++x0, dst += 3) {
        const unsigned v = row[2 * x0] | (row[2 * x0 + 1] << 8);
        dst[0] = Expand5((v >> 11) & 31);
        dst[1] = Expand6((v >> 5) & 63);
        dst[2] = Expand5(v & 31);
      }
      break;
    default:
      break;
  }
}

// The PNG's uncompressed image data, one filter byte 0 before each row,
// produced on demand for any byte range so workers never need a copy of the
// whole picture.
class ImageData {
 public:
  explicit ImageData(const img::Bitmap& picture)
      : picture_(picture), colour_(ColourTypeOf(picture)), row_bytes_(RowBytes(picture, colour_)) {
    if (colour_ == kColourGrey) {
      // Each index as the level its palette entry names (black past its end).
      for (std::size_t i = 0; i < picture.palette().size() && i < 256; ++i) {
        level_[i] = picture.palette()[i].red;
        ramp_ = ramp_ && level_[i] == i;
      }
      ramp_ = ramp_ && picture.palette().size() >= 256;
    }
  }

  std::uint64_t size() const {
    return static_cast<std::uint64_t>(row_bytes_ + 1) * static_cast<std::uint64_t>(picture_.height());
  }
  std::size_t row_bytes() const { return row_bytes_; }
  // A pixel's bytes as the filters count them: 1 for pixels smaller than a byte.
  std::size_t bytes_per_pixel() const { return colour_ == kColourRgba ? 4 : colour_ == kColourRgb ? 3 : 1; }

  void Read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    std::size_t done = 0;
    while (done < out.size()) {
      const std::uint64_t pos = offset + done;
      const int y = static_cast<int>(pos / (row_bytes_ + 1));
      const std::size_t column = static_cast<std::size_t>(pos % (row_bytes_ + 1));
      if (column == 0) {
        out[done++] = 0;  // filter type None
        continue;
      }
      const std::size_t from = column - 1;
      const std::size_t to = std::min(row_bytes_, from + (out.size() - done));
      FillRow(y, from, to, out.data() + done);
      done += to - from;
    }
  }

  // Bytes [from, to) of row y's data.
  void FillRow(int y, std::size_t from, std::size_t to, std::uint8_t* dst) const {
    const std::uint8_t* row = picture_.ScanLine(y);
    switch (colour_) {
      case kColourPalette:
        // BMP packs 1 and 4-bit indices most significant first, as PNG does.
        std::memcpy(dst, row + from, to - from);
        return;
      case kColourGrey:
        if (ramp_)
          std::memcpy(dst, row + from, to - from);
        else
          for (std::size_t i = from; i < to; ++i) *dst++ = level_[row[i]];
        return;
      case kColourRgba:
        FillPixels<4>(row, from, to, dst, [](const std::uint8_t* r, int x0, int x1, std::uint8_t* d) {
          RowToRgba(r, x0, x1, d);
        });
        return;
      default:
        FillPixels<3>(row, from, to, dst, [this](const std::uint8_t* r, int x0, int x1, std::uint8_t* d) {
          RowToRgb(r, x0, x1, picture_.format(), d);
        });
        return;
    }
  }

 private:
  static std::size_t RowBytes(const img::Bitmap& picture, std::uint8_t colour) {
    const auto width = static_cast<std::size_t>(picture.width());
    switch (colour) {
      case kColourPalette: return (width * img::BitsPerPixel(picture.format()) + 7) / 8;
      case kColourGrey: return width;
      case kColourRgba: return width * 4;
      default: return width * 3;
    }
  }

  // Bytes [from, to) of a row of Bytes-byte pixels that convert(row, x0, x1,
  // out) writes whole; a range that cuts a pixel goes through a copy.
  template <int Bytes, typename Convert>
  static void FillPixels(const std::uint8_t* row, std::size_t from, std::size_t to, std::uint8_t* dst,
                         const Convert& convert) {
    const int x0 = static_cast<int>(from / Bytes), x1 = static_cast<int>((to + Bytes - 1) / Bytes);
    if (from % Bytes == 0 && to % Bytes == 0) {
      convert(row, x0, x1, dst);
      return;
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(x1 - x0) * Bytes);
    convert(row, x0, x1, pixels.data());
    std::memcpy(dst, pixels.data() + from % Bytes, to - from);
  }

  const img::Bitmap& picture_;
  const std::uint8_t colour_;
  const std::size_t row_bytes_;
  std::uint8_t level_[256] = {};  // grey: the level of each index
  bool ramp_ = true;              // grey: each index is its own level
};

// The image data with each row filtered, read in order by one chunk's
// deflate: the row being read is kept, filtered, with the unfiltered row
// above it, so each row is made once per chunk. A read that jumps (a
// chunk's first) makes the row above afresh.
class FilteredRows {
 public:
  FilteredRows(const ImageData& data, const PngRowFilter& filter) : data_(data), filter_(filter) {}

  void Read(std::uint64_t offset, std::span<std::uint8_t> out) {
    const std::size_t row_bytes = data_.row_bytes();
    if (filtered_.empty()) {
      above_.resize(row_bytes);
      row_.resize(row_bytes);
      filtered_.resize(row_bytes + 1);
    }
    std::size_t done = 0;
    while (done < out.size()) {
      const std::uint64_t pos = offset + done;
      const std::uint64_t y = pos / (row_bytes + 1);
      if (static_cast<std::int64_t>(y) != y_) Make(static_cast<int>(y));
      const std::size_t column = static_cast<std::size_t>(pos - y * (row_bytes + 1));
      const std::size_t n = std::min(filtered_.size() - column, out.size() - done);
      std::memcpy(out.data() + done, filtered_.data() + column, n);
      done += n;
    }
  }

 private:
  void Make(int y) {
    const std::size_t row_bytes = data_.row_bytes();
    if (y_ >= 0 && y == y_ + 1)
      std::swap(above_, row_);
    else if (y > 0)
      data_.FillRow(y - 1, 0, row_bytes, above_.data());
    else
      std::fill(above_.begin(), above_.end(), std::uint8_t{0});
    data_.FillRow(y, 0, row_bytes, row_.data());
    filtered_[0] = filter_.Filter(row_.data(), above_.data(), filtered_.data() + 1);
    y_ = y;
  }

  const ImageData& data_;
  const PngRowFilter& filter_;
  img::UnfilledBytes above_, row_;  // unfiltered: the row above y_ and row y_
  img::UnfilledBytes filtered_;     // row y_'s filter type and filtered bytes
  std::int64_t y_ = -1;
};

// A reader of its own for each chunk (ChunkReaderMaker).
RawReader FilteredReader(const ImageData& data, const PngRowFilter& filter) {
  return [rows = FilteredRows(data, filter)](std::uint64_t offset, std::span<std::uint8_t> out) mutable {
    rows.Read(offset, out);
  };
}

unsigned HighestIndex(const img::Bitmap& picture) {
  unsigned highest = 0;
  const int bits = img::BitsPerPixel(picture.format());
  const int per_byte = 8 / bits;
  const unsigned mask = (1u << bits) - 1;
  for (int y = 0; y < picture.height(); ++y) {
    const std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < picture.width(); ++x) {
      const int shift = 8 - bits * (x % per_byte + 1);
      highest = std::max(highest, (row[x / per_byte] >> shift) & mask);
    }
  }
  return highest;
}

// The palette as PLTE holds it: the picture's entries, at most 2^depth, and
// enough of them to cover every index the pixels use. Indices past a short
// palette are black, as the picture itself shows them.
std::vector<std::uint8_t> PaletteBytes(const img::Bitmap& picture) {
  const std::size_t limit = std::size_t{1} << img::BitsPerPixel(picture.format());
  const auto& palette = picture.palette();
  std::size_t count = std::min(palette.size(), limit);
  if (count < limit) count = std::max<std::size_t>(count, HighestIndex(picture) + 1);
  std::vector<std::uint8_t> bytes(count * 3, 0);
  for (std::size_t i = 0; i < std::min(count, palette.size()); ++i) {
    bytes[3 * i] = palette[i].red;
    bytes[3 * i + 1] = palette[i].green;
    bytes[3 * i + 2] = palette[i].blue;
  }
  return bytes;
}

void PutBigEndian32(std::uint8_t* out, std::uint32_t v) {
  out[0] = static_cast<std::uint8_t>(v >> 24);
  out[1] = static_cast<std::uint8_t>(v >> 16);
  out[2] = static_cast<std::uint8_t>(v >> 8);
  out[3] = static_cast<std::uint8_t>(v);
}

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.resize(out.size() + 4);
  PutBigEndian32(out.data() + out.size() - 4, v);
}

// One chunk: its length, type, data and the CRC-32 of type and data.
void PutChunk(const PngStreamWriter::FileSink& out, const char (&type)[5], std::span<const std::uint8_t> data) {
  std::uint8_t head[8];
  PutBigEndian32(head, static_cast<std::uint32_t>(data.size()));
  std::memcpy(head + 4, type, 4);
  uLong crc = crc32(crc32(0, Z_NULL, 0), head + 4, 4);
  if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  std::uint8_t tail[4];
  PutBigEndian32(tail, static_cast<std::uint32_t>(crc));
  out(head);
  if (!data.empty()) out(data);
  out(tail);
}

// Cuts the image data's zlib stream into IDAT chunks of kIdatBytes, the last
// one shorter, as its pieces arrive. A piece that holds a whole chunk goes
// out as it is; the rest wait in a buffer of one chunk.
class IdatWriter {
 public:
  explicit IdatWriter(const PngStreamWriter::FileSink& out) : out_(out) {}

  void Add(std::span<const std::uint8_t> piece) {
    while (!piece.empty()) {
      if (pending_.empty() && piece.size() >= PngStreamWriter::kIdatBytes) {
        PutChunk(out_, "IDAT", piece.first(PngStreamWriter::kIdatBytes));
        piece = piece.subspan(PngStreamWriter::kIdatBytes);
        continue;
      }
      if (pending_.capacity() == 0) pending_.reserve(PngStreamWriter::kIdatBytes);
      const std::size_t n = std::min(PngStreamWriter::kIdatBytes - pending_.size(), piece.size());
      pending_.insert(pending_.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
      piece = piece.subspan(n);
      if (pending_.size() == PngStreamWriter::kIdatBytes) Flush();
    }
  }

  void Flush() {
    if (!pending_.empty()) PutChunk(out_, "IDAT", pending_);
    pending_.clear();
  }

 private:
  const PngStreamWriter::FileSink& out_;
  img::UnfilledBytes pending_;
};

// iCCP's data: a profile name, its zero, compression method 0 and the
// profile deflated.
std::vector<std::uint8_t> IccChunkData(const std::vector<std::uint8_t>& profile) {
  static constexpr char kName[] = "ICC profile";
  std::vector<std::uint8_t> data(kName, kName + sizeof kName);  // with the zero
  data.push_back(0);
  const std::size_t header = data.size();
  uLongf packed = compressBound(static_cast<uLong>(profile.size()));
  data.resize(header + packed);
  if (compress2(data.data() + header, &packed, profile.data(), static_cast<uLong>(profile.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK)
    throw img::ImageError(img::ErrorCode::TooLarge, "the ICC profile cannot be deflated");
  data.resize(header + packed);
  return data;
}

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(std::span<const std::uint8_t> text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::uint8_t lead = text[i];
    const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                                 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      if ((text[i + k] & 0xC0) != 0x80) return false;
      code = code << 6 | (text[i + k] & 0x3F);
    }
    static constexpr std::uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// A text chunk's data under keyword: iTXt (UTF-8, uncompressed, no language)
// for text beyond ASCII that is UTF-8, else tEXt, whose text is Latin-1.
// Neither holds a zero byte: the text ends at its first.
void PutTextChunk(const PngStreamWriter::FileSink& out, const char* keyword,
                  const std::vector<std::uint8_t>& text) {
  const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
  const std::span<const std::uint8_t> body(text.data(), static_cast<std::size_t>(end - text.begin()));
  const bool international =
      std::any_of(body.begin(), body.end(), [](std::uint8_t b) { return b >= 0x80; }) && IsUtf8(body);
  std::vector<std::uint8_t> data(keyword, keyword + std::strlen(keyword) + 1);  // with its zero
  if (international) data.insert(data.end(), {0, 0, 0, 0});  // not compressed, method, no language, no translation
  data.insert(data.end(), body.begin(), body.end());
  PutChunk(out, international ? "iTXt" : "tEXt", data);
}

// All before PLTE and IDAT, where readers look for them.
void PutMetadataChunks(const PngStreamWriter::FileSink& out, const PictureMetadata& metadata, bool grey) {
  if (IccProfileFits(metadata.icc, grey)) PutChunk(out, "iCCP", IccChunkData(metadata.icc));
  if (!metadata.exif.empty()) PutChunk(out, "eXIf", metadata.exif);
  if (!metadata.xmp.empty()) {
    // XMP is UTF-8 by definition: always iTXt, as readers look for it.
    static constexpr char kKeyword[] = "XML:com.adobe.xmp";
    std::vector<std::uint8_t> data(kKeyword, kKeyword + sizeof kKeyword);
    data.insert(data.end(), {0, 0, 0, 0});
    data.insert(data.end(), metadata.xmp.begin(), metadata.xmp.end());
    PutChunk(out, "iTXt", data);
  }
  if (!metadata.comment.empty()) PutTextChunk(out, "Comment", metadata.comment);
}

}  // namespace

void PngStreamWriter::Write(const img::Bitmap& picture, img::ParallelParts& parts, const FileSink& out) const {
  if (picture.empty())
    throw img::ImageError(img::ErrorCode::InvalidArgument, "an empty picture has no PNG form");
  const std::uint8_t colour = ColourTypeOf(picture);
  const bool palette = colour == kColourPalette;

  std::vector<std::uint8_t> header;
  PutBigEndian32(header, static_cast<std::uint32_t>(picture.width()));
  PutBigEndian32(header, static_cast<std::uint32_t>(picture.height()));
  header.push_back(static_cast<std::uint8_t>(palette ? img::BitsPerPixel(picture.format()) : 8));
  header.push_back(colour);
  header.push_back(0);  // deflate
  header.push_back(0);  // filter method 0: each row names its own filter type
  header.push_back(0);  // not interlaced

  out(kSignature);
  PutChunk(out, "IHDR", header);
  if (metadata_) PutMetadataChunks(out, *metadata_, colour == kColourGrey);
  if (palette) PutChunk(out, "PLTE", PaletteBytes(picture));

  const ImageData data(picture);
  IdatWriter idat(out);
  const StreamSink to_idat = [&idat](std::span<const std::uint8_t> piece) { idat.Add(piece); };
  // Palette rows stay unfiltered, as libpng leaves them by default: their
  // indices have no order for a filter to find.
  if (filtering_ == PngFiltering::Adaptive && !palette) {
    const PngRowFilter filter(data.row_bytes(), data.bytes_per_pixel(), picture.height());
    DeflateSettings settings = settings_;
    settings.filtered_rows = true;
    DeflateParallel(data.size(), [&data, &filter] { return FilteredReader(data, filter); }, settings, parts,
                    to_idat);
  } else {
    DeflateParallel(
        data.size(), [&data](std::uint64_t offset, std::span<std::uint8_t> raw) { data.Read(offset, raw); },
        settings_, parts, to_idat);
  }
  idat.Flush();
  PutChunk(out, "IEND", {});
}

std::vector<std::uint8_t> PngStreamWriter::Encode(const img::Bitmap& picture,
                                                  img::ParallelParts& parts) const {
  std::vector<std::uint8_t> file;
  Write(picture, parts, [&file](std::span<const std::uint8_t> piece) { file.insert(file.end(), piece.begin(), piece.end()); });
  return file;
}

std::vector<std::uint8_t> PngStreamWriter::Encode(const img::Bitmap& picture) const {
  img::SerialParts parts;
  return Encode(picture, parts);
}

void PngStreamWriter::Save(const img::Bitmap& picture, const img::TargetFile& path,
                           img::ParallelParts& parts) const {
  img::WriteFileAtomically(path, [&](std::FILE* file) {
    Write(picture, parts, [&](std::span<const std::uint8_t> piece) { img::WriteBytes(file, piece, path.path); });
  });
}

void PngStreamWriter::Save(const img::Bitmap& picture, const img::TargetFile& path) const {
  img::SerialParts parts;
  Save(picture, path, parts);
}

}  // namespace engine

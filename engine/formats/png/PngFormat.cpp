// PNG's entry of the format table, and its header read at both depths
// through one walk of its chunks: the head for the memory estimate, the
// whole file for the EXIF orientation libpng will find.

#include <zlib.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/formats/ByteOrder.h"
#include "engine/formats/PictureFormats.h"
#include "engine/formats/png/PngImage.h"
#include "engine/metadata/ExifOrientation.h"
#include "platform/FileIO.h"
#include "platform/SystemFiles.h"

namespace engine {

namespace {

// libpng keeps no ancillary chunk larger than this (PngImage's limit).
constexpr std::uint32_t kMaxPngChunk = 8u << 20;

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsPng(PictureHead head) { return head.size() >= 8 && std::equal(kSignature, kSignature + 8, head.begin()); }

// The chunks after the signature, from the file's head or through the file.
class PngChunks {
 public:
  explicit PngChunks(PictureHead head) : head_(head), at_(8) {}
  explicit PngChunks(std::FILE* file) : file_(file) { ok_ = std::fseek(file_, 8, SEEK_SET) == 0; }

  // The next chunk's length and type; false where no whole chunk header is left.
  bool Next(std::uint32_t& length, std::array<char, 4>& type) {
    std::array<std::uint8_t, 8> header;
    if (!Read(header.data(), header.size())) return false;
    length = Big32(header.data());
    std::memcpy(type.data(), &header[4], 4);
    return true;
  }
  // The chunk's data, and its CRC unless data_only; false when they are cut short.
  bool Data(std::uint32_t length, std::vector<std::uint8_t>& data, bool data_only = false) {
    data.resize(static_cast<std::size_t>(length) + (data_only ? 0 : 4));
    return Read(data.data(), data.size());
  }
  // Past the chunk's data and CRC; false when that is past the end.
  bool Skip(std::uint32_t length) {
    if (file_)  // two steps: a long is 32 bits on Windows
      return ok_ = ok_ && std::fseek(file_, static_cast<long>(length), SEEK_CUR) == 0 && std::fseek(file_, 4, SEEK_CUR) == 0;
    at_ += static_cast<std::size_t>(length) + 4;
    return at_ <= head_.size();
  }

 private:
  bool Read(std::uint8_t* out, std::size_t count) {
    if (file_) return ok_ = ok_ && std::fread(out, 1, count, file_) == count;
    if (at_ > head_.size() || head_.size() - at_ < count) return false;
    std::memcpy(out, &head_[at_], count);
    at_ += count;
    return true;
  }

  PictureHead head_;
  std::size_t at_ = 0;
  std::FILE* file_ = nullptr;
  bool ok_ = true;
};

bool Is(const std::array<char, 4>& type, const char* name) { return std::memcmp(type.data(), name, 4) == 0; }

// At the head's depth: an eXIf among the chunks before the image data says
// whether the picture is turned; one the head cuts short, or a head that
// ends before the image data, may turn it. An eXIf after the image data is
// not seen.
bool PngOriented(PictureHead head) {
  PngChunks chunks(head);
  std::uint32_t length;
  std::array<char, 4> type;
  std::vector<std::uint8_t> data;
  while (chunks.Next(length, type)) {
    if (Is(type, "IDAT")) return false;
    if (Is(type, "eXIf")) {
      if (!chunks.Data(length, data, true)) return true;
      return ReadExifOrientation(std::span(data.data(), length)) >= 2;
    }
    if (!chunks.Skip(length)) return true;
  }
  return true;
}

// Through the file: the first eXIf chunk libpng keeps, one whose CRC holds
// and whose data begin with a byte order ("II" or "MM"); a chunk it drops
// leaves the next one its chance. Chunks are walked to IEND, past the
// image data, as libpng reads on to the end.
int PngOrientation(PictureHead, const std::filesystem::path& file) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(img::OpenSourceFile(file), &std::fclose);
  if (!in) return 0;
  PngChunks chunks(in.get());
  std::uint32_t length;
  std::array<char, 4> type;
  std::vector<std::uint8_t> data;
  while (chunks.Next(length, type)) {
    if (length > 0x7FFFFFFFu || Is(type, "IEND")) return 0;  // no PNG chunk is longer
    if (!Is(type, "eXIf") || length < 2 || length > kMaxPngChunk) {
      if (!chunks.Skip(length)) return 0;
      continue;
    }
    if (!chunks.Data(length, data)) return 0;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
    crc = crc32(crc, data.data(), static_cast<uInt>(length));
    const bool whole = crc == Big32(&data[length]);
    const bool ordered = (data[0] == 'I' || data[0] == 'M') && data[1] == data[0];
    if (whole && ordered) return ReadExifOrientation(std::span(data.data(), length));
  }
  return 0;
}

HeaderFacts PngFacts(PictureHead head, const std::filesystem::path&) {
  HeaderFacts facts;
  if (head.size() < 33 || !IsPng(head) || std::memcmp(&head[12], "IHDR", 4) != 0) return facts;
  facts.width = Big32(&head[16]);
  facts.height = Big32(&head[20]);
  const int depth = head[24], colour = head[25];
  // Transparency is an alpha channel or a tRNS chunk before the image data;
  // not told within the head, the worse is assumed.
  bool transparency = (colour & 4) != 0;
  PngChunks chunks(head);
  std::uint32_t length;
  std::array<char, 4> type;
  while (!transparency) {
    if (!chunks.Next(length, type)) {
      transparency = true;
      break;
    }
    if (Is(type, "IDAT")) break;
    if (Is(type, "tRNS")) transparency = true;
    chunks.Skip(length);
  }
  if (transparency) {
    facts.decoded = facts.worked = 4;
    facts.alpha = true;
  } else if (colour == 0) {
    facts.decoded = facts.worked = 1;
  } else if (colour == 3) {
    facts.decoded = 1;
  }
  if (head[28] != 0 && colour == 3 && depth == 2 && !transparency)
    facts.decoder = static_cast<std::uint64_t>(facts.width) * static_cast<std::uint64_t>(facts.height);
  facts.oriented = PngOriented(head);
  return facts;
}

// libpng's reader and our writer, kept between pictures.
struct PngKept : PictureCodecs::Kept {
  PngImage codec;
  std::size_t Bytes() const override { return codec.KeptBytes(); }
  void HandBack() override { codec.HandBack(); }
};

PictureSize LoadPng(PictureCodecs& codecs, const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  PngImage& codec = codecs.KeptOf<PngKept>().codec;
  codec.KeepDamaged(codecs.KeepsDamaged());
  codec.Load(path, picture, codecs.MetadataPlace());
  codecs.NoteDamage(codec.Damage());
  return {picture.width(), picture.height()};
}

void WritePng(PictureCodecs& codecs, const img::Bitmap& picture, const img::TargetFile& path, img::ProgressSink& sink,
              img::ParallelParts& parts) {
  sink.StepProgress();
  PngImage& codec = codecs.KeptOf<PngKept>().codec;
  codec.SetCompression(codecs.EncoderSettings().pngLevel, codecs.EncoderSettings().pngFiltering);
  codec.Save(picture, path, parts, codecs.CarriedMetadata());
}

// The decoded picture is written as it is.
constexpr PictureFormat kPng[] = {
    {"png", ".png", IsPng, LoadPng, WritePng, PngFacts, PngOrientation, {}, AlphaKept::Any, true},
};

}  // namespace

std::span<const PictureFormat> PngFormats() { return kPng; }

}  // namespace engine

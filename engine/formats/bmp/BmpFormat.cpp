// BMP's entry of the format table: imaging's Bitmap reads and writes it in
// every pixel format a BMP file holds.

#include <algorithm>
#include <span>

#include "engine/formats/ByteOrder.h"
#include "engine/formats/PictureFormats.h"

namespace engine {

namespace {

bool IsBmp(PictureHead head) { return head.size() >= 2 && head[0] == 'B' && head[1] == 'M'; }

PictureSize LoadBmp(PictureCodecs&, const std::filesystem::path& path, img::Bitmap& picture, PictureSize) {
  picture.LoadFromFile(path);
  return {picture.width(), picture.height()};
}

void WriteBmp(PictureCodecs&, const img::Bitmap& picture, const img::TargetFile& path, img::ProgressSink&,
              img::ParallelParts&) {
  picture.SaveToFile(path);
}

HeaderFacts BmpFacts(PictureHead head, const std::filesystem::path&) {
  HeaderFacts facts;
  if (head.size() < 14 + 16 || !IsBmp(head)) return facts;
  const std::uint8_t* info = &head[14];
  const std::uint32_t size = Little32(info);
  int bits = 0;
  if (size == 12) {  // OS/2 1.x: 16-bit sizes
    facts.width = Little16(info + 4);
    facts.height = Little16(info + 6);
    bits = static_cast<int>(Little16(info + 10));
  } else {
    facts.width = static_cast<std::int32_t>(Little32(info + 4));
    facts.height = static_cast<std::int32_t>(Little32(info + 8));
    if (facts.height < 0) facts.height = -facts.height;
    bits = static_cast<int>(Little16(info + 14));
    // An alpha mask: in a V3 to V5 header, or after a plain one with ALPHABITFIELDS.
    const std::uint32_t compression = head.size() >= 14 + 20 ? Little32(info + 16) : 0;
    const std::size_t mask_at = size >= 56 ? 14 + 52 : 14 + 40 + 12;
    facts.alpha = (compression == 3 || compression == 6) && (size >= 56 || compression == 6) &&
                  head.size() >= mask_at + 4 && Little32(&head[mask_at]) != 0;
  }
  facts.decoded = bits <= 8 ? 1 : bits == 32 || facts.alpha ? 4 : 3;
  facts.worked = facts.alpha ? 4 : 3;
  return facts;
}

// The decoded picture is written as it is.
constexpr PictureFormat kBmp[] = {
    {"bmp", ".bmp", IsBmp, LoadBmp, WriteBmp, BmpFacts, nullptr, {}, AlphaKept::OwnKind, true},
};

}  // namespace

std::span<const PictureFormat> BmpFormats() { return kBmp; }

}  // namespace engine

#include "engine/formats/jpeg/JpegMarkers.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string_view>

namespace engine {

namespace {

constexpr std::uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kApp0 = 0xE0, kCom = 0xFE;

// The names the loader reads its metadata by, and the two structural ones.
constexpr std::string_view kExif("Exif\0\0", 6);
constexpr std::string_view kXmp("http://ns.adobe.com/xap/1.0/\0", 29);
constexpr std::string_view kIcc("ICC_PROFILE\0", 12);
constexpr std::string_view kJfif("JFIF\0", 5);
constexpr std::string_view kAdobe("Adobe", 5);

bool Named(std::span<const std::uint8_t> data, std::string_view name) {
  return data.size() >= name.size() && std::memcmp(data.data(), name.data(), name.size()) == 0;
}

bool IsFrameHeader(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// One marker segment: the marker and the data after its length.
struct Segment {
  std::size_t start = 0, end = 0;  // its bytes in the file, 0xFF to the data's end
  std::uint8_t marker = 0;
  std::span<const std::uint8_t> data;
};

// What becomes of a segment: left out, kept as it is, or written anew with
// the carried bytes after its name.
enum class Fate { Keep, Drop, Rewrite };

class Filter {
 public:
  explicit Filter(const PictureMetadata& carried) : carried_(carried) {}

  Fate Of(const Segment& s) {
    if (s.marker == kCom) return Once(comment_, {}, carried_.comment);
    if (s.marker == kApp0 + 1 && Named(s.data, kExif) && s.data.size() > kExif.size())
      return Once(exif_, kExif, carried_.exif);
    if (s.marker == kApp0 + 1 && Named(s.data, kXmp) && s.data.size() > kXmp.size())
      return Once(xmp_, kXmp, carried_.xmp);
    if (s.marker == kApp0 + 2 && Named(s.data, kIcc) && s.data.size() >= kIcc.size() + 2) {
      // Joined in the order of their numbers, and compared once all are read.
      icc_[s.data[kIcc.size()]].assign(s.data.begin() + static_cast<std::ptrdiff_t>(kIcc.size()) + 2, s.data.end());
      return carried_.icc.empty() ? Fate::Drop : Fate::Keep;
    }
    if ((s.marker == kApp0 && Named(s.data, kJfif)) || (s.marker == kApp0 + 14 && Named(s.data, kAdobe)))
      return Fate::Keep;
    if (s.marker >= kApp0 && s.marker <= kApp0 + 15) return Fate::Drop;
    return Fate::Keep;
  }

  // The name and the bytes a rewritten segment carries.
  std::string_view name() const { return name_; }
  const std::vector<std::uint8_t>& bytes() const { return *bytes_; }

  // True when every part carried went into a segment.
  bool CarriedAll() const {
    std::vector<std::uint8_t> icc;
    for (const auto& [number, part] : icc_) icc.insert(icc.end(), part.begin(), part.end());
    return (carried_.exif.empty() || exif_.written) && (carried_.xmp.empty() || xmp_.written) &&
           (carried_.comment.empty() || comment_.written) && (carried_.icc.empty() || icc == carried_.icc);
  }

 private:
  // The first marker of a kind is the one the loader read; it carries what
  // the metadata rules left of it (an orientation reset included).
  struct Kind {
    bool met = false;      // its first marker went by
    bool written = false;  // the carried part went into it
  };
  Fate Once(Kind& kind, std::string_view name, const std::vector<std::uint8_t>& carried) {
    const bool first = !kind.met;
    kind.met = true;
    if (!first || carried.empty()) return Fate::Drop;
    kind.written = true;
    name_ = name;
    bytes_ = &carried;
    return Fate::Rewrite;
  }

  const PictureMetadata& carried_;
  Kind exif_, xmp_, comment_;
  std::map<std::uint8_t, std::vector<std::uint8_t>> icc_;
  std::string_view name_;
  const std::vector<std::uint8_t>* bytes_ = nullptr;
};

// The end of the coded data that start at pos: the 0xFF of the first
// marker that is neither a stuffed 0xFF nor a restart marker.
std::size_t CodedDataEnd(std::span<const std::uint8_t> file, std::size_t pos) {
  for (; pos + 1 < file.size(); ++pos) {
    if (file[pos] != 0xFF) continue;
    const std::uint8_t next = file[pos + 1];
    if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
      ++pos;
      continue;
    }
    if (next != 0xFF) return pos;
  }
  return file.size();
}

}  // namespace

std::optional<JpegStream> WithCarriedMarkers(std::span<const std::uint8_t> file, const PictureMetadata& carried) {
  if (file.size() < 4 || file[0] != 0xFF || file[1] != kSoi) return std::nullopt;
  JpegStream stream;
  stream.bytes.reserve(file.size());
  stream.bytes.insert(stream.bytes.end(), file.begin(), file.begin() + 2);
  Filter filter(carried);
  bool framed = false;
  std::size_t pos = 2;
  while (pos < file.size()) {
    // Bytes between segments and fill bytes go as they are: the loader takes them.
    std::size_t at = pos;
    while (at + 1 < file.size() && !(file[at] == 0xFF && file[at + 1] != 0xFF)) ++at;
    if (at + 1 >= file.size()) return std::nullopt;  // no end marker
    const std::uint8_t marker = file[at + 1];
    if (marker == kEoi) {
      stream.bytes.insert(stream.bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(pos),
                          file.begin() + static_cast<std::ptrdiff_t>(at) + 2);
      if (!framed || !filter.CarriedAll()) return std::nullopt;
      return stream;
    }
    Segment s{pos, at + 2, marker, {}};
    if (!(marker >= 0xD0 && marker <= 0xD7) && marker != 0x01) {
      if (at + 4 > file.size()) return std::nullopt;
      const std::size_t length = std::size_t{file[at + 2]} << 8 | file[at + 3];
      if (length < 2 || at + 2 + length > file.size()) return std::nullopt;
      s.end = at + 2 + length;
      s.data = file.subspan(at + 4, length - 2);
    }
    if (IsFrameHeader(marker)) {
      if (s.data.size() < 6) return std::nullopt;
      stream.height = s.data[1] << 8 | s.data[2];
      stream.width = s.data[3] << 8 | s.data[4];
      stream.components = s.data[5];
      stream.progressive = (marker & 0x03) == 0x02;  // SOF2, SOF6, SOF10, SOF14
      framed = true;
    }
    if (marker == kSos) {
      if (!framed) return std::nullopt;
      s.end = CodedDataEnd(file, s.end);
    }
    switch (filter.Of(s)) {
      case Fate::Keep:
        stream.bytes.insert(stream.bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(s.start),
                            file.begin() + static_cast<std::ptrdiff_t>(s.end));
        break;
      case Fate::Rewrite: {
        // The same bytes as the file's own where the part is as it was.
        const std::size_t length = 2 + filter.name().size() + filter.bytes().size();
        if (length > 0xFFFF) return std::nullopt;
        stream.bytes.insert(stream.bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(s.start),
                            file.begin() + static_cast<std::ptrdiff_t>(at) + 2);
        stream.bytes.push_back(static_cast<std::uint8_t>(length >> 8));
        stream.bytes.push_back(static_cast<std::uint8_t>(length));
        stream.bytes.insert(stream.bytes.end(), filter.name().begin(), filter.name().end());
        stream.bytes.insert(stream.bytes.end(), filter.bytes().begin(), filter.bytes().end());
        break;
      }
      case Fate::Drop:
        break;
    }
    pos = s.end;
  }
  return std::nullopt;
}

}  // namespace engine

#include "engine/formats/heif/HeifFrames.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>

// ISO/IEC 14496-12 (boxes), 23008-12 (HEIF items), H.265 7.3.2.2 (SPS) and
// AV1 5.5 (sequence header), read only as far as the sizes; every read is
// bounded by its box, and anything out of bounds ends the reading.

namespace engine {

namespace {

using Bytes = std::span<const std::uint8_t>;

struct Malformed {};

// Big-endian fields of a byte range.
class Reader {
 public:
  explicit Reader(Bytes bytes) : bytes_(bytes) {}

  bool AtEnd() const { return pos_ >= bytes_.size(); }
  std::size_t Left() const { return bytes_.size() - pos_; }
  std::uint64_t Read(std::size_t n) {
    if (n > Left()) throw Malformed{};
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = v << 8 | bytes_[pos_++];
    return v;
  }
  std::uint32_t U8() { return static_cast<std::uint32_t>(Read(1)); }
  std::uint32_t U16() { return static_cast<std::uint32_t>(Read(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Read(4)); }
  Bytes Take(std::size_t n) {
    if (n > Left()) throw Malformed{};
    const Bytes part = bytes_.subspan(pos_, n);
    pos_ += n;
    return part;
  }
  Bytes Rest() { return Take(Left()); }

 private:
  Bytes bytes_;
  std::size_t pos_ = 0;
};

struct Box {
  std::string type;
  Bytes body;
};

// The next box of in (a size of 0 reaches to the end).
Box NextBox(Reader& in) {
  const std::size_t left = in.Left();
  std::uint64_t size = in.U32();
  const Bytes type = in.Take(4);
  if (size == 1) size = in.Read(8);
  else if (size == 0) size = left;
  const std::size_t header = left - in.Left();
  if (size < header || size - header > in.Left()) throw Malformed{};
  return {std::string(type.begin(), type.end()), in.Take(static_cast<std::size_t>(size - header))};
}

// The boxes one after the other in bytes.
std::vector<Box> Boxes(Bytes bytes) {
  std::vector<Box> boxes;
  Reader in(bytes);
  while (!in.AtEnd()) boxes.push_back(NextBox(in));
  return boxes;
}

// Bits of an RBSP or an OBU, first bit first.
class BitReader {
 public:
  explicit BitReader(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::uint32_t Bits(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      if (bit_ >= bytes_.size() * 8) throw Malformed{};
      v = v << 1 | ((bytes_[bit_ / 8] >> (7 - bit_ % 8)) & 1u);
      ++bit_;
    }
    return v;
  }
  void Skip(int n) {
    for (int i = 0; i < n; ++i) Bits(1);
  }
  // Exp-Golomb ue(v) and AV1's uvlc(): leading zeros, a one, that many bits.
  std::uint32_t Golomb() {
    int zeros = 0;
    while (Bits(1) == 0)
      if (++zeros > 31) throw Malformed{};
    return static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + Bits(zeros));
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t bit_ = 0;
};

struct Size {
  std::uint32_t width = 0, height = 0;
};

void Widen(Size& size, std::uint32_t width, std::uint32_t height) {
  size.width = std::max(size.width, width);
  size.height = std::max(size.height, height);
}

// An HEVC NAL unit (header included): the size of a base-layer SPS.
void HevcNal(Bytes nal, Size& coded) {
  if (nal.size() < 2 || ((nal[0] >> 1) & 0x3F) != 33 || (((nal[0] & 1) << 5) | (nal[1] >> 3)) != 0) return;
  // The RBSP: each 00 00 03 stands for 00 00.
  std::vector<std::uint8_t> rbsp;
  int zeros = 0;
  for (std::size_t i = 2; i < nal.size(); ++i) {
    if (zeros >= 2 && nal[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = nal[i] == 0 ? zeros + 1 : 0;
    rbsp.push_back(nal[i]);
  }
  BitReader sps(std::move(rbsp));
  sps.Skip(4);
  const int sub_layers = static_cast<int>(sps.Bits(3));
  sps.Skip(1 + 88 + 8);  // nesting flag, the general profile, its level
  std::vector<std::pair<bool, bool>> present(static_cast<std::size_t>(sub_layers));
  for (auto& [profile, level] : present) {
    profile = sps.Bits(1) != 0;
    level = sps.Bits(1) != 0;
  }
  if (sub_layers > 0) sps.Skip(2 * (8 - sub_layers));
  for (const auto& [profile, level] : present) sps.Skip((profile ? 88 : 0) + (level ? 8 : 0));
  sps.Golomb();
  if (sps.Golomb() == 3) sps.Skip(1);  // 4:4:4 has a separate-planes flag
  const std::uint32_t width = sps.Golomb();
  Widen(coded, width, sps.Golomb());
}

// AV1 OBUs one after the other: the largest size a sequence header allows.
void Av1Obus(Bytes obus, Size& coded) {
  Reader in(obus);
  while (!in.AtEnd()) {
    const std::uint32_t header = in.U8();
    if (header & 0x04) in.U8();  // the extension's temporal and spatial ids
    std::uint64_t size = in.Left();
    if (header & 0x02) {
      size = 0;
      for (int i = 0;; ++i) {
        const std::uint32_t byte = in.U8();
        size |= std::uint64_t{byte & 0x7F} << (7 * i);
        if (!(byte & 0x80)) break;
        if (i == 7) throw Malformed{};
      }
    }
    if (size > in.Left()) throw Malformed{};
    const Bytes payload = in.Take(static_cast<std::size_t>(size));
    if (((header >> 3) & 0x0F) != 1) continue;
    BitReader seq(std::vector<std::uint8_t>(payload.begin(), payload.end()));
    seq.Skip(4);  // profile, still picture
    if (seq.Bits(1)) {
      seq.Skip(5);
    } else {
      bool decoder_model = false;
      int delay_bits = 0;
      if (seq.Bits(1)) {  // timing info
        seq.Skip(64);
        if (seq.Bits(1)) seq.Golomb();
        decoder_model = seq.Bits(1) != 0;
        if (decoder_model) {
          delay_bits = static_cast<int>(seq.Bits(5)) + 1;
          seq.Skip(32 + 5 + 5);
        }
      }
      const bool display_delay = seq.Bits(1) != 0;
      const int points = static_cast<int>(seq.Bits(5)) + 1;
      for (int i = 0; i < points; ++i) {
        seq.Skip(12);
        if (seq.Bits(5) > 7) seq.Skip(1);
        if (decoder_model && seq.Bits(1)) seq.Skip(2 * delay_bits + 1);
        if (display_delay && seq.Bits(1)) seq.Skip(4);
      }
    }
    const int width_bits = static_cast<int>(seq.Bits(4)) + 1, height_bits = static_cast<int>(seq.Bits(4)) + 1;
    const std::uint32_t width = seq.Bits(width_bits) + 1;
    Widen(coded, width, seq.Bits(height_bits) + 1);
  }
}

// What the meta box tells of the items.
class Meta {
 public:
  Meta(Bytes file, Bytes meta) : file_(file), data_left_(2 * std::uint64_t{file.size()} + 65536) {
    Reader full(meta);
    full.U32();  // version and flags
    for (const Box& box : Boxes(full.Rest())) {
      if (box.type == "pitm") Primary(box.body);
      else if (box.type == "iinf") Infos(box.body);
      else if (box.type == "iloc") Locations(box.body);
      else if (box.type == "iref") References(box.body);
      else if (box.type == "idat") idat_ = box.body;
      else if (box.type == "iprp") Properties(box.body);
    }
  }

  std::uint32_t primary() const { return primary_; }

  // The frames item id is decoded from, depth items deep at most.
  void Frames(std::uint32_t id, int depth, std::vector<HeifFrame>& frames) const {
    const auto item = types_.find(id);
    if (item == types_.end() || depth > 4) throw Malformed{};
    const std::string& type = item->second;
    HeifFrame frame;
    const Size declared = Declared(id);
    frame.declaredWidth = declared.width;
    frame.declaredHeight = declared.height;
    if (type == "hvc1" || type == "av01") {
      Size coded;
      const std::vector<std::uint8_t> data = Data(id);
      if (type == "hvc1") Hevc(id, data, coded);
      else Av1(id, data, coded);
      frame.codedWidth = coded.width;
      frame.codedHeight = coded.height;
      frames.push_back(frame);
      return;
    }
    if (type != "grid" && type != "iovl" && type != "iden") throw Malformed{};
    if (type != "iden") {
      const std::vector<std::uint8_t> data = Data(id);
      Reader in(data);
      const std::uint32_t version = in.U8(), flags = in.U8();
      if (version != 0) throw Malformed{};
      if (type == "grid") in.U16();  // rows and columns
      else in.Take(8);               // the canvas's fill colour
      const std::size_t field = flags & 1 ? 4 : 2;
      frame.codedWidth = static_cast<std::uint32_t>(in.Read(field));
      frame.codedHeight = static_cast<std::uint32_t>(in.Read(field));
      frames.push_back(frame);
    }
    const auto parts = references_.find({id, "dimg"});
    if (parts == references_.end()) throw Malformed{};
    for (std::uint32_t part : parts->second) {
      Frames(part, depth + 1, frames);
      if (type == "iden") break;
    }
  }

  // The items whose alpha libheif decodes with item id.
  std::vector<std::uint32_t> Alphas(std::uint32_t id) const {
    std::vector<std::uint32_t> alphas;
    for (const auto& [from, to] : references_) {
      if (from.second != "auxl" || std::find(to.begin(), to.end(), id) == to.end()) continue;
      for (std::uint32_t index : PropertiesOf(from.first)) {
        const Box& property = property_boxes_[index - 1];
        if (property.type != "auxC" || property.body.size() < 4) continue;
        const std::string_view urn(reinterpret_cast<const char*>(property.body.data()) + 4, property.body.size() - 4);
        const std::string_view name = urn.substr(0, urn.find('\0'));
        if (name == "urn:mpeg:hevc:2015:auxid:1" || name == "urn:mpeg:avc:2015:auxid:1" ||
            name == "urn:mpeg:mpegB:cicp:systems:auxiliary:alpha")
          alphas.push_back(from.first);
      }
    }
    return alphas;
  }

 private:
  struct Extent {
    std::uint64_t offset = 0, length = 0;
  };
  struct Location {
    int method = 0;
    std::vector<Extent> extents;
  };

  static std::uint32_t Id(Reader& in, std::uint32_t version) { return version == 0 ? in.U16() : in.U32(); }

  void Primary(Bytes body) {
    Reader in(body);
    primary_ = Id(in, in.U32() >> 24);
  }

  void Infos(Bytes body) {
    Reader in(body);
    const std::uint32_t version = in.U32() >> 24;
    if (version == 0) in.U16();
    else in.U32();
    for (const Box& box : Boxes(in.Rest())) {
      if (box.type != "infe") continue;
      Reader entry(box.body);
      const std::uint32_t entry_version = entry.U32() >> 24;
      if (entry_version < 2) continue;
      const std::uint32_t id = entry_version == 2 ? entry.U16() : entry.U32();
      entry.U16();  // protection
      const Bytes type = entry.Take(4);
      types_[id] = std::string(type.begin(), type.end());
    }
  }

  void Locations(Bytes body) {
    Reader in(body);
    const std::uint32_t version = in.U32() >> 24;
    if (version > 2) throw Malformed{};
    const std::uint32_t sizes = in.U8(), more = in.U8();
    const std::size_t offset_size = sizes >> 4, length_size = sizes & 15, base_size = more >> 4;
    const std::size_t index_size = version == 0 ? 0 : more & 15;
    for (std::size_t size : {offset_size, length_size, base_size, index_size})
      if (size != 0 && size != 4 && size != 8) throw Malformed{};
    const std::uint32_t count = version < 2 ? in.U16() : in.U32();
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t id = version < 2 ? in.U16() : in.U32();
      Location location;
      if (version > 0) location.method = static_cast<int>(in.U16() & 15);
      in.U16();  // data reference
      const std::uint64_t base = in.Read(base_size);
      const std::uint32_t extents = in.U16();
      for (std::uint32_t e = 0; e < extents; ++e) {
        in.Read(index_size);
        const std::uint64_t offset = in.Read(offset_size), length = in.Read(length_size);
        if (offset > UINT64_MAX - base) throw Malformed{};
        location.extents.push_back({base + offset, length});
      }
      locations_[id] = std::move(location);
    }
  }

  void References(Bytes body) {
    Reader in(body);
    const std::uint32_t version = in.U32() >> 24;
    for (const Box& box : Boxes(in.Rest())) {
      Reader refs(box.body);
      while (!refs.AtEnd()) {
        const std::uint32_t from = Id(refs, version);
        const std::uint32_t count = refs.U16();
        std::vector<std::uint32_t>& to = references_[{from, box.type}];
        for (std::uint32_t i = 0; i < count; ++i) to.push_back(Id(refs, version));
      }
    }
  }

  void Properties(Bytes body) {
    for (const Box& box : Boxes(body)) {
      if (box.type == "ipco") {
        property_boxes_ = Boxes(box.body);
      } else if (box.type == "ipma") {
        Reader in(box.body);
        const std::uint32_t full = in.U32();
        const std::uint32_t version = full >> 24;
        const bool wide = full & 1;
        const std::uint32_t entries = in.U32();
        for (std::uint32_t i = 0; i < entries; ++i) {
          const std::uint32_t id = Id(in, version);
          const std::uint32_t count = in.U8();
          std::vector<std::uint32_t>& indices = properties_[id];
          for (std::uint32_t a = 0; a < count; ++a)
            indices.push_back(wide ? in.U16() & 0x7FFF : in.U8() & 0x7F);
        }
      }
    }
  }

  std::vector<std::uint32_t> PropertiesOf(std::uint32_t id) const {
    std::vector<std::uint32_t> indices;
    if (const auto found = properties_.find(id); found != properties_.end())
      for (std::uint32_t index : found->second)
        if (index >= 1 && index <= property_boxes_.size()) indices.push_back(index);
    return indices;
  }

  const Box* Property(std::uint32_t id, const char* type) const {
    for (std::uint32_t index : PropertiesOf(id))
      if (property_boxes_[index - 1].type == type) return &property_boxes_[index - 1];
    return nullptr;
  }

  Size Declared(std::uint32_t id) const {
    const Box* ispe = Property(id, "ispe");
    if (!ispe) return {};
    Reader in(ispe->body);
    in.U32();
    const std::uint32_t width = in.U32();
    return {width, in.U32()};
  }

  // Bytes read for the frames, item data and codec configurations alike,
  // may come to twice the file in all: a hostile file's tiles and extents
  // could repeat its bytes many thousand times.
  void Charge(std::uint64_t bytes) const {
    if (bytes > data_left_) throw Malformed{};
    data_left_ -= bytes;
  }

  // The item's bytes, its extents one after the other.
  std::vector<std::uint8_t> Data(std::uint32_t id) const {
    const auto found = locations_.find(id);
    if (found == locations_.end()) throw Malformed{};
    const Location& location = found->second;
    if (location.method > 1) throw Malformed{};
    const Bytes from = location.method == 0 ? file_ : idat_;
    std::vector<std::uint8_t> data;
    for (const Extent& extent : location.extents) {
      if (extent.offset > from.size()) throw Malformed{};
      const std::uint64_t length = extent.length == 0 ? from.size() - extent.offset : extent.length;
      if (length > from.size() - extent.offset) throw Malformed{};
      Charge(length);
      data.insert(data.end(), from.begin() + static_cast<std::ptrdiff_t>(extent.offset),
                  from.begin() + static_cast<std::ptrdiff_t>(extent.offset + length));
    }
    return data;
  }

  // The parameter sets of hvcC, then the NAL units of the data, each after
  // its length in the bytes hvcC says.
  void Hevc(std::uint32_t id, Bytes data, Size& coded) const {
    const Box* config = Property(id, "hvcC");
    if (!config) throw Malformed{};
    Charge(config->body.size() + 1);
    Reader in(config->body);
    in.Take(21);
    const std::size_t length_size = (in.U8() & 3) + 1;
    const std::uint32_t arrays = in.U8();
    for (std::uint32_t a = 0; a < arrays; ++a) {
      in.U8();
      const std::uint32_t units = in.U16();
      for (std::uint32_t u = 0; u < units; ++u) HevcNal(in.Take(in.U16()), coded);
    }
    Reader nals(data);
    while (!nals.AtEnd()) HevcNal(nals.Take(static_cast<std::size_t>(nals.Read(length_size))), coded);
  }

  // The OBUs of av1C after its four bytes, then those of the data.
  void Av1(std::uint32_t id, Bytes data, Size& coded) const {
    const Box* config = Property(id, "av1C");
    if (!config) throw Malformed{};
    Charge(config->body.size() + 1);
    Reader in(config->body);
    in.Take(4);
    Av1Obus(in.Rest(), coded);
    Av1Obus(data, coded);
  }

  Bytes file_, idat_;
  mutable std::uint64_t data_left_;
  std::uint32_t primary_ = 0;
  std::map<std::uint32_t, std::string> types_;
  std::map<std::uint32_t, Location> locations_;
  std::map<std::pair<std::uint32_t, std::string>, std::vector<std::uint32_t>> references_;
  std::vector<Box> property_boxes_;
  std::map<std::uint32_t, std::vector<std::uint32_t>> properties_;
};

std::uint64_t RoundedUp(std::uint32_t side) { return (std::uint64_t{side} + 63) / 64 * 64; }

}  // namespace

bool HeifFrame::CodedLarger() const {
  return codedWidth > RoundedUp(declaredWidth) || codedHeight > RoundedUp(declaredHeight);
}

HeifFrames PrimaryHeifFrames(std::span<const std::uint8_t> file) {
  HeifFrames read;
  try {
    // The file's boxes up to its meta box; what follows it is not read.
    Reader in(file);
    while (!in.AtEnd()) {
      const Box box = NextBox(in);
      if (box.type != "meta") continue;
      const Meta meta(file, box.body);
      meta.Frames(meta.primary(), 0, read.frames);
      for (std::uint32_t alpha : meta.Alphas(meta.primary())) meta.Frames(alpha, 0, read.frames);
      read.complete = true;
      break;
    }
  } catch (const Malformed&) {
  }
  return read;
}

}  // namespace engine

#include "engine/formats/PictureFormats.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"

namespace engine {

// Each codec's folder gives its entries (a format whose library a build
// may leave out gives none there). A new format: its folder, and its line
// here and in the list below.
std::span<const PictureFormat> BmpFormats();
std::span<const PictureFormat> JpegFormats();
std::span<const PictureFormat> PngFormats();
std::span<const PictureFormat> WebpFormats();
std::span<const PictureFormat> TiffFormats();
std::span<const PictureFormat> GifFormats();
std::span<const PictureFormat> HeifFormats();
std::span<const PictureFormat> JxlFormats();
std::span<const PictureFormat> RawFormats();

namespace {

// In the order a picture's targets are written.
constexpr std::span<const PictureFormat> (*kCodecs[])() = {BmpFormats,  JpegFormats, PngFormats,  WebpFormats, TiffFormats,
                                                             GifFormats,  HeifFormats, JxlFormats,  RawFormats};

// Built once, at first use.
const std::vector<PictureFormat>& Table() {
  static const std::vector<PictureFormat> table = [] {
    std::vector<PictureFormat> t;
    for (auto formats : kCodecs) {
      const std::span<const PictureFormat> entries = formats();
      t.insert(t.end(), entries.begin(), entries.end());
    }
    if (t.size() > FormatTicks::kMostFormats) std::abort();  // FormatTicks would not hold them
    return t;
  }();
  return table;
}

std::size_t PlaceOf(const PictureFormat& format) { return static_cast<std::size_t>(&format - Table().data()); }

}  // namespace

std::span<const PictureFormat> PictureFormats() { return Table(); }

const PictureFormat& FormatNamed(std::string_view name) {
  for (const PictureFormat& f : Table())
    if (name == f.name) return f;
  throw std::invalid_argument("no picture format is named " + std::string(name));
}

FormatTicks::FormatTicks() : FormatTicks(Named({"bmp", "jpg", "jpeg", "png"})) {}

FormatTicks FormatTicks::Nothing() { return FormatTicks(std::bitset<kMostFormats>()); }

FormatTicks FormatTicks::Named(std::initializer_list<std::string_view> names) {
  FormatTicks ticks = Nothing();
  for (std::string_view name : names) ticks.Set(name, true);
  return ticks;
}

bool FormatTicks::Has(const PictureFormat& format) const { return ticks_.test(PlaceOf(format)); }
void FormatTicks::Set(const PictureFormat& format, bool ticked) { ticks_.set(PlaceOf(format), ticked); }
void FormatTicks::Set(std::string_view name, bool ticked) { Set(FormatNamed(name), ticked); }

bool KeepsAlpha(const PictureFormat& target, const PictureFormat& source) {
  return target.keepsAlpha == AlphaKept::Any ||
         (target.keepsAlpha == AlphaKept::OwnKind && SameKind(target, source));
}

const PictureFormat* FindFormatByExtension(const std::string& ext) {
  const std::string lower = img::AsciiLower(ext);
  for (const PictureFormat& f : Table())
    if (lower == f.extension) return &f;
  return nullptr;
}

const PictureFormat* FindFormatByName(const std::string& name) {
  for (const PictureFormat& f : Table())
    if (f.write && name == f.name) return &f;
  return nullptr;
}

const PictureFormat* ChooseLoader(std::span<const std::uint8_t> head, const std::string& path) {
  const PictureFormat* named = FindFormatByExtension(img::ExtensionOf(path));
  if (named && named->isA(head)) return named;
  for (const PictureFormat& f : Table())
    if (f.isA(head)) return &f;
  return named;
}

// The JPEG extensions first, then the others in table order: the order in
// which the folder listing has always checked them.
std::vector<std::string> ListingExtensions(bool (*picked)(const PictureFormat&)) {
  std::vector<const PictureFormat*> order;
  for (const PictureFormat& f : Table())
    if (picked(f)) order.push_back(&f);
  std::stable_partition(order.begin(), order.end(),
                        [](const PictureFormat* f) { return SameKind(*f, FormatNamed("jpg")); });
  std::vector<std::string> extensions;
  for (const PictureFormat* f : order) extensions.push_back(f->extension);
  return extensions;
}

const std::vector<std::string>& PictureExtensions() {
  static const std::vector<std::string> all = ListingExtensions([](const PictureFormat&) { return true; });
  return all;
}

PictureSize LoadPicture(const std::string& path, img::Bitmap& picture, PictureSize fit,
                        PictureCodecs* codecs, const PictureFormat** loader) {
  const std::filesystem::path file = img::PathFromUtf8(path);
  const PictureFormat* format = ChooseLoader(img::ReadFileHead(file, kSignatureBytes), path);
  if (!format)
    throw img::ImageError(img::ErrorCode::Unsupported, path + ": not a picture of a kind this program reads");
  std::optional<PictureCodecs> temporary;
  if (!codecs) codecs = &temporary.emplace();
  if (loader) *loader = format;
  return format->load(*codecs, file, picture, fit);
}

}  // namespace engine

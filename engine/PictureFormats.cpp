#include "engine/PictureFormats.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "engine/GifImage.h"
#include "engine/HeifImage.h"
#include "engine/TiffImage.h"
#include "engine/TextUtil.h"
#include "imaging/FileIO.h"
#include "imaging/ImageError.h"

namespace engine {

namespace {

using C = PictureCodecs;
using Head = std::span<const std::uint8_t>;

bool StartsWith(Head head, std::initializer_list<std::uint8_t> bytes, std::size_t at = 0) {
  return head.size() >= at + bytes.size() && std::equal(bytes.begin(), bytes.end(), head.begin() + at);
}
bool IsBmp(Head head) { return StartsWith(head, {'B', 'M'}); }
bool IsJpeg(Head head) { return StartsWith(head, {0xFF, 0xD8, 0xFF}); }
bool IsPng(Head head) { return StartsWith(head, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}); }
bool IsWebp(Head head) { return StartsWith(head, {'R', 'I', 'F', 'F'}) && StartsWith(head, {'W', 'E', 'B', 'P'}, 8); }

// The codec set's loaders and writers as the table's plain functions.
template <PictureSize (C::*Load)(const std::filesystem::path&, img::Bitmap&, PictureSize)>
PictureSize Loader(C& codecs, const std::filesystem::path& path, img::Bitmap& picture, PictureSize fit) {
  return (codecs.*Load)(path, picture, fit);
}
template <void (C::*Write)(const img::Bitmap&, const img::TargetFile&, img::ProgressSink&,
                           img::ParallelParts&)>
void Writer(C& codecs, const img::Bitmap& picture, const img::TargetFile& path, img::ProgressSink& sink,
            img::ParallelParts& parts) {
  (codecs.*Write)(picture, path, sink, parts);
}

// What the writers hold beside the picture.
constexpr WriterNeed kWritesDecoded{};  // BMP and PNG write the decoded picture as it is
constexpr WriterNeed kJpegNeed{.workPicture = true, .encodedHalf = true};
constexpr WriterNeed kWebpNeed{.workPicture = true, .encodedHalf = true, .copyBytesPerPixel = 4, .colourOnly = true};
// TIFF keeps its file in memory as JPEG does and copies palette pictures to 24 bits.
constexpr WriterNeed kTiffNeed{.workPicture = true, .encodedHalf = true};

// A new format: one entry here and its codec (signature, loader, header
// facts and, for a target, writer). A format whose library a build may leave
// out keeps its entries with its codec instead (HeifFormats).
constexpr PictureFormat kBuiltIn[] = {
    // name extension signature loader writer facts orientation writer's need alpha final own window box
    {"bmp", ".bmp", IsBmp, Loader<&C::LoadBmp>, Writer<&C::WriteBmp>, BmpFacts, nullptr, kWritesDecoded,
     AlphaKept::OwnKind, 2, true, "CBBMP"},
    {"jpg", ".jpg", IsJpeg, Loader<&C::LoadJpeg>, Writer<&C::WriteJpeg>, JpegFacts, nullptr, kJpegNeed,
     AlphaKept::None, 3, false, "CbJPG"},
    {"jpeg", ".jpeg", IsJpeg, Loader<&C::LoadJpeg>, Writer<&C::WriteJpeg>, JpegFacts, nullptr, kJpegNeed,
     AlphaKept::None, 1, false, "CBJPEG"},
    {"png", ".png", IsPng, Loader<&C::LoadPng>, Writer<&C::WritePng>, PngFacts, PngOrientation, kWritesDecoded,
     AlphaKept::Any, 0, true, "CbPNG"},
    {"webp", ".webp", IsWebp, Loader<&C::LoadWebp>, Writer<&C::WriteWebp>, WebpFacts, WebpOrientation, kWebpNeed,
     AlphaKept::Any, 4, true, nullptr},
    {"tif", ".tif", IsTiff, LoadTiff, WriteTiff, TiffFacts, nullptr, kTiffNeed, AlphaKept::Any, 6, false, nullptr},
    {"tiff", ".tiff", IsTiff, LoadTiff, WriteTiff, TiffFacts, nullptr, kTiffNeed, AlphaKept::Any, 7, false, nullptr},
    {"gif", ".gif", IsGif, LoadGif, nullptr, GifFacts, nullptr, {}, AlphaKept::None, 5, false, nullptr},
};

// The entries above, then those of the libraries a build may leave out.
const std::vector<PictureFormat>& Table() {
  static const std::vector<PictureFormat> table = [] {
    std::vector<PictureFormat> t(std::begin(kBuiltIn), std::end(kBuiltIn));
    const std::span<const PictureFormat> heif = HeifFormats();
    t.insert(t.end(), heif.begin(), heif.end());
    if (t.size() > FormatTicks::kMostFormats) std::abort();  // FormatTicks would not hold them
    return t;
  }();
  return table;
}

std::size_t PlaceOf(const PictureFormat& format) { return static_cast<std::size_t>(&format - Table().data()); }

bool InSet(const PictureFormat& format, FormatSet set) {
  return set == FormatSet::All || format.windowBox;
}

// The JPEG extensions first, then the others in table order: the order in
// which the folder listing has always checked them.
std::vector<std::string> ExtensionsOf(FormatSet set) {
  std::vector<const PictureFormat*> order;
  for (const PictureFormat& f : Table())
    if (InSet(f, set)) order.push_back(&f);
  std::stable_partition(order.begin(), order.end(),
                        [](const PictureFormat* f) { return SameKind(*f, FormatNamed("jpg")); });
  std::vector<std::string> extensions;
  for (const PictureFormat* f : order) extensions.push_back(f->extension);
  return extensions;
}

}  // namespace

std::span<const PictureFormat> PictureFormats() { return Table(); }

const PictureFormat& FormatNamed(std::string_view name) {
  for (const PictureFormat& f : Table())
    if (name == f.name) return f;
  throw std::invalid_argument("no picture format is named " + std::string(name));
}

FormatTicks::FormatTicks() {
  for (const PictureFormat& f : Table()) ticks_.set(PlaceOf(f), f.windowBox != nullptr);
}

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

const PictureFormat* FindFormatByExtension(const std::string& ext, FormatSet set) {
  const std::string lower = AsciiLower(ext);
  for (const PictureFormat& f : Table())
    if (InSet(f, set) && lower == f.extension) return &f;
  return nullptr;
}

const PictureFormat* FindFormatByName(const std::string& name, FormatSet set) {
  for (const PictureFormat& f : Table())
    if (InSet(f, set) && f.write && name == f.name) return &f;
  return nullptr;
}

const PictureFormat* ChooseLoader(std::span<const std::uint8_t> head, const std::string& path) {
  const PictureFormat* named = FindFormatByExtension(ExtensionOf(path), FormatSet::All);
  if (named && named->isA(head)) return named;
  for (const PictureFormat& f : Table())
    if (f.isA(head)) return &f;
  return named;
}

const PictureFormat* FinalFormat(const ConversionOptions& options) {
  const PictureFormat* first = nullptr;
  for (const PictureFormat& f : Table())
    if (f.write && options.targets.Has(f) && (!first || f.finalRank < first->finalRank)) first = &f;
  return first;
}

const std::vector<std::string>& PictureExtensionTable(FormatSet set) {
  static const std::array<std::vector<std::string>, 2> tables{ExtensionsOf(FormatSet::Window),
                                                              ExtensionsOf(FormatSet::All)};
  return tables[set == FormatSet::Window ? 0 : 1];
}

bool IsPictureExtension(const std::string& ext) {
  return FindFormatByExtension(TrimBlanks(ext), FormatSet::Window) != nullptr;
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

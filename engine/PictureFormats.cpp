#include "engine/PictureFormats.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>

#include "engine/TextUtil.h"
#include "imaging/FileIO.h"
#include "imaging/ImageError.h"

namespace engine {

namespace {

using C = PictureCodecs;
using O = ConversionOptions;
using Head = std::span<const std::uint8_t>;

bool StartsWith(Head head, std::initializer_list<std::uint8_t> bytes, std::size_t at = 0) {
  return head.size() >= at + bytes.size() && std::equal(bytes.begin(), bytes.end(), head.begin() + at);
}
bool IsBmp(Head head) { return StartsWith(head, {'B', 'M'}); }
bool IsJpeg(Head head) { return StartsWith(head, {0xFF, 0xD8, 0xFF}); }
bool IsPng(Head head) { return StartsWith(head, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}); }
bool IsWebp(Head head) { return StartsWith(head, {'R', 'I', 'F', 'F'}) && StartsWith(head, {'W', 'E', 'B', 'P'}, 8); }

// A new format: one line here, its codec's loader and writer, its option.
constexpr PictureFormat kFormats[] = {
    // name  extension  kind        signature  loader      writer       option     final own   batch
    {"bmp", ".bmp", PictureKind::Bmp, IsBmp, &C::LoadBmp, &C::WriteBmp, &O::toBmp, 2, true, false},
    {"jpg", ".jpg", PictureKind::Jpeg, IsJpeg, &C::LoadJpeg, &C::WriteJpeg, &O::toJpg, 3, false, false},
    {"jpeg", ".jpeg", PictureKind::Jpeg, IsJpeg, &C::LoadJpeg, &C::WriteJpeg, &O::toJpeg, 1, false, false},
    {"png", ".png", PictureKind::Png, IsPng, &C::LoadPng, &C::WritePng, &O::toPng, 0, true, false},
    {"webp", ".webp", PictureKind::Webp, IsWebp, &C::LoadWebp, &C::WriteWebp, &O::toWebp, 4, true, true},
};

bool InSet(const PictureFormat& format, FormatSet set) {
  return set == FormatSet::All || !format.batchOnly;
}

// The JPEG extensions first, then the others in table order: the order in
// which the folder listing has always checked them.
std::vector<std::string> ExtensionsOf(FormatSet set) {
  std::vector<const PictureFormat*> order;
  for (const PictureFormat& f : kFormats)
    if (InSet(f, set)) order.push_back(&f);
  std::stable_partition(order.begin(), order.end(),
                        [](const PictureFormat* f) { return f->kind == PictureKind::Jpeg; });
  std::vector<std::string> extensions;
  for (const PictureFormat* f : order) extensions.push_back(f->extension);
  return extensions;
}

}  // namespace

bool KeepsAlpha(PictureKind kind) {
  switch (kind) {
    case PictureKind::Png:
    case PictureKind::Webp: return true;
    case PictureKind::Bmp:
    case PictureKind::Jpeg: return false;
  }
  return false;
}

std::span<const PictureFormat> PictureFormats() { return kFormats; }

const PictureFormat* FindFormatByExtension(const std::string& ext, FormatSet set) {
  const std::string lower = AsciiLower(ext);
  for (const PictureFormat& f : kFormats)
    if (InSet(f, set) && lower == f.extension) return &f;
  return nullptr;
}

const PictureFormat* FindFormatByName(const std::string& name, FormatSet set) {
  for (const PictureFormat& f : kFormats)
    if (InSet(f, set) && name == f.name) return &f;
  return nullptr;
}

const PictureFormat* ChooseLoader(std::span<const std::uint8_t> head, const std::string& path) {
  const PictureFormat* named = FindFormatByExtension(ExtensionOf(path), FormatSet::All);
  if (named && named->isA(head)) return named;
  for (const PictureFormat& f : kFormats)
    if (f.isA(head)) return &f;
  return named;
}

const PictureFormat* FinalFormat(const ConversionOptions& options) {
  const PictureFormat* first = nullptr;
  for (const PictureFormat& f : kFormats)
    if (options.*f.option && (!first || f.finalRank < first->finalRank)) first = &f;
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
                        PictureCodecs* codecs) {
  const std::filesystem::path file = img::PathFromUtf8(path);
  const PictureFormat* format = ChooseLoader(img::ReadFileHead(file, kSignatureBytes), path);
  if (!format)
    throw img::ImageError(img::ErrorCode::Unsupported, path + ": not a picture of a kind this program reads");
  std::optional<PictureCodecs> temporary;
  if (!codecs) codecs = &temporary.emplace();
  return (codecs->*format->load)(file, picture, fit);
}

}  // namespace engine

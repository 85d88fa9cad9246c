#pragma once
// The picture formats, one entry each: the one place that says which
// extension names a format, how its files begin, which loader reads them
// and which writer makes them, which option ticks it and where it stands in a run's final
// selection. The converter's routes, the folder walk, the picture lists,
// the previews, the final selection and imgbatch's -f all read it, so a new
// format is one entry plus its codec.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/PictureCodecs.h"
#include "imaging/Bitmap.h"
#include "imaging/ProgressSink.h"

namespace engine {

// The kinds of file the codecs read: a JPEG file is one kind under either
// of its extensions.
enum class PictureKind { Bmp, Jpeg, Png, Webp };

// True when the writer of this kind keeps a picture's alpha channel (PNG,
// WebP); a picture bound for the others is laid over white once decoded.
bool KeepsAlpha(PictureKind kind);

// Which entries a caller sees: the window keeps its four kinds, imgbatch
// reads and writes every entry.
enum class FormatSet { Window, All };

struct PictureFormat {
  const char* name;       // as imgbatch's -f names it
  const char* extension;  // lower case: of its targets, and of the sources it reads
  PictureKind kind;
  // True when a file's first bytes (kSignatureBytes, fewer for a shorter
  // file) are this format's signature.
  bool (*isA)(std::span<const std::uint8_t> head);
  PictureSize (PictureCodecs::*load)(const std::filesystem::path&, img::Bitmap&, PictureSize fit);
  void (PictureCodecs::*write)(const img::Bitmap&, const std::filesystem::path&, img::ProgressSink&,
                                img::ParallelParts&);
  bool ConversionOptions::*option;  // the box that ticks it
  int finalRank;         // a selected run ends on the first ticked format by this rank
  bool keepsSourceName;  // a source of its own kind keeps its name letter for letter
  bool batchOnly;        // imgbatch reads and writes it; the window does not show it
};

// The bytes at a file's start that every signature test needs.
inline constexpr std::size_t kSignatureBytes = 12;

// Every entry, in the order a picture's targets are written: BMP, JPG,
// JPEG, PNG, WebP.
std::span<const PictureFormat> PictureFormats();

// The entry whose extension equals ext in lower case (no blanks trimmed);
// nullptr when there is none in set.
const PictureFormat* FindFormatByExtension(const std::string& ext, FormatSet set);
// The entry that -f calls name; nullptr when there is none in set.
const PictureFormat* FindFormatByName(const std::string& name, FormatSet set);
// The entry that reads a file whose first bytes are head and whose name is
// path: a file is read by what it is, so the entry whose signature head
// matches (the extension's own entry among several of one kind), else the
// extension's entry, case ignored, whose loader then says what is wrong with
// the file; nullptr when neither names an entry. Every entry of the table
// reads: the window lists its four extensions only, but a WebP named .png is
// still a WebP.
const PictureFormat* ChooseLoader(std::span<const std::uint8_t> head, const std::string& path);
// The ticked format a selected run ends on; nullptr when none is ticked.
const PictureFormat* FinalFormat(const ConversionOptions& options);

// The picture extensions of set, in the order the folder listing checks
// them: the JPEG ones first, then the others in table order.
const std::vector<std::string>& PictureExtensionTable(FormatSet set = FormatSet::Window);

// True when ext, trimmed of blanks and lower-cased, is the extension of one
// of the window's four formats.
bool IsPictureExtension(const std::string& ext);

// Decodes the picture at path (UTF-8) with the loader ChooseLoader picks
// from the file's first bytes and its name, and gives the file's own
// picture size. fit and codecs as for the loaders of PictureCodecs; without
// codecs a temporary set decodes. Throws img::ImageError: Unsupported for a
// file that neither its signature nor its extension makes a picture, else
// the loader's failure.
PictureSize LoadPicture(const std::string& path, img::Bitmap& picture, PictureSize fit = {},
                        PictureCodecs* codecs = nullptr);

}  // namespace engine

#pragma once
// The picture formats, one entry each: the one place that says which
// extension names a format, how its files begin, which loader reads them,
// what its header tells, which writer makes them and what that writer
// holds, and whether it keeps alpha. The converter's routes, the memory
// estimate, the folder walk, the picture lists, the previews, the window's
// format boxes and imgbatch's -f all read it. Each codec's folder gives its
// entries; the table joins them, so a new format is its folder and its
// line in the table.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/formats/EncodingOptions.h"
#include "engine/formats/FormatTicks.h"
#include "engine/formats/PictureCodecs.h"
#include "engine/formats/PictureHeader.h"
#include "imaging/Bitmap.h"
#include "imaging/ParallelParts.h"
#include "platform/FileIO.h"
#include "imaging/ProgressSink.h"

namespace engine {

// What a target's writer holds beside the picture at its peak, for the
// memory estimate (PictureMemory.h).
struct WriterNeed {
  bool workPicture = false;    // encodes the work picture: a palette picture's 24-bit copy
  bool encodedHalf = false;    // keeps the encoded file, counted as half the work picture
  int copyBytesPerPixel = 0;   // the encoder's own copy of the pixels
  bool colourOnly = false;     // a grey picture is copied to 24 bits for it
};

// Whose alpha a target's writer keeps; a picture it does not keep is laid
// over white before its shrink and turn.
enum class AlphaKept {
  None,     // the format holds no alpha
  Any,      // every picture's
  // Only a source of its own kind's: BMP holds alpha, but pictures of other
  // kinds have always been written to BMP laid over white, and callers rely
  // on it.
  OwnKind,
};

struct PictureFormat {
  const char* name;       // as imgbatch's -f names it
  const char* extension;  // lower case: of its targets, and of the sources it reads
  // True when a file's first bytes (kSignatureBytes, fewer for a shorter
  // file) are this format's signature.
  bool (*isA)(PictureHead head);
  // Decodes the file into the picture and gives the file's own picture
  // size, with the codec set's kept objects and metadata place. With a fit
  // (a preview box) a loader that can decode at a fraction of the size does
  // so, never below fit (JPEG's 1/2, 1/4 and 1/8). A file that cannot be
  // decoded throws img::ImageError and leaves the picture as it was.
  // Entries with one loader are one kind of file (JPG and JPEG).
  PictureSize (*load)(PictureCodecs&, const std::filesystem::path&, img::Bitmap&, PictureSize fit);
  // Writes a target with the codec set's encoder settings and carried
  // metadata; an existing file is replaced once the new one is complete.
  // The parts given run its independent pieces (a PNG's deflate). nullptr
  // for a format that is only read.
  void (*write)(PictureCodecs&, const img::Bitmap&, const img::TargetFile&, img::ProgressSink&,
                img::ParallelParts&);
  // What the header tells of the decoded picture, from the file's first
  // kHeadBytes (head) or the file itself.
  HeaderFacts (*facts)(PictureHead head, const std::filesystem::path& file);
  // The EXIF orientation its loader will find where the header facts do
  // not tell it (1 to 8, 0 for none), for targets named by their size;
  // nullptr: the facts' orientation.
  int (*orientation)(PictureHead head, const std::filesystem::path& file);
  WriterNeed writerNeed;
  AlphaKept keepsAlpha;
  bool keepsSourceName;   // a source of its own kind keeps its name letter for letter
};

// True when a and b are one kind of file, read by one loader.
inline bool SameKind(const PictureFormat& a, const PictureFormat& b) { return a.load == b.load; }

// True when target's writer keeps the alpha of a picture that source's
// loader decoded.
bool KeepsAlpha(const PictureFormat& target, const PictureFormat& source);

// The bytes at a file's start that every signature test needs.
inline constexpr std::size_t kSignatureBytes = 12;

// Every entry, in the order a picture's targets are written: BMP, JPG,
// JPEG, PNG, WebP, TIF, TIFF, GIF (only read), then, where the build has
// libheif, AVIF, HEIC and HEIF (the last two only read), and where it has
// libjxl, JXL, and where it has LibRaw the camera raw files (only read).
std::span<const PictureFormat> PictureFormats();
// The entry -f calls name, read only or not; throws std::invalid_argument
// for a name the table does not have.
const PictureFormat& FormatNamed(std::string_view name);

// The entry whose extension equals ext in lower case (no blanks trimmed);
// nullptr when there is none.
const PictureFormat* FindFormatByExtension(const std::string& ext);
// The entry that -f calls name; nullptr when there is none or it is only read.
const PictureFormat* FindFormatByName(const std::string& name);
// The entry that reads a file whose first bytes are head and whose name is
// path: a file is read by what it is, so the entry whose signature head
// matches (the extension's own entry among several of one kind), else the
// extension's entry, case ignored, whose loader then says what is wrong with
// the file; nullptr when neither names an entry. Every entry of the table
// reads: a WebP named .png is still a WebP.
const PictureFormat* ChooseLoader(std::span<const std::uint8_t> head, const std::string& path);

// The extensions of the entries picked, in the order a folder listing
// checks them: the JPEG ones first, then the others in table order.
std::vector<std::string> ListingExtensions(bool (*picked)(const PictureFormat&));
// Those of every entry.
const std::vector<std::string>& PictureExtensions();

// Decodes the picture at path (UTF-8) with the loader ChooseLoader picks
// from the file's first bytes and its name, and gives the file's own
// picture size. fit and codecs as for the loaders of PictureCodecs; without
// codecs a temporary set decodes. Throws img::ImageError: Unsupported for a
// file that neither its signature nor its extension makes a picture, else
// the loader's failure. loader, when given, is set to the entry that read
// the file.
PictureSize LoadPicture(const std::string& path, img::Bitmap& picture, PictureSize fit = {},
                        PictureCodecs* codecs = nullptr, const PictureFormat** loader = nullptr);

}  // namespace engine

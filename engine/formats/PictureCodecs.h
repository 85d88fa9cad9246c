#pragma once
// The codec set of one converter: what every format's loader and writer
// share (the encoder settings, where metadata is read into and what is
// carried, the warnings of the writes) and what each codec keeps from one
// picture to the next (its decoder's buffers, a file encoded for a second
// target), made on its first use. Created once per converter and reused
// for every picture; the format table (PictureFormats.h) names the loader
// and writer of each format, each a plain function of its codec's folder.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <memory>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

#include "engine/formats/EncodingOptions.h"
#include "engine/metadata/PictureMetadata.h"
#include "imaging/Bitmap.h"

namespace engine {

struct PictureFormat;

struct PictureSize {
  int width = 0;
  int height = 0;
};

// A loader's warning: a CMYK picture without a profile to convert it
// through came into RGB by a formula, so its colours are approximate.
inline constexpr const char* kCmykByFormula = "CMYK without a profile: converted by formula";
// What a writer given no pixels (PictureCodecs::ReadHeadersOnly) throws
// when it cannot write the file from its coded data: the picture is
// decoded, and written again.
struct PixelsNeeded : std::runtime_error {
  PixelsNeeded() : std::runtime_error("the picture's pixels are needed") {}
};
// An animation's frames, each the picture a viewer shows then, with how
// long it stays, and how often the whole plays (0: for ever).
struct AnimationFrame {
  img::Bitmap picture;
  int milliseconds = 0;
};
struct Animation {
  std::vector<AnimationFrame> frames;
  int loops = 0;
  void clear() { *this = {}; }
};

class PictureCodecs {
 public:
  PictureCodecs() = default;
  PictureCodecs(const PictureCodecs&) = delete;
  PictureCodecs& operator=(const PictureCodecs&) = delete;

  // What one codec keeps between pictures.
  class Kept {
   public:
    virtual ~Kept() = default;
    virtual std::size_t Bytes() const { return 0; }  // kept for reuse
    virtual void HandBack() {}                       // gives them back
    virtual void ForgetEncoded() {}                  // the picture changed
  };
  // The codec's own, of type T (a Kept), made on first use.
  template <class T>
  T& KeptOf() {
    std::unique_ptr<Kept>& kept = kept_[std::type_index(typeid(T))];
    if (!kept) kept = std::make_unique<T>();
    return static_cast<T&>(*kept);
  }

  // The encoder settings the writers use from now on.
  void UseEncoderSettings(const EncodingOptions& options) { encoding_ = options; }
  const EncodingOptions& EncoderSettings() const { return encoding_; }

  // Metadata, off unless asked for. With a place to read into, the loaders
  // put a decoded file's metadata there; with metadata to carry, the
  // writers write what their files have a place for. Both must outlive
  // their use; ForgetEncoded when the carried metadata change.
  void ReadMetadataInto(PictureMetadata* metadata) { read_into_ = metadata; }
  void CarryMetadata(const PictureMetadata* metadata) { carried_ = metadata; }
  PictureMetadata* MetadataPlace() const { return read_into_; }
  const PictureMetadata* CarriedMetadata() const { return carried_; }

  // The file the picture was decoded from, set only while the picture holds
  // that file's pixels exactly as its loader decoded them (nothing turned,
  // resized or laid over white), for a writer that may then store the
  // file's own coded data instead of encoding the pixels (JPEG XL's
  // lossless recompression of a JPEG); nullptr otherwise. It must outlive
  // its use.
  struct DecodedFile {
    std::filesystem::path path;
    const PictureFormat* loader = nullptr;  // the entry that decoded it
    PictureSize size;                       // its picture as stored
  };
  void UseUnchangedSource(const DecodedFile* source) { unchanged_ = source; }
  const DecodedFile* UnchangedSource() const { return unchanged_; }
  // The same file while the picture holds its pixels only turned or
  // mirrored: orientation (2 to 8, as EXIF names them) shows the file's
  // stored picture as the picture stands (a JPEG writer may then turn the
  // file's coded data instead); nullptr and 1 otherwise.
  void UseTurnedSource(const DecodedFile* source, int orientation) {
    turned_ = source;
    turned_orientation_ = source ? orientation : 1;
  }
  const DecodedFile* TurnedSource() const { return turned_; }
  int TurnedOrientation() const { return turned_orientation_; }
  // The unchanged or turned source other's writers are told of, for a
  // second codec set writing the same picture beside it.
  void UseSourcesOf(const PictureCodecs& other) {
    unchanged_ = other.unchanged_;
    UseTurnedSource(other.turned_, other.turned_orientation_);
  }
  // While on, a loader that can read a file's header and metadata alone
  // (JPEG's) does only that, and leaves the picture empty: for a picture
  // whose only target may be the file's coded data turned. A writer given
  // that empty picture writes the TurnedSource or throws PixelsNeeded.
  void ReadHeadersOnly(bool on) { headers_only_ = on; }
  bool HeadersOnly() const { return headers_only_; }
  // A file that holds a smaller picture beside its own (a camera raw
  // file's embedded preview) is read from that one where it is at least as
  // large as wanted gives for the file's own picture (its size as stored,
  // and the EXIF orientation it is to be seen with); without, the loaders
  // read the file's own picture.
  using PreviewWanted = std::function<PictureSize(PictureSize stored, int orientation)>;
  void TakePreviews(PreviewWanted wanted) { previews_ = std::move(wanted); }
  const PreviewWanted& Previews() const { return previews_; }

  // Which picture of a file that holds several the loaders read (0: the
  // first): a TIFF's page, a GIF's or an animated WebP's frame, a HEIF's
  // top-level picture (imgbatch's --page). A loader of such files fails
  // for one past its file's last (CheckPageHeld); a file of one picture
  // is left to the caller.
  void ReadPage(int page) { page_ = page; }
  int Page() const { return page_; }
  // How many pictures the file just decoded holds, what each is called
  // ("frame", "page") and which is read for page 0, told by its loader;
  // TakePictures gives it and forgets it (one picture, unnamed, when
  // nothing was told).
  struct Pictures {
    int count = 1;
    const char* noun = nullptr;
    const char* first = "the first";
  };
  void NotePictures(int count, const char* noun, const char* first = "the first") {
    pictures_ = {count, noun, first};
  }
  Pictures TakePictures() { return std::exchange(pictures_, {}); }

  // Animations, off unless asked for. With a place to read into, the
  // loaders of animated files (GIF's, WebP's) put every frame there,
  // beside the first as the picture, when the file has more than one and
  // the first page is read (else they leave it empty); with an animation
  // to carry, a writer that keeps animations (WebP's) writes its frames in
  // place of the picture. Both must outlive their use.
  void ReadAnimationInto(Animation* animation) { animation_into_ = animation; }
  void CarryAnimation(const Animation* animation) { animation_carried_ = animation; }
  Animation* AnimationPlace() const { return animation_into_; }
  const Animation* CarriedAnimation() const { return animation_carried_; }

  // A file whose coded data are broken or end early gives what decodes,
  // with a loader whose codec can tell what was lost (JPEG's, PNG's;
  // imgbatch's --damaged keep); else it fails. Such a loader notes what was
  // lost; TakeDamage gives it and forgets it (empty: the file was whole). A
  // file whose header cannot be read fails all the same.
  void KeepDamaged(bool keep) { keep_damaged_ = keep; }
  bool KeepsDamaged() const { return keep_damaged_; }
  void NoteDamage(std::string what) { damage_ = std::move(what); }
  std::string TakeDamage() { return std::exchange(damage_, {}); }

  // A line of what a write left out of its file (carried metadata too
  // large for a JPEG file's markers), or of what a loader could only
  // approximate (kCmykByFormula); TakeWarnings gives those since the last
  // call.
  void Warn(std::string line) { warnings_.push_back(std::move(line)); }
  std::vector<std::string> TakeWarnings();
  // The quality a size limit chose for the file just written (0: none was
  // searched for); TakeChosenQuality gives it and forgets it.
  void NoteChosenQuality(int quality) { chosen_quality_ = quality; }
  int TakeChosenQuality() { return std::exchange(chosen_quality_, 0); }

  // A file a writer keeps for the next target of the same picture is
  // stale once the picture changes.
  void ForgetEncoded();
  // The bytes the codecs keep between pictures for reuse, and giving them
  // back (what was encoded is forgotten too).
  std::size_t KeptBytes() const;
  void HandBack();

 private:
  std::map<std::type_index, std::unique_ptr<Kept>> kept_;
  EncodingOptions encoding_;
  PictureMetadata* read_into_ = nullptr;
  const PictureMetadata* carried_ = nullptr;
  const DecodedFile* unchanged_ = nullptr;
  const DecodedFile* turned_ = nullptr;
  bool headers_only_ = false;
  int turned_orientation_ = 1;
  PreviewWanted previews_;
  std::vector<std::string> warnings_;
  int chosen_quality_ = 0;
  int page_ = 0;
  Pictures pictures_;
  Animation* animation_into_ = nullptr;
  const Animation* animation_carried_ = nullptr;
  bool keep_damaged_ = false;
  std::string damage_;
};

// Throws img::ImageError for page (0 the first) past the last of a file's
// count pictures, each a noun ("page"); nothing when the file holds it.
void CheckPageHeld(int page, int count, const char* noun);

}  // namespace engine

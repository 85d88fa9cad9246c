#pragma once
// One source picture into one target file per ticked format, with the resize
// and rotation the options ask for. A converter owns its engine objects (the
// working pictures and the codec objects), so several converters can run
// side by side, one per thread; one converter holds one picture at a time.

#include <optional>
#include <string>
#include <vector>

#include "engine/convert/ConversionFailure.h"
#include "engine/convert/ConversionCallbacks.h"
#include "engine/formats/PictureCodecs.h"
#include "engine/formats/PictureFormats.h"
#include "engine/metadata/PictureMetadata.h"
#include "engine/threads/PoolParts.h"
#include "engine/convert/ResizeRules.h"
#include "engine/convert/PlannedPicture.h"
#include "imaging/Bitmap.h"

namespace engine {

// What became of one picture.
struct ConversionReport {
  bool isPicture = false;            // the extension named a picture kind
  std::vector<std::string> written;  // target paths, in writing order
  std::vector<TargetSize> writtenSizes;  // the picture's size in each written target
  std::vector<int> writtenQualities;     // the quality --max-size chose for each (0: none searched)
  std::vector<ConversionFailure> failures;  // one per failed route or load
  std::vector<std::string> warnings; // one line per thing a written target left out
  std::vector<std::string> skipped;  // existing targets left alone (skipExisting)
  int renamed = 0;                   // written targets that carry a number
  // The source as it was read: the file's own picture size and the -f name
  // of the table entry that read it (nullptr when it was not decoded), and
  // how long the picture took, decode to last write (nothing when it was
  // never started). For a report, not for the conversion.
  PictureSize sourceSize;
  const char* sourceKind = nullptr;
  std::optional<double> milliseconds;
  bool ok() const { return failures.empty(); }
};

class PictureConverter {
 public:
  // threads: the threads each picture's parts (its turn, its PNG deflate)
  // may use on the shared worker pool, the caller included; 0 takes
  // PictureThreads() as it stands at each use.
  explicit PictureConverter(ConversionCallbacks& host, int threads = 0);
  PictureConverter(const PictureConverter&) = delete;
  PictureConverter& operator=(const PictureConverter&) = delete;

  // A picture in two steps, so that a run may decode the next picture while
  // it writes this one. Prepare decodes it and makes it what options ask
  // (upright, shrunk, turned) for the first target it will write; Write
  // writes every target the plan did not refuse and reports. picture must
  // outlive Write. The options are taken once, by Prepare.
  void Prepare(const PlannedPicture& picture, const ConversionOptions& options);
  ConversionReport Write();

  // Prepare with the host's options, then Write.
  ConversionReport ConvertPicture(const PlannedPicture& picture);

  // On: Write writes a picture's kinds side by side on its parts' threads
  // where each can be written from the picture as made (a PNG beside a JPG
  // and a BMP), reporting as if one after the other. The host then hears
  // from two threads, never at once. For a run that converts one picture
  // at a time; off by default.
  void WriteKindsSideBySide(bool on) { side_by_side_ = on; }

  ConversionCallbacks& Host() const { return host_; }

  // The bytes kept between pictures for reuse: the working picture and the
  // codec objects' buffers. After a picture much larger than the ones
  // before it they are handed back, so one panorama does not leave a
  // run holding its memory.
  std::size_t KeptBytes() const;

  // Pictures up to this size always keep their memory for the next one.
  static constexpr std::size_t kAlwaysKeptBytes = std::size_t{64} << 20;

 private:
  // What working_ holds of the current picture; Coded: nothing, the
  // source's header and metadata were read for a JPEG target written from
  // its coded data turned (codecs_' TurnedSource).
  enum class Work { Empty, Made, Coded, Failed };

  // Where one route writes and tells. A shared route reads working_ while
  // another writes from it too, so it never makes it again: a failure that
  // would have it made again marks the route spoiled instead.
  struct Route {
    PictureCodecs& codecs;
    ConversionReport& report;
    ConversionCallbacks& host;
    bool shared = false;
    bool spoiled = false;
  };
  void RunRoute(const PlannedTarget& target, Route& route);
  void Spoil(Route& route);
  bool NeedsMaking(const PictureFormat& target) const;
  bool WriteSideBySide();
  void Make(const PictureFormat& target);
  bool MayTurnCoded(const PictureFormat& target) const;
  void MakeCoded(const PictureFormat& target);
  bool LoadSource();
  // The size the source may be decoded down to for the resize asked ({}: whole).
  PictureSize ShrinkOnLoad() const;
  void NoteOtherPictures(const PictureCodecs::Pictures& held);
  bool NoteDamage(const std::string& damage);
  void WarnOnce(std::string line);
  bool AlphaFits(const PictureFormat& target) const;
  void FitAlphaTo(const PictureFormat& target);
  void Rotate(int rotation, img::ProgressSink& sink);
  void MakeFrames(int orientation);
  static bool KeepsAnimation(const PictureFormat& target);
  // A target the plan did not refuse keeps animations (keeping), or not.
  bool WritesAnimation(bool keeping) const;
  void HandBackIfUnusual(std::size_t picture_bytes);

  ConversionCallbacks& host_;
  PoolParts parts_;
  img::Bitmap working_;
  img::Bitmap resize_source_;
  PictureCodecs codecs_;  // decode the sources, encode the targets
  PictureCodecs side_codecs_;  // encode the kinds written beside codecs_'
  bool side_by_side_ = false;
  PictureMetadata metadata_;  // the source's, read when an option needs it; then what the targets carry
  Animation animation_;  // every frame of an animated source bound for a target that keeps them

  // The picture between Prepare and Write.
  const PlannedPicture* picture_ = nullptr;
  const PictureFormat* source_format_ = nullptr;
  ConversionOptions options_;
  ConversionReport report_;
  Work work_ = Work::Empty;
  // The entry whose loader decoded working_.
  const PictureFormat* loaded_by_ = nullptr;
  // The file working_ was decoded from, which the writers are told of
  // while working_ holds its pixels as decoded.
  PictureCodecs::DecodedFile source_file_;
  // The decoded source has alpha, and working_ holds it laid over white
  // (for targets that do not keep it): a route of the other kind decodes
  // again.
  bool working_alpha_ = false;
  bool working_flattened_ = false;
  bool shrunk_on_load_ = false;  // working_ was decoded smaller than its file's picture
  // The current picture's coded data could not be turned: it is decoded.
  bool pixels_needed_ = false;
  TargetSize coded_size_{0, 0};  // the picture's size once turned, while work_ is Coded
  bool source_damaged_ = false;  // working_ holds what decodes of a damaged file

  // Decoded sizes of the last pictures, newest last.
  std::vector<std::size_t> recent_bytes_;
  std::size_t picture_bytes_ = 0;  // the current picture's decoded size
};

}  // namespace engine

#include "engine/convert/PictureConverter.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <utility>

#include "engine/colour/PictureToSrgb.h"
#include "engine/metadata/ExifOrientation.h"
#include "engine/convert/CropRules.h"
#include "engine/formats/PictureHeader.h"
#include "engine/convert/ExistingTargets.h"
#include "engine/convert/MetadataPolicy.h"
#include "engine/convert/ResizeRules.h"
#include "engine/formats/QualitySearch.h"
#include "engine/formats/jpeg/JpegTurn.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "platform/ImageError.h"
#include "platform/MemoryReuse.h"
#include "imaging/ScreenRotateScanLine.h"

namespace engine {

namespace {

// A shrink that failed: its route fails as not resized.
struct ResizeFailure : img::ImageError {
  explicit ResizeFailure(const img::ImageError& failure) : img::ImageError(failure) {}
};

// The size an embedded preview must reach to be read in place of the
// file's own picture: the resize's target, else the picture's own size;
// the turn upright counted, as the resize comes after it.
PictureCodecs::PreviewWanted PreviewSizes(const ProcessingOptions& options) {
  return [options](PictureSize stored, int orientation) {
    // A crop's box is in the picture's own pixels: only a preview of its
    // full size has them.
    if (options.crop.Asked()) return stored;
    const bool sideways = options.autoOrient && orientation >= 5 && orientation <= 8;
    if (sideways) std::swap(stored.width, stored.height);
    if (options.resize.Asked())
      if (const ResizePlan plan = PlanResize(stored.width, stored.height, options.resize); plan.resizes)
        stored = {plan.size.width, plan.size.height};
    if (sideways) std::swap(stored.width, stored.height);
    return stored;
  };
}

}  // namespace

PictureConverter::PictureConverter(ConversionCallbacks& host, int threads) : host_(host), parts_(threads) {}

ConversionReport PictureConverter::ConvertPicture(const PlannedPicture& picture) {
  Prepare(picture, host_.Options());
  return Write();
}

void PictureConverter::Prepare(const PlannedPicture& picture, const ConversionOptions& options) {
  picture_ = &picture;
  options_ = options;
  report_ = {};
  work_ = Work::Empty;
  pixels_needed_ = false;
  picture_bytes_ = 0;
  codecs_.ForgetEncoded();

  host_.StepProgress();
  source_format_ = FindFormatByExtension(img::ExtensionOf(picture.path));
  if (!source_format_ || !picture.isPicture) return;
  report_.isPicture = true;
  // Made for the first target that will be written; none, nothing is decoded.
  for (const PlannedTarget& target : picture.targets) {
    if (target.refusal || LeavesTargetAlone(options_, picture.path, target.path)) continue;
    try {
      Make(*target.format);
    } catch (const std::exception&) {
      // Its route fails on it again, and says so.
      work_ = Work::Empty;
    }
    return;
  }
}

ConversionReport PictureConverter::Write() {
  if (!picture_) return {};
  if (report_.isPicture && !(side_by_side_ && WriteSideBySide())) {
    Route own{codecs_, report_, host_};
    for (const PlannedTarget& target : picture_->targets) RunRoute(target, own);
  }
  animation_.clear();  // its frames are not kept for the next picture
  HandBackIfUnusual(picture_bytes_);
  picture_ = nullptr;
  return std::move(report_);
}

std::size_t PictureConverter::KeptBytes() const {
  return working_.PixelBytes() + resize_source_.PixelBytes() + codecs_.KeptBytes() + side_codecs_.KeptBytes();
}

// Every kind but the last is written beside it from the picture as made,
// each kind's targets in one lane (a JPG and a JPEG share one encoded file),
// each target into a report of its own, joined and told in the plan's
// order. What a failure leaves to be made again is written once both lanes
// are done.
bool PictureConverter::WriteSideBySide() {
  if (work_ != Work::Made || parts_.Threads() < 2) return false;
  const std::vector<PlannedTarget>& targets = picture_->targets;
  std::vector<std::size_t> written;  // the routes that write a file
  for (std::size_t i = 0; i < targets.size(); ++i)
    if (!targets[i].refusal && !LeavesTargetAlone(options_, picture_->path, targets[i].path)) {
      if (NeedsMaking(*targets[i].format)) return false;
      written.push_back(i);
    }
  if (written.empty()) return false;
  const PictureFormat& last = *targets[written.back()].format;
  std::vector<std::size_t> lanes[2];  // here, beside
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const bool beside = std::find(written.begin(), written.end(), i) != written.end() &&
                        !SameKind(*targets[i].format, last);
    lanes[beside ? 1 : 0].push_back(i);
  }
  if (lanes[1].empty()) return false;

  side_codecs_.ForgetEncoded();
  side_codecs_.UseSourcesOf(codecs_);
  // The host hears the lanes' steps one at a time, and of their targets
  // once both are done, in the plan's order (the converted list's).
  struct OneAtATime : ConversionCallbacks {
    ConversionCallbacks& host;
    std::mutex mutex;
    explicit OneAtATime(ConversionCallbacks& to) : host(to) {}
    ConversionOptions Options() override { return host.Options(); }
    PictureList* ConvertedList() override { return host.ConvertedList(); }
    void TargetWritten(const std::string&) override {}
    void StepProgress() override {
      std::lock_guard lock(mutex);
      host.StepProgress();
    }
  } told(host_);
  std::vector<ConversionReport> pieces(targets.size());
  std::vector<char> done(targets.size(), 0);
  PictureCodecs* codecs[2] = {&codecs_, &side_codecs_};
  parts_.Run(2, [&](std::size_t lane) {
    for (std::size_t i : lanes[lane]) {
      Route route{*codecs[lane], pieces[i], told, true};
      RunRoute(targets[i], route);
      done[i] = 1;
      // A failed write leaves the picture as it was, so the other lane goes
      // on; this one's next kinds wait for the picture made again.
      if (route.spoiled) return;
    }
  });
  if (std::find(done.begin(), done.end(), 0) != done.end()) {
    work_ = Work::Empty;
    codecs_.ForgetEncoded();
  }
  for (std::size_t i = 0; i < targets.size(); ++i) {
    ConversionReport& piece = pieces[i];
    if (!done[i]) {
      Route own{codecs_, piece, host_};
      RunRoute(targets[i], own);
    } else {
      for (const std::string& path : piece.written) host_.TargetWritten(path);
    }
    auto append = [](auto& to, auto& from) { std::move(from.begin(), from.end(), std::back_inserter(to)); };
    append(report_.written, piece.written);
    append(report_.writtenSizes, piece.writtenSizes);
    append(report_.writtenQualities, piece.writtenQualities);
    append(report_.failures, piece.failures);
    append(report_.warnings, piece.warnings);
    append(report_.skipped, piece.skipped);
    report_.renamed += piece.renamed;
  }
  return true;
}

// The picture must be made again (or first) before a target of this kind
// is written from it.
bool PictureConverter::NeedsMaking(const PictureFormat& target) const {
  return work_ == Work::Empty || (work_ == Work::Coded && !MayTurnCoded(target)) ||
         (work_ == Work::Made && !AlphaFits(target));
}

// A route that failed may have left the picture half made.
void PictureConverter::Spoil(Route& route) {
  route.codecs.ForgetEncoded();
  if (route.shared)
    route.spoiled = true;
  else
    work_ = Work::Empty;
}

void PictureConverter::HandBackIfUnusual(std::size_t picture_bytes) {
  if (picture_bytes == 0) return;  // nothing was decoded
  constexpr std::size_t kRecent = 8;
  std::size_t usual = kAlwaysKeptBytes;
  for (std::size_t bytes : recent_bytes_) usual = std::max(usual, bytes);
  if (picture_bytes / 2 > usual) {
    working_.Clear();
    resize_source_.Clear();
    codecs_.HandBack();
    side_codecs_.HandBack();
    // Freed memory is otherwise kept in the process for the next picture.
    img::ReturnFreedMemory();
  }
  recent_bytes_.push_back(picture_bytes);
  if (recent_bytes_.size() > kRecent) recent_bytes_.erase(recent_bytes_.begin());
}

void PictureConverter::RunRoute(const PlannedTarget& planned, Route& route) {
  const PictureFormat& format = *planned.format;
  const std::string& target = planned.path;
  try {
    if (LeavesTargetAlone(options_, picture_->path, target)) {
      route.report.skipped.push_back(target);
      return;
    }
    if (planned.refusal) {
      route.report.failures.push_back(*planned.refusal);
      return;
    }
    route.host.StepProgress();
    if (SameKind(*source_format_, FormatNamed("jpg")) && !SameKind(format, FormatNamed("bmp"))) route.host.StepProgress();

    if (work_ == Work::Failed) return;  // already reported: nothing is written from a stale picture
    if (NeedsMaking(format)) {
      Make(format);
      if (work_ != Work::Made && work_ != Work::Coded) return;
    } else {
      route.host.StepProgress();  // the loader's step, for a steady progress display
    }

    route.codecs.UseEncoderSettings(options_);
    route.codecs.CarryMetadata(metadata_.empty() ? nullptr : &metadata_);
    route.codecs.CarryAnimation(KeepsAnimation(format) && animation_.frames.size() > 1 ? &animation_ : nullptr);
    img::TargetFile file(img::PathFromUtf8(target), picture_->heldFolder);
    std::error_code time_error;
    if (options_.keepSourceTime) file.modified = SourceTime(picture_->path, time_error);
    route.codecs.TakeChosenQuality();  // a failed write before must not lend this one its quality
    bool written = true;
    try {
      format.write(route.codecs, working_, file, route.host, parts_);
    } catch (const PixelsNeeded&) {
      written = false;
    }
    if (!written) {
      // Its coded data could not be turned: decoded after all, and encoded.
      pixels_needed_ = true;
      Make(format);
      if (work_ != Work::Made) return;
      route.codecs.CarryMetadata(metadata_.empty() ? nullptr : &metadata_);
      format.write(route.codecs, working_, file, route.host, parts_);
    }
    for (const std::string& left_out : route.codecs.TakeWarnings()) route.report.warnings.push_back(target + ": " + left_out);
    // The picture is written all the same: a time left as it is is a warning.
    if (time_error)
      route.report.warnings.push_back(target + ": the source's time was not given: " + time_error.message());
    route.report.written.push_back(target);
    route.report.writtenSizes.push_back(work_ == Work::Coded ? coded_size_ : TargetSize{working_.width(), working_.height()});
    route.report.writtenQualities.push_back(route.codecs.TakeChosenQuality());
    if (picture_->renamed) ++route.report.renamed;
    route.host.TargetWritten(target);
  } catch (const ResizeFailure& e) {
    Spoil(route);
    route.report.failures.push_back({target, text::FailureCode::NotResized, e.what(), CauseOf(e)});
  } catch (const CropOutside& e) {
    Spoil(route);
    route.report.failures.push_back({target, text::FailureCode::CropOutside, e.what()});
  } catch (const SizeLimitMissed& e) {
    // The picture is as asked: the next target may still fit its own limit.
    route.report.failures.push_back({target, text::FailureCode::OverMaxSize, e.what()});
  } catch (const std::exception& e) {
    // The working picture may be half made: the next route makes it again.
    Spoil(route);
    route.report.failures.push_back({target, text::FailureCode::NotWritten, e.what(), CauseOf(e)});
  }
}

// The picture as the options ask, for a target of format's kind.
void PictureConverter::Make(const PictureFormat& target) {
  work_ = Work::Empty;
  codecs_.ForgetEncoded();
  codecs_.UseUnchangedSource(nullptr);
  codecs_.UseTurnedSource(nullptr, 1);
  const bool headers_only = !pixels_needed_ && MayTurnCoded(target);
  codecs_.ReadHeadersOnly(headers_only);
  const bool loaded = LoadSource();
  codecs_.ReadHeadersOnly(false);
  if (!loaded) return;
  // Only its header was read (a JPEG's loader; the others decode all the same).
  if (headers_only && working_.empty()) return MakeCoded(target);
  // Before anything mixes the pixels: the profile describes them as decoded.
  const bool recoloured = options_.colour == TargetColour::Srgb &&
                          ConvertToSrgb(working_, metadata_.icc.empty() ? metadata_.codedColour : metadata_.icc);
  if (recoloured) metadata_.icc.clear();
  FitAlphaTo(target);
  // Upright first: the resize and the rotation work on the picture as seen.
  const int upright = options_.autoOrient ? TurnUpright(working_, metadata_.exif, parts_) : 0;
  const bool turned = upright >= 2;
  KeepCarried(metadata_, options_);
  const int uprightWidth = working_.width(), uprightHeight = working_.height();
  ApplyCrop(working_, options_.crop, options_.rotation);
  const bool cropped = working_.width() != uprightWidth || working_.height() != uprightHeight;
  const int width = working_.width(), height = working_.height();
  // A picture decoded smaller is resized as its whole size plans it.
  std::optional<TargetSize> plannedFrom;
  if (shrunk_on_load_) {
    plannedFrom = TargetSize{report_.sourceSize.width, report_.sourceSize.height};
    if (upright >= 5) std::swap(plannedFrom->width, plannedFrom->height);
  }
  // A failed shrink fails the route: the picture is not what was asked for.
  if (auto failure =
          ApplyResize(working_, resize_source_, options_.resize, host_, options_.background, plannedFrom))
    throw ResizeFailure(*failure);
  resize_source_.Clear();  // the unshrunk picture is done with
  // A resize to the picture's own size leaves every colour as it was.
  const bool resized = working_.width() != width || working_.height() != height;
  Rotate(options_.rotation, host_);
  const bool rotated = options_.rotation >= 1 && options_.rotation <= 3;
  MakeFrames(upright);
  work_ = Work::Made;
  source_file_ = {img::PathFromUtf8(picture_->path), loaded_by_, report_.sourceSize};
  if (working_flattened_ || cropped || resized || recoloured || source_damaged_) return;
  if (!turned && !rotated)
    codecs_.UseUnchangedSource(&source_file_);
  else if (const int orientation = CombinedOrientation(turned ? upright : 1, rotated ? options_.rotation : 0);
           orientation != 1)
    codecs_.UseTurnedSource(&source_file_, orientation);
}

// A JPEG target of a JPEG source that may be its coded data turned, the
// pixels never decoded: nothing but a turn asked for, no size limit.
bool PictureConverter::MayTurnCoded(const PictureFormat& target) const {
  const PictureFormat& jpeg = FormatNamed("jpg");
  return options_.jpegLosslessTurn && options_.maxBytes == 0 && !options_.resize.Asked() && !options_.crop.Asked() &&
         options_.colour == TargetColour::Keep &&
         (options_.autoOrient || (options_.rotation >= 1 && options_.rotation <= 3)) && SameKind(target, jpeg) &&
         SameKind(*source_format_, jpeg);
}

// The picture as the options ask, told from its header and metadata alone:
// the turn its coded data take, and the metadata carried, as Make would
// leave them.
void PictureConverter::MakeCoded(const PictureFormat& target) {
  const int upright = options_.autoOrient ? ReadExifOrientation(metadata_.exif) : 0;
  if (options_.autoOrient) WriteExifOrientation(metadata_.exif, 1);
  KeepCarried(metadata_, options_);
  const bool rotated = options_.rotation >= 1 && options_.rotation <= 3;
  const int orientation = CombinedOrientation(upright >= 2 ? upright : 1, rotated ? options_.rotation : 0);
  if (orientation == 1) {
    // Turned back to as it is stored: the pixels are written as ever.
    pixels_needed_ = true;
    return Make(target);
  }
  working_alpha_ = working_flattened_ = false;
  source_file_ = {img::PathFromUtf8(picture_->path), loaded_by_, report_.sourceSize};
  codecs_.UseTurnedSource(&source_file_, orientation);
  const bool sideways = orientation >= 5;
  coded_size_ = {sideways ? report_.sourceSize.height : report_.sourceSize.width,
                 sideways ? report_.sourceSize.width : report_.sourceSize.height};
  work_ = Work::Coded;
}

bool PictureConverter::LoadSource() {
  host_.StepProgress();
  metadata_.clear();
  codecs_.ReadMetadataInto(ReadsMetadata(options_) ? &metadata_ : nullptr);
  codecs_.TakePreviews(options_.rawSource == RawSource::Preview ? PreviewSizes(options_) : nullptr);
  try {
    // The picture before is done with: the decode need not share memory with it.
    working_.Clear();
    codecs_.ReadPage(options_.page);
    animation_.clear();
    codecs_.ReadAnimationInto(options_.page == 0 && WritesAnimation(true) ? &animation_ : nullptr);
    codecs_.KeepDamaged(options_.keepDamaged);
    codecs_.TakePictures();
    codecs_.TakeDamage();
    source_damaged_ = false;
    report_.sourceSize = LoadPicture(picture_->path, working_, ShrinkOnLoad(), &codecs_, &loaded_by_);
    shrunk_on_load_ = !working_.empty() && (working_.width() != report_.sourceSize.width ||
                                            working_.height() != report_.sourceSize.height);
    report_.sourceKind = loaded_by_->name;
    NoteOtherPictures(codecs_.TakePictures());
    source_damaged_ = NoteDamage(codecs_.TakeDamage());
    // What the loader could only approximate.
    for (const std::string& line : codecs_.TakeWarnings()) WarnOnce(picture_->path + ": " + line);
    picture_bytes_ = std::max(picture_bytes_, working_.PixelBytes());
    return true;
  } catch (const std::exception& e) {
    codecs_.TakeWarnings();  // of a picture that is not converted
    work_ = Work::Failed;
    report_.failures.push_back({picture_->path, text::FailureCode::NotDecoded, e.what(), CauseOf(e)});
    return false;
  }
}

// A smooth shrink to half the picture's size or less may start from a
// decode that is itself smaller (JPEG's DCT scaling), as viewers and
// libvips do: the kernel still has twice its target to work from. Not with
// a crop, whose box is in the file's own pixels.
PictureSize PictureConverter::ShrinkOnLoad() const {
  if (options_.crop.Asked() || !options_.resize.Asked() || options_.resize.filter == ResizeFilter::Exact) return {};
  const std::optional<HeaderFacts> facts = ReadPictureHeader(picture_->path, HeaderDepth::Head);
  if (!facts) return {};
  const bool sideways = options_.autoOrient && facts->orientation >= 5;
  const TargetSize fit = LoadFit(facts->width, facts->height, sideways, options_.resize);
  return {fit.width, fit.height};
}

// Only WebP's writer keeps an animation; other targets take its first frame.
bool PictureConverter::KeepsAnimation(const PictureFormat& target) { return SameKind(target, FormatNamed("webp")); }

bool PictureConverter::WritesAnimation(bool keeping) const {
  for (const PlannedTarget& target : picture_->targets)
    if (!target.refusal && KeepsAnimation(*target.format) == keeping) return true;
  return false;
}

// A damaged source kept as far as it decodes is converted with a warning.
bool PictureConverter::NoteDamage(const std::string& damage) {
  if (damage.empty()) return false;
  WarnOnce(picture_->path + ": damaged, what decodes converted: " + damage);
  return true;
}

// A file of one picture has no other page to give; one of several is
// converted with a warning that the others were left out.
void PictureConverter::NoteOtherPictures(const PictureCodecs::Pictures& held) {
  if (held.count <= 1 || !held.noun) {
    CheckPageHeld(options_.page, 1, "picture");
    return;
  }
  // Every frame is kept where every target keeps the animation.
  if (animation_.frames.size() > 1 && !WritesAnimation(false)) return;
  std::string line = picture_->path + ": " + std::to_string(held.count) + " " + held.noun + "s: ";
  if (options_.page == 0) {
    line += held.first;
  } else {
    line += held.noun;
    line += ' ';
    line += std::to_string(options_.page + 1);
  }
  line += " converted";
  WarnOnce(std::move(line));
}

// A warning about the source, said once however often the picture is
// decoded (once for each kind of target that needs it made again).
void PictureConverter::WarnOnce(std::string line) {
  if (std::find(report_.warnings.begin(), report_.warnings.end(), line) == report_.warnings.end())
    report_.warnings.push_back(std::move(line));
}

bool PictureConverter::AlphaFits(const PictureFormat& target) const {
  return !working_alpha_ || working_flattened_ == !KeepsAlpha(target, *loaded_by_);
}

// A target that does not keep the picture's alpha gets it laid over the
// background (white unless chosen) as soon as it is decoded, so its shrink
// and turn see the very pixels they always did.
void PictureConverter::FitAlphaTo(const PictureFormat& target) {
  working_alpha_ = img::HasAlpha(working_.format());
  working_flattened_ = working_alpha_ && !KeepsAlpha(target, *loaded_by_);
  if (working_flattened_) working_.ConvertTo24(options_.background.value_or(img::PaletteEntry{255, 255, 255, 0}));
}

// Every frame of an animation made as the picture was: laid over white,
// turned upright by the picture's own orientation, resized and rotated.
void PictureConverter::MakeFrames(int orientation) {
  for (AnimationFrame& frame : animation_.frames) {
    std::swap(working_, frame.picture);
    if (working_flattened_) working_.ConvertTo24();
    if (orientation >= 2) ApplyExifOrientation(working_, orientation, parts_);
    // Each frame as the first: cut, resized and set on its canvas alike.
    ApplyCrop(working_, options_.crop, options_.rotation);
    std::optional<img::ImageError> failure =
        ApplyResize(working_, resize_source_, options_.resize, img::NullProgress(), options_.background);
    resize_source_.Clear();
    if (!failure) Rotate(options_.rotation, img::NullProgress());
    std::swap(working_, frame.picture);
    if (failure) throw ResizeFailure(*failure);
  }
}

void PictureConverter::Rotate(int rotation, img::ProgressSink& sink) {
  if (rotation < 1 || rotation > 3) return;  // none, or nothing chosen in the list
  // The rotation consumes its source: hand it the working picture itself
  // rather than a copy, and take the turned picture back.
  auto source = std::make_unique<img::Bitmap>(std::move(working_));
  working_ = img::Bitmap();
  std::unique_ptr<img::Bitmap> result;
  img::RotateBitmapScanLine(std::move(source), rotation * 90, 0, sink, parts_, result);
  if (!result) throw img::ImageError(img::ErrorCode::InvalidArgument, "rotation gave no picture");
  working_ = std::move(*result);
}

}  // namespace engine

#include "engine/PictureConverter.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "engine/ExifOrientation.h"
#include "engine/MetadataPolicy.h"
#include "engine/ResizeRules.h"
#include "engine/TextUtil.h"
#include "imaging/FileIO.h"
#include "imaging/ImageError.h"
#include "imaging/MemoryReuse.h"
#include "imaging/ScreenRotateScanLine.h"

namespace engine {

namespace {

// The options that decide the pixels of a route's picture and what it carries.
bool SameProcessing(const ConversionOptions& a, const ConversionOptions& b) {
  return a.zoomType == b.zoomType && a.widthText == b.widthText && a.heightText == b.heightText &&
         a.keepRatio == b.keepRatio && a.fitInBox == b.fitInBox &&
         a.resizeFilter == b.resizeFilter && a.rotation == b.rotation &&
         a.autoOrient == b.autoOrient && a.metadata == b.metadata;
}

// Anything at the path counts, a link that leads nowhere included; a path
// that cannot be looked at is left to the write to report.
bool TargetExists(const std::string& target) {
  std::error_code ec;
  const auto type = std::filesystem::symlink_status(img::PathFromUtf8(target), ec).type();
  return type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none;
}

class BusyGuard {
 public:
  explicit BusyGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyGuard() { flag_ = false; }

 private:
  bool& flag_;
};

}  // namespace

PictureConverter::PictureConverter(ConversionHost& host, int threads)
    : host_(host), parts_(host, threads) {}

ConversionReport PictureConverter::ConvertPicture(const std::string& sourcePath,
                                                  const std::string& outputFolder,
                                                  const std::string& targetName) {
  const RunPlan plan = PlanRun({{sourcePath, targetName, {}}}, outputFolder, host_.Options());
  return ConvertPicture(plan.pictures.front());
}

ConversionReport PictureConverter::ConvertPicture(const PlannedPicture& picture) {
  ConversionReport report;
  if (busy_) {
    report.failures.push_back(picture.path + ": another conversion is under way");
    return report;
  }
  BusyGuard guard(busy_);
  working_valid_ = false;
  working_failed_ = false;
  picture_bytes_ = 0;
  codecs_.ForgetEncoded();

  host_.StepProgress();
  const PictureFormat* source = FindFormatByExtension(ExtensionOf(picture.path), FormatSet::All);
  if (!source || !picture.isPicture) return report;
  report.isPicture = true;

  // The planned targets, in the table's writing order.
  for (const PlannedTarget& target : picture.targets) RunRoute(target, *source, picture, report);
  HandBackIfUnusual(picture_bytes_);
  return report;
}

std::size_t PictureConverter::KeptBytes() const {
  return working_.PixelBytes() + resize_source_.PixelBytes() + codecs_.KeptBytes();
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
    // Freed memory is otherwise kept in the process for the next picture.
    img::ReturnFreedMemory();
  }
  recent_bytes_.push_back(picture_bytes);
  if (recent_bytes_.size() > kRecent) recent_bytes_.erase(recent_bytes_.begin());
}

void PictureConverter::RunRoute(const PlannedTarget& planned, const PictureFormat& source,
                                const PlannedPicture& picture, ConversionReport& report) {
  const PictureFormat& format = *planned.format;
  const std::string& target = planned.path;
  const std::string& sourcePath = picture.path;
  try {
    if (host_.Options().skipExisting && TargetExists(target)) {
      report.skipped.push_back(target);
      return;
    }
    if (!planned.refusal.empty()) {
      report.failures.push_back(target + ": " + planned.refusal);
      return;
    }
    host_.StepProgress();
    if (source.kind == PictureKind::Jpeg && format.kind != PictureKind::Bmp) host_.StepProgress();

    const ConversionOptions before = host_.Options();
    if (!(working_valid_ && SameProcessing(before, working_options_) && AlphaFits(format))) {
      if (working_failed_) return;  // already reported: nothing is written from a stale picture
      working_valid_ = false;
      codecs_.ForgetEncoded();
      if (!LoadSource(sourcePath, before, report)) return;
      FitAlphaTo(format);
      // Upright first: the resize and the rotation work on the picture as seen.
      if (before.autoOrient) TurnUpright(working_, metadata_.exif, parts_);
      KeepCarried(metadata_, before);
      // A failed shrink fails the route: the picture is not what was asked for.
      if (auto failure = ApplyResize(working_, resize_source_, host_))
        throw img::ImageError(failure->code(), std::string("cannot be resized: ") + failure->what());
      resize_source_.Clear();  // the unshrunk picture is done with
      Rotate(host_.Options().rotation);
      // Options changed by an event pump in the middle of this route make
      // the picture a mixture: good for this route, not for reuse.
      const ConversionOptions after = host_.Options();
      working_valid_ = SameProcessing(before, after);
      working_options_ = before;
    } else {
      host_.StepProgress();  // the loader's step, for a steady progress display
    }

    // A picture made for this route alone is encoded for it alone.
    if (!working_valid_) codecs_.ForgetEncoded();
    codecs_.UseEncoderSettings(before);
    codecs_.CarryMetadata(metadata_.empty() ? nullptr : &metadata_);
    (codecs_.*format.write)(working_, img::PathFromUtf8(target), host_, parts_);
    for (const std::string& left_out : codecs_.TakeWarnings()) report.warnings.push_back(target + ": " + left_out);
    if (!working_valid_) codecs_.ForgetEncoded();
    report.written.push_back(target);
    if (picture.renamed) ++report.renamed;
    AddFileNameIfAbsent(target, host_.ConvertedList());
  } catch (const std::exception& e) {
    working_valid_ = false;
    report.failures.push_back(target + ": " + e.what());
  }
}

bool PictureConverter::LoadSource(const std::string& sourcePath, const ConversionOptions& options,
                                  ConversionReport& report) {
  host_.StepProgress();
  metadata_.clear();
  codecs_.ReadMetadataInto(ReadsMetadata(options) ? &metadata_ : nullptr);
  try {
    // The picture before is done with: the decode need not share memory with it.
    working_.Clear();
    LoadPicture(sourcePath, working_, {}, &codecs_);
    picture_bytes_ = std::max(picture_bytes_, working_.PixelBytes());
    return true;
  } catch (const std::exception& e) {
    working_failed_ = true;
    report.failures.push_back(sourcePath + ": cannot be decoded: " + e.what());
    return false;
  }
}

bool PictureConverter::AlphaFits(const PictureFormat& target) const {
  return !working_alpha_ || working_flattened_ == !KeepsAlpha(target.kind);
}

// A target that holds no alpha gets the picture laid over white as soon as
// it is decoded, so its shrink and turn see the very pixels they always did.
void PictureConverter::FitAlphaTo(const PictureFormat& target) {
  working_alpha_ = img::HasAlpha(working_.format());
  working_flattened_ = working_alpha_ && !KeepsAlpha(target.kind);
  if (working_flattened_) working_.ConvertTo24();
}

void PictureConverter::Rotate(int rotation) {
  if (rotation < 1 || rotation > 3) return;  // none, or nothing chosen in the list
  // The rotation consumes its source: hand it the working picture itself
  // rather than a copy, and take the turned picture back.
  auto source = std::make_unique<img::Bitmap>(std::move(working_));
  working_ = img::Bitmap();
  std::unique_ptr<img::Bitmap> result;
  img::RotateBitmapScanLine(std::move(source), rotation * 90, 0, host_, parts_, result);
  if (!result) throw img::ImageError(img::ErrorCode::InvalidArgument, "rotation gave no picture");
  working_ = std::move(*result);
}

}  // namespace engine

#include "engine/PictureConverter.h"

#include <memory>

#include "engine/ResizeRules.h"
#include "engine/TextUtil.h"
#include "imaging/FileIO.h"
#include "imaging/ImageError.h"
#include "imaging/ScreenRotateScanLine.h"

namespace engine {

namespace {

enum class Writer { Bmp, Jpeg, Png };

// The options that decide the pixels of a route's picture.
bool SameProcessing(const ConversionOptions& a, const ConversionOptions& b) {
  return a.zoomType == b.zoomType && a.widthText == b.widthText && a.heightText == b.heightText &&
         a.keepRatio == b.keepRatio && a.rotation == b.rotation;
}

bool Ticked(const ConversionOptions& options, int format) {
  switch (format) {
    case 0: return options.toBmp;
    case 1: return options.toJpg;
    case 2: return options.toJpeg;
    default: return options.toPng;
  }
}

class BusyGuard {
 public:
  explicit BusyGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyGuard() { flag_ = false; }

 private:
  bool& flag_;
};

}  // namespace

struct PictureConverter::Route {
  int format;             // 0 BMP, 1 JPG, 2 JPEG, 3 PNG: the fixed writing order
  const char* extension;  // of the target
  Writer writer;
};

const std::vector<std::string>& PictureExtensionTable() {
  static const std::vector<std::string> table{".jpg", ".jpeg", ".bmp", ".png"};
  return table;
}

bool IsPictureExtension(const std::string& ext) {
  const std::string e = AsciiLower(TrimBlanks(ext));
  return e == ".jpg" || e == ".bmp" || e == ".jpeg" || e == ".png";
}

PictureConverter::PictureConverter(ConversionHost& host, int threads)
    : host_(host), parts_(host, threads) {}

ConversionReport PictureConverter::ConvertPicture(const std::string& sourcePath,
                                                  const std::string& outputFolder,
                                                  const std::string& targetName) {
  ConversionReport report;
  if (busy_) {
    report.failures.push_back(sourcePath + ": another conversion is under way");
    return report;
  }
  BusyGuard guard(busy_);
  working_valid_ = false;
  working_failed_ = false;
  jpeg_bytes_.clear();

  host_.StepProgress();
  const std::string ext = AsciiLower(ExtensionOf(sourcePath));
  Kind kind;
  if (ext == ".bmp") kind = Kind::Bmp;
  else if (ext == ".jpg" || ext == ".jpeg") kind = Kind::Jpeg;
  else if (ext == ".png") kind = Kind::Png;
  else return report;
  report.isPicture = true;

  static const Route kRoutes[] = {
      {0, ".bmp", Writer::Bmp},
      {1, ".jpg", Writer::Jpeg},
      {2, ".jpeg", Writer::Jpeg},
      {3, ".png", Writer::Png},
  };
  const std::string name = targetName.empty() ? FileNamePart(sourcePath) : targetName;
  for (const Route& route : kRoutes) {
    if (!Ticked(host_.Options(), route.format)) continue;
    RunRoute(route, kind, sourcePath, outputFolder, name, report);
  }
  return report;
}

void PictureConverter::RunRoute(const Route& route, Kind kind, const std::string& sourcePath,
                                const std::string& outputFolder, const std::string& name,
                                ConversionReport& report) {
  // The same-kind routes keep the source's name letter for letter.
  const bool keep_name = (kind == Kind::Bmp && route.writer == Writer::Bmp) ||
                         (kind == Kind::Png && route.writer == Writer::Png);
  const std::string target = outputFolder + (keep_name ? name : ReplaceExtension(name, route.extension));
  try {
    // With the output folder the source's own, writing would replace the
    // user's original by its converted copy (its alpha or full size lost).
    if (img::IsSameFile(img::PathFromUtf8(sourcePath), img::PathFromUtf8(target))) {
      report.failures.push_back(target + ": the target is the source file itself");
      return;
    }
    host_.StepProgress();
    if (kind == Kind::Jpeg && route.writer != Writer::Bmp) host_.StepProgress();

    const ConversionOptions before = host_.Options();
    if (!(working_valid_ && SameProcessing(before, working_options_))) {
      if (working_failed_) return;  // already reported: nothing is written from a stale picture
      working_valid_ = false;
      jpeg_bytes_.clear();
      if (!LoadSource(kind, sourcePath, report)) return;
      ApplyResize(working_, resize_source_, host_);
      Rotate(host_.Options().rotation);
      // Options changed by an event pump in the middle of this route make
      // the picture a mixture: good for this route, not for reuse.
      const ConversionOptions after = host_.Options();
      working_valid_ = SameProcessing(before, after);
      working_options_ = before;
    } else {
      host_.StepProgress();  // the loader's step, for a steady progress display
    }

    WriteTarget(route, target);
    report.written.push_back(target);
    AddFileNameIfAbsent(target, host_.ConvertedList());
  } catch (const std::exception& e) {
    working_valid_ = false;
    report.failures.push_back(target + ": " + e.what());
  }
}

bool PictureConverter::LoadSource(Kind kind, const std::string& sourcePath, ConversionReport& report) {
  host_.StepProgress();
  try {
    const auto path = img::PathFromUtf8(sourcePath);
    switch (kind) {
      case Kind::Bmp: working_.LoadFromFile(path); break;
      case Kind::Jpeg: jpeg_codec_.Load(path, working_); break;
      case Kind::Png: png_codec_.Load(path, working_); break;
    }
    return true;
  } catch (const std::exception& e) {
    working_failed_ = true;
    report.failures.push_back(sourcePath + ": cannot be decoded: " + e.what());
    return false;
  }
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

void PictureConverter::WriteTarget(const Route& route, const std::string& targetPath) {
  const auto path = img::PathFromUtf8(targetPath);
  switch (route.writer) {
    case Writer::Bmp:
      working_.SaveToFile(path);
      break;
    case Writer::Jpeg:
      host_.StepProgress();
      if (jpeg_bytes_.empty() || !working_valid_) {
        jpeg_codec_.SetQuality(100);
        jpeg_bytes_ = jpeg_codec_.Encode(working_);
      }
      img::WriteFileAtomically(path, jpeg_bytes_);
      if (!working_valid_) jpeg_bytes_.clear();
      break;
    case Writer::Png:
      host_.StepProgress();
      png_codec_.Save(working_, path, parts_);
      break;
  }
}

}  // namespace engine

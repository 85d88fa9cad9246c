#include "ui/core/ConversionRuns.h"

#include <filesystem>

#include "engine/FolderWalk.h"
#include "engine/PictureFormats.h"
#include "engine/TextUtil.h"
#include "imaging/FileIO.h"
#include "text/InterfaceText.h"
#include "ui/core/Dialogs.h"
#include "ui/core/FolderPaths.h"

namespace ui {

namespace {

const char kSelectPicture[] = "请选择一个要转换的图片";
const char kStopped[] = "你已停止图片转换";
// Not in the text tables: the hint for a picture that could not be
// converted, which must not be reported as converted.
const char kConversionFailed[] = "转换失败";
// The hint's detail names this many failed pictures at most: a tooltip
// taller than the screen helps nobody.
constexpr int kListedFailures = 20;

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(img::PathFromUtf8(path), ec);
}

// After every picture: a short pause so the window paints, pending events
// (a stop click among them), and one progress step.
void BetweenPictures(RunWindow& window) {
  window.Pause(3);
  window.PumpEvents();
  window.StepProgress();
}

// The converted picture to select: the last selected source with the
// extension of the format table's final choice among the ticked formats.
std::string FinalTargetName(const std::string& lastPath, const engine::ConversionOptions& o) {
  const engine::PictureFormat* format = engine::FinalFormat(o);
  return format ? engine::FileNamePart(engine::ReplaceExtension(lastPath, format->extension)) : std::string();
}

// Targets go only into a folder that exists: a blank or unusable output
// text would otherwise write them relative to wherever the program started.
bool OutputFolderReady(const std::string& folder) {
  if (CreateFolderWithParents(folder) == FolderCreation::Ready) return true;
  CurrentDialogs().ShowMessage(text::TxtSelectPath);
  return false;
}

// The pictures of one run that failed, each with the failure lines of its
// report, shown in the hint's detail as they happen.
class FailedPictures {
 public:
  explicit FailedPictures(RunWindow& window) : window_(window) { window_.SetHintDetail({}); }

  void Add(const std::string& path, const engine::ConversionReport& report) {
    if (report.ok()) return;
    if (++count_ <= kListedFailures) {
      listed_ += path + "\n";
      // A line that starts with the picture's own path need not repeat it.
      const std::string own = path + ": ";
      for (const std::string& line : report.failures)
        listed_ += "    " + (line.rfind(own, 0) == 0 ? line.substr(own.size()) : line) + "\n";
    }
    std::string detail = listed_;
    if (count_ > kListedFailures)
      detail += "……另有" + std::to_string(count_ - kListedFailures) + "个图片转换失败\n";
    detail.pop_back();
    window_.SetHintDetail(detail);
  }
  int Count() const { return count_; }

 private:
  RunWindow& window_;
  std::string listed_;
  int count_ = 0;
};

}  // namespace

// The window's end of the core's failure path: a picture that failed (its
// reasons are in the report) shows no message, only this hint, and the run
// goes on with the next picture.
std::string PictureHint(const engine::ConversionReport& report, const std::string& path) {
  return (report.ok() ? text::TxtConverted : std::string(kConversionFailed)) + path;
}

std::string RunEndHint(int failedPictures) {
  if (failedPictures == 0) return text::TxtAllConverted;
  return text::TxtAllConverted + "（" + std::to_string(failedPictures) + "个图片转换失败）";
}

RunEnd ConvertSelected(RunWindow& window, engine::PictureConverter& converter) {
  FailedPictures failed(window);
  const std::string sourceFolder = window.SourcePath(), targetFolder = window.TargetPath();
  engine::PictureList& source = window.SourceList();
  if (source.CurrentIndex() == -1) {
    CurrentDialogs().ShowMessage(kSelectPicture);
    window.FocusSourceList();
    return RunEnd::NoSelection;
  }
  if (!OutputFolderReady(targetFolder)) return RunEnd::NoOutputFolder;
  window.ShowProgressBar();
  std::string last_path;
  // The count is taken once: the window keeps the list unchanged during a run.
  const int count = source.Count();
  for (int i = 0; i < count; ++i) {
    if (window.StopRequested()) {
      window.SetHint(kStopped);
      return RunEnd::Stopped;
    }
    if (!source.IsSelected(i)) continue;
    const std::string path = sourceFolder + source.Item(i);
    last_path = path;
    if (!FileExists(path)) continue;
    const engine::ConversionReport report = converter.ConvertPicture(path, targetFolder);
    failed.Add(path, report);
    window.SetHint(PictureHint(report, path));
    BetweenPictures(window);
  }
  if (last_path.empty()) {
    CurrentDialogs().ShowMessage(kSelectPicture);
    engine::SelectOnlyItem(&source, 0);
    window.FocusSourceList();
    return RunEnd::NoSelection;
  }

  const std::string name = FinalTargetName(last_path, window.Options());
  if (!name.empty()) {
    engine::PictureList& target = window.TargetList();
    int index = engine::FindListItem(name, &target);
    window.FocusTargetList();
    // Only a file that was written is ever added to the converted list.
    if (index < 0 && FileExists(targetFolder + name)) {
      target.Append(name);
      index = target.Count() - 1;
    }
    if (index >= 0) {
      engine::SelectOnlyItem(&target, index);
      window.TargetListClick();
    }
  }
  window.SetProgress(0);
  window.SetHint(RunEndHint(failed.Count()));
  window.ClearStopRequest();
  return RunEnd::Completed;
}

RunEnd ConvertFolder(RunWindow& window, engine::PictureConverter& converter) {
  FailedPictures failed(window);
  window.ShowProgressBar();
  const std::string source = window.SourceEditFolder(), output = window.OutputEditFolder();
  // The output folder is made before the first picture: without it every
  // target would fail while the run reported success.
  if (!OutputFolderReady(output)) return RunEnd::NoOutputFolder;

  std::vector<engine::ListedPicture> listing;
  if (!source.empty())
    engine::ListPictureTree(source, engine::PictureExtensionTable(), listing, output);
  for (const engine::ListedPicture& picture : listing) {
    if (window.StopRequested()) {
      window.SetHint(kStopped);
      return RunEnd::Stopped;
    }
    if (!FileExists(picture.path)) continue;
    const engine::ConversionReport report =
        converter.ConvertPicture(picture.path, output, picture.targetName);
    failed.Add(picture.path, report);
    window.SetHint(PictureHint(report, picture.displayPath));
    BetweenPictures(window);
  }
  window.StepProgress();
  window.RefreshTargetList();
  window.SetProgress(0);
  window.SetHint(RunEndHint(failed.Count()));
  return RunEnd::Completed;
}

}  // namespace ui

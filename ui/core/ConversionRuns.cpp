#include "ui/core/ConversionRuns.h"

#include <filesystem>

#include "engine/FolderWalk.h"
#include "engine/PictureFormats.h"
#include "engine/TextUtil.h"
#include "imaging/FileIO.h"
#include "imaging/TemporaryFiles.h"
#include "text/InterfaceText.h"
#include "ui/core/Dialogs.h"
#include "ui/core/FolderPaths.h"

namespace ui {

namespace {

const char kSelectPicture[] = "请选择一个要转换的图片";
const char kStopped[] = "你已停止图片转换";
// Not in the text tables: the hint for a picture that could not be
// converted, which must not be reported as converted, and the closing
// hint's count of targets numbered because an earlier picture of the run
// had taken their names.
const char kConversionFailed[] = "转换失败";
const char kRenamedBefore[] = "（";
const char kRenamedAfter[] = "个转换后图片因重名加了编号）";
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

// The converted picture to select: the final choice of the format table
// among the ticked formats, as the plan named it for the last selected
// source; a source left out of the plan names it from its own path.
std::string FinalTargetName(const std::string& lastPath, const engine::PlannedPicture* planned,
                            const engine::ConversionOptions& o) {
  const engine::PictureFormat* format = engine::FinalFormat(o);
  if (!format) return {};
  if (planned)
    for (const engine::PlannedTarget& target : planned->targets)
      if (target.format == format) return engine::FileNamePart(target.path);
  return engine::FileNamePart(engine::ReplaceExtension(lastPath, format->extension));
}

// The pictures of the source folder: a run must not replace any of them,
// selected or not.
std::vector<std::string> PicturesOfFolder(const std::string& folder) {
  std::vector<std::string> pictures;
  for (const std::string& path : ListFolderFiles(folder))
    if (engine::IsPictureExtension(engine::ExtensionOf(path))) pictures.push_back(path);
  return pictures;
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

std::string RunEndHint(int failedPictures, int renamedTargets) {
  std::string hint = text::TxtAllConverted;
  if (failedPictures > 0) hint += "（" + std::to_string(failedPictures) + "个图片转换失败）";
  if (renamedTargets > 0) hint += kRenamedBefore + std::to_string(renamedTargets) + kRenamedAfter;
  return hint;
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

  // Every target planned before the first is written. The count is taken
  // once: the window keeps the list unchanged during a run.
  const int count = source.Count();
  std::vector<engine::RunSource> selected;
  std::vector<int> entry_of;  // the list entry of each selected source
  for (int i = 0; i < count; ++i) {
    if (!source.IsSelected(i)) continue;
    selected.push_back({sourceFolder + source.Item(i), {}, {}});
    entry_of.push_back(i);
  }
  const engine::ConversionOptions options = window.Options();
  const engine::RunPlan plan = engine::PlanRun(selected, targetFolder, options, PicturesOfFolder(sourceFolder));
  std::vector<const engine::PlannedPicture*> planned_for(count, nullptr);
  for (const engine::PlannedPicture& picture : plan.pictures)
    planned_for[entry_of[picture.source]] = &picture;
  img::RemoveStaleTemporaries(img::PathFromUtf8(targetFolder));

  std::string last_path;
  int last = -1, renamed = 0;
  for (int i = 0; i < count; ++i) {
    if (window.StopRequested()) {
      window.SetHint(kStopped);
      return RunEnd::Stopped;
    }
    if (!source.IsSelected(i)) continue;
    const std::string path = sourceFolder + source.Item(i);
    last_path = path;
    last = i;
    // A file listed twice (one file under two spellings) is converted once.
    if (!planned_for[i] || !FileExists(path)) continue;
    const engine::ConversionReport report = converter.ConvertPicture(*planned_for[i]);
    failed.Add(path, report);
    renamed += report.renamed;
    window.SetHint(PictureHint(report, path));
    BetweenPictures(window);
  }
  if (last_path.empty()) {
    CurrentDialogs().ShowMessage(kSelectPicture);
    engine::SelectOnlyItem(&source, 0);
    window.FocusSourceList();
    return RunEnd::NoSelection;
  }

  const std::string name = FinalTargetName(last_path, planned_for[last], options);
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
  window.SetHint(RunEndHint(failed.Count(), renamed));
  window.ClearStopRequest();
  return RunEnd::Completed;
}

bool FolderRunConfirmed(RunWindow& window) {
  const std::string source = window.SourceEditFolder();
  return !IsRootFolder(source) ||
         CurrentDialogs().AskYesNo(text::FormatText(text::FmtConfirmRootRun, source), text::TxtReminder);
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
  std::vector<engine::RunSource> sources;
  sources.reserve(listing.size());
  for (const engine::ListedPicture& picture : listing) sources.push_back({picture.path, picture.targetName, {}});
  // Every target planned before the first is written: pictures of one
  // name in several subfolders get numbered targets, none replaces another.
  const engine::RunPlan plan = engine::PlanRun(sources, output, window.Options());
  img::RemoveStaleTemporaries(img::PathFromUtf8(output));

  int renamed = 0;
  for (const engine::PlannedPicture& picture : plan.pictures) {
    if (window.StopRequested()) {
      window.SetHint(kStopped);
      return RunEnd::Stopped;
    }
    if (!FileExists(picture.path)) continue;
    const engine::ConversionReport report = converter.ConvertPicture(picture);
    failed.Add(picture.path, report);
    renamed += report.renamed;
    window.SetHint(PictureHint(report, listing[picture.source].displayPath));
    BetweenPictures(window);
  }
  window.StepProgress();
  window.RefreshTargetList();
  window.SetProgress(0);
  window.SetHint(RunEndHint(failed.Count(), renamed));
  return RunEnd::Completed;
}

}  // namespace ui

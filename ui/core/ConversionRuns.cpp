#include "ui/core/ConversionRuns.h"

#include <filesystem>

#include "ui/core/WindowFormats.h"
#include "engine/plan/FolderWalk.h"
#include "engine/run/InOrderRun.h"
#include "engine/formats/PictureFormats.h"
#include "engine/plan/TargetFolders.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "text/InterfaceText.h"
#include "ui/core/Dialogs.h"
#include "ui/core/FolderPaths.h"
#include "ui/core/WindowResize.h"
#include "text/WindowText.h"

namespace ui {

namespace {

using text::kSelectPicture;
const char* const kStopped = text::kRunStopped;
// The window speaks Chinese, failures included.
constexpr text::FailureLanguage kWords = text::FailureLanguage::Chinese;

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(img::PathFromUtf8(path), ec);
}

// The converted picture to select: the final choice of the format table
// among the ticked formats, as the plan named it for the last selected
// source; a source left out of the plan names it from its own path.
std::string FinalTargetName(const std::string& lastPath, const engine::PlannedPicture* planned,
                            const engine::ConversionOptions& o) {
  const engine::PictureFormat* format = FinalFormat(o.targets);
  if (!format) return {};
  if (planned)
    for (const engine::PlannedTarget& target : planned->targets)
      if (target.format == format) return img::FileNamePart(target.path);
  return img::FileNamePart(img::ReplaceExtension(lastPath, format->extension));
}

// The pictures of the source folder: a run must not replace any of them,
// selected or not.
std::vector<std::string> PicturesOfFolder(const std::string& folder) {
  std::vector<std::string> pictures;
  for (const std::string& path : ListFolderFiles(folder))
    if (IsPictureExtension(img::ExtensionOf(path))) pictures.push_back(path);
  return pictures;
}

// Targets go only into a folder that exists: a blank or unusable output
// text would otherwise write them relative to wherever the program started.
bool OutputFolderReady(const std::string& folder) {
  if (CreateFolderWithParents(folder) == FolderCreation::Ready) return true;
  CurrentDialogs().ShowMessage(text::TxtSelectPath);
  return false;
}

// A failed picture's lines for the failure list; a failure of the
// picture's own path need not repeat it.
std::string FailureEntry(const std::string& source, const engine::ConversionReport& report) {
  std::string entry = source;
  for (const engine::ConversionFailure& failure : report.failures)
    entry += "\n    " + (failure.path == source ? text::DescribeFailure(failure.code, failure.detail, kWords, failure.cause)
                                                 : failure.Line(kWords));
  return entry;
}

// The counts' part of a closing hint.
std::string CountsText(const RunCounts& c) {
  std::string t;
  auto add = [&t](int n, const char* before, const char* after) {
    if (n > 0) t += before + std::to_string(n) + after;
  };
  add(c.failedPictures, text::kFailedCountBefore, text::kFailedCountAfter);
  add(c.missedTargets, text::kMissedCountBefore, text::kMissedCountAfter);
  add(c.renamedTargets, text::kRenamedCountBefore, text::kRenamedCountAfter);
  // Files of kinds no codec reads (camera RAW, text ...) are no failure,
  // yet nobody should think them converted.
  add(c.passedOver, text::kPassedOverBefore, text::kPassedOverAfter);
  return t;
}

// Why the options would make a run that seems done and is not: nothing
// ticked writes nothing, a shrink with no size writes every picture at
// full size. Completed when nothing stands in the way.
RunEnd OptionsRefusal(RunWindow& window) {
  const engine::ConversionOptions o = window.Options();
  if (o.targets.None()) return RunEnd::NoFormat;
  if (!GivesASize(o.resize)) return RunEnd::NoSize;
  return RunEnd::Completed;
}

bool RefusedByOptions(RunWindow& window, RunEnd& notStarted) {
  const RunEnd refusal = OptionsRefusal(window);
  if (refusal == RunEnd::Completed) return false;
  CurrentDialogs().ShowMessage(refusal == RunEnd::NoFormat ? text::kTickAFormat : text::kGiveASize);
  notStarted = refusal;
  return true;
}

}  // namespace

// The window's end of the core's failure path: a picture that failed (its
// reasons are in the report) shows no message, only this hint, and the run
// goes on with the next picture.
std::string PictureHint(const engine::ConversionReport& report, const std::string& path, int done, int total) {
  // The count first: a long path is cut at the line's end.
  const bool converted = report.ok() || !report.written.empty();
  return std::to_string(done) + text::kCountOf + std::to_string(total) + text::kCountEnd +
         (converted ? text::TxtConverted : std::string(text::kConversionFailed)) + path;
}

std::string RunEndHint(const RunCounts& counts) { return text::TxtAllConverted + CountsText(counts); }

std::string StopHint(int converted, const RunCounts& counts) {
  return kStopped + (text::kStoppedCountBefore + std::to_string(converted) + text::kStoppedCountAfter) +
         CountsText(counts);
}

std::optional<Run> StartSelectedRun(RunWindow& window, RunEnd& notStarted) {
  if (RefusedByOptions(window, notStarted)) return std::nullopt;
  Run run;
  run.sourceFolder = window.SourcePath();
  run.outputFolder = window.TargetPath();
  engine::PictureList& source = window.SourceList();
  if (source.CurrentIndex() == -1) {
    CurrentDialogs().ShowMessage(kSelectPicture);
    window.FocusSourceList();
    notStarted = RunEnd::NoSelection;
    return std::nullopt;
  }
  for (int i = 0; i < source.Count(); ++i) {
    if (!source.IsSelected(i)) continue;
    run.names.push_back(source.Item(i));
    run.entries.push_back(i);
  }
  if (run.names.empty()) {
    CurrentDialogs().ShowMessage(kSelectPicture);
    engine::SelectOnlyItem(&source, 0);
    window.FocusSourceList();
    notStarted = RunEnd::NoSelection;
    return std::nullopt;
  }
  if (!OutputFolderReady(run.outputFolder)) {
    notStarted = RunEnd::NoOutputFolder;
    return std::nullopt;
  }
  window.ShowProgressBar();
  run.options = window.Options();
  window.OfferFailures({});  // a run starts: the last one's failures go
  return run;
}

std::optional<Run> StartFolderRun(RunWindow& window, RunEnd& notStarted) {
  if (RefusedByOptions(window, notStarted)) return std::nullopt;
  Run run;
  run.folderRun = true;
  window.ShowProgressBar();
  run.sourceFolder = window.SourceEditFolder();
  run.outputFolder = window.OutputEditFolder();
  run.keepTree = window.KeepTree();
  // The output folder is made before the first picture: without it every
  // target would fail while the run reported success.
  if (!OutputFolderReady(run.outputFolder)) {
    notStarted = RunEnd::NoOutputFolder;
    return std::nullopt;
  }
  run.options = window.Options();
  window.OfferFailures({});  // a run starts: the last one's failures go
  return run;
}

RunEnd WorkRun(Run& run, RunEvents& events, std::uint64_t memoryBudget) {
  std::vector<engine::RunSource> sources;
  if (run.folderRun) {
    std::vector<engine::ListedPicture> listing;
    if (!run.sourceFolder.empty())
      engine::ListPictureTree(run.sourceFolder, WindowPictureExtensions(), listing, run.outputFolder, nullptr,
                              &run.counts.passedOver);
    sources.reserve(listing.size());
    for (engine::ListedPicture& picture : listing) {
      sources.push_back({picture.path, picture.targetName, run.keepTree ? picture.subfolder : std::string()});
      run.displayPaths.push_back(std::move(picture.displayPath));
    }
    // Every target planned before the first is written: pictures of one
    // name in several subfolders get numbered targets (unless each keeps
    // its subfolder), none replaces another.
    run.plan = engine::PlanRun(sources, run.outputFolder, run.options);
  } else {
    for (const std::string& name : run.names) {
      sources.push_back({run.sourceFolder + name, {}, {}});
      run.displayPaths.push_back(run.sourceFolder + name);
    }
    // A selected run must not replace any picture of its folder, selected or not.
    run.plan = engine::PlanRun(sources, run.outputFolder, run.options, PicturesOfFolder(run.sourceFolder));
  }
  std::vector<const engine::PlannedPicture*> pictures;
  engine::InOrderRun pipeline(events, memoryBudget);
  engine::InOrderRun::Hooks hooks;
  hooks.stop = [&] { return events.StopRequested(); };
  hooks.wanted = [](const engine::PlannedPicture& picture) { return FileExists(picture.path); };
  run.total = static_cast<int>(run.plan.pictures.size());
  hooks.done = [&](const engine::PlannedPicture& picture, const engine::ConversionReport& report) {
    const std::string& shown = run.displayPaths[picture.source];
    ++run.done;
    if (!report.written.empty()) ++run.converted;
    if (!report.ok()) {
      // A picture with some targets written is converted: what it missed
      // is counted apart.
      if (report.written.empty())
        ++run.counts.failedPictures;
      else
        run.counts.missedTargets += static_cast<int>(report.failures.size());
      run.failures.push_back(FailureEntry(picture.path, report));
    }
    run.counts.renamedTargets += report.renamed;
    events.SetHint(PictureHint(report, shown, run.done, run.total));
    events.SetProgress(run.done * 100 / run.total);
  };
  // The output folder held from now to the end: one swapped meanwhile for
  // a link takes none of the targets elsewhere. A picture whose folder
  // cannot be held fails with the reason.
  const engine::TargetFolders folders(run.plan);
  for (const engine::PlannedPicture& picture : run.plan.pictures) {
    if (std::optional<engine::ConversionFailure> failure = folders.FailureOf(picture)) {
      engine::ConversionReport report;
      report.isPicture = picture.isPicture;
      report.failures.push_back(std::move(*failure));
      hooks.done(picture, report);
    } else {
      pictures.push_back(&picture);
    }
  }
  return pipeline.Run(pictures, hooks) ? RunEnd::Completed : RunEnd::Stopped;
}

void EndRun(RunWindow& window, const Run& run, RunEnd end) {
  if (end == RunEnd::Stopped) {
    window.SetHint(StopHint(run.converted, run.counts));
    window.OfferFailures(run.failures);
    return;
  }
  if (end != RunEnd::Completed) return;
  if (run.folderRun) {
    window.RefreshTargetList();
  } else {
    // The last selected source's converted picture, whether this run wrote
    // it or an earlier one did.
    const engine::PlannedPicture* last = nullptr;
    const std::size_t lastSource = run.names.size() - 1;
    for (const engine::PlannedPicture& picture : run.plan.pictures)
      if (picture.source == lastSource) last = &picture;
    const std::string name = FinalTargetName(run.sourceFolder + run.names.back(), last, run.options);
    if (!name.empty()) {
      engine::PictureList& target = window.TargetList();
      int index = engine::FindListItem(name, &target);
      window.FocusTargetList();
      // Only a file that was written is ever added to the converted list.
      if (index < 0 && FileExists(run.outputFolder + name)) {
        target.Append(name);
        index = target.Count() - 1;
      }
      if (index >= 0) {
        engine::SelectOnlyItem(&target, index);
        window.TargetListClick();
      }
    }
  }
  window.SetProgress(100);  // after the refresh, whose listing steps the bar
  window.SetHint(RunEndHint(run.counts));
  window.OfferFailures(run.failures);
  if (!run.folderRun) window.ClearStopRequest();
}

namespace {

RunEnd TakeAllSteps(RunWindow& window, std::optional<Run> run, RunEnd notStarted) {
  if (!run) return notStarted;
  const RunEnd end = WorkRun(*run, window);
  EndRun(window, *run, end);
  return end;
}

}  // namespace

RunEnd ConvertSelected(RunWindow& window) {
  RunEnd notStarted = RunEnd::NoSelection;
  std::optional<Run> run = StartSelectedRun(window, notStarted);
  return TakeAllSteps(window, std::move(run), notStarted);
}

bool FolderRunConfirmed(RunWindow& window) {
  const std::string source = window.SourceEditFolder();
  // Options the start refuses are said with no question first.
  return OptionsRefusal(window) != RunEnd::Completed || !IsRootFolder(source) ||
         CurrentDialogs().AskYesNo(text::FormatText(text::FmtConfirmRootRun, source), text::TxtReminder);
}

RunEnd ConvertFolder(RunWindow& window) {
  RunEnd notStarted = RunEnd::NoOutputFolder;
  std::optional<Run> run = StartFolderRun(window, notStarted);
  return TakeAllSteps(window, std::move(run), notStarted);
}

}  // namespace ui

#pragma once
// The main window's two batch runs: the pictures selected in the source list,
// and every picture of the source folder tree. Plain C++ over a small window
// interface, so the runs are tested without a window.
//
// A run has three steps. It starts on the window's thread (StartSelectedRun,
// StartFolderRun), which fixes its folders and pictures; it works on any
// thread (WorkRun), telling the window only through RunEvents; it ends on
// the window's thread again (EndRun). The window works runs off its own
// thread; ConvertSelected and ConvertFolder take all three steps on the
// caller's.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/convert/ConversionCallbacks.h"
#include "engine/convert/PictureConverter.h"
#include "engine/convert/PictureList.h"
#include "engine/plan/RunPlan.h"

namespace ui {

// What a working run tells the window, besides the converter's host duties
// (each picture's options, progress steps, each target written). Called
// from the run's threads: an implementation hands them to the window's own.
class RunEvents : public engine::ConversionCallbacks {
 public:
  virtual bool StopRequested() = 0;
  virtual void SetHint(const std::string& text) = 0;
  // The bar, 0 to 100: the share of the run's pictures handed over. A run's
  // bar counts pictures; the converter's own steps are not shown.
  virtual void SetProgress(int position) = 0;
};

// What a run needs of the main window on the window's own thread, when it
// starts and when it ends.
class RunWindow : public RunEvents {
 public:
  virtual engine::PictureList& SourceList() = 0;  // LbDocList
  virtual engine::PictureList& TargetList() = 0;  // LbTarget
  // The committed folders, ending in a separator.
  virtual std::string SourcePath() = 0;
  virtual std::string TargetPath() = 0;
  // The folders the edits name now: trimmed, ending in a separator, a bare
  // name taken as a sub-folder of the committed folder; or empty.
  virtual std::string SourceEditFolder() = 0;
  virtual std::string OutputEditFolder() = 0;
  // True when a folder run writes each picture into the same subfolder
  // under the output folder; false: all straight into it.
  virtual bool KeepTree() = 0;
  virtual void ClearStopRequest() = 0;
  virtual void ShowProgressBar() = 0;
  // The failed pictures of the latest run, each with its target and reason
  // lines, offered from the closing hint until the next run starts; empty:
  // nothing offered.
  virtual void OfferFailures(const std::vector<std::string>& failures) = 0;
  virtual void FocusSourceList() = 0;
  virtual void FocusTargetList() = 0;
  virtual void TargetListClick() = 0;    // LbTargetClick: current picture and preview
  virtual void RefreshTargetList() = 0;  // re-read the output folder
};

enum class RunEnd {
  Completed,    // every entry was handed over
  Stopped,      // a stop click ended it between pictures
  NoSelection,  // nothing to convert was selected
  NoOutputFolder,  // the output folder is blank or cannot be made: nothing was written
  NoFormat,     // no target format is ticked: there would be nothing to write
  NoSize,       // a shrink with no usable number in either size box
};

// What the closing hint counts.
struct RunCounts {
  int failedPictures = 0;  // pictures none of whose targets was written
  int missedTargets = 0;   // targets not written of pictures that had others written
  int renamedTargets = 0;  // targets that got a numbered name
  int passedOver = 0;      // files a folder run met of kinds the window does not read
};

// A run as it started: its folders, taken once, and its pictures.
// Whatever the window does with its folders meanwhile, a run reads and
// writes where it began.
struct Run {
  bool folderRun = false;
  bool keepTree = false;     // a folder run's subfolders made again under the output folder
  std::string sourceFolder;  // the committed source folder, or the tree's root
  std::string outputFolder;
  engine::ConversionOptions options;  // as they stood at the start: they plan the targets
  // The selected run's entries: each selected name and its list position.
  std::vector<std::string> names;
  std::vector<int> entries;

  // Filled by WorkRun.
  engine::RunPlan plan;
  std::vector<std::string> displayPaths;  // the hint's path of each planned source
  int total = 0;      // the planned pictures
  int done = 0;       // those handed over so far
  int converted = 0;  // those with a target written
  RunCounts counts;
  // Each failed picture's lines: its path, then a line per target or load
  // that failed, with the reason.
  std::vector<std::string> failures;
};

// Starts a run on the window's thread, or says why none starts (a message
// has then told the user).
std::optional<Run> StartSelectedRun(RunWindow& window, RunEnd& notStarted);
std::optional<Run> StartFolderRun(RunWindow& window, RunEnd& notStarted);
// Plans and converts the run's pictures, on any thread; memoryBudget bounds
// what two pictures in flight may need together (0: no bound).
RunEnd WorkRun(Run& run, RunEvents& events, std::uint64_t memoryBudget = 0);
// Back on the window's thread: selects and previews the selected run's
// last converted picture, or re-reads the output folder after a folder run.
void EndRun(RunWindow& window, const Run& run, RunEnd end);

// The three steps on the caller's thread.
RunEnd ConvertSelected(RunWindow& window);
RunEnd ConvertFolder(RunWindow& window);

// Asked before a folder run starts: a drive's root takes long to walk and is
// seldom meant. True when the source edit names no root, or the user said Yes.
bool FolderRunConfirmed(RunWindow& window);

// The hint after the done-th picture of total: the count, the converted
// text (some target was written) or the failure text, and the path.
std::string PictureHint(const engine::ConversionReport& report, const std::string& path, int done, int total);
// The hint at the end of a run: all done, and what the counts say.
std::string RunEndHint(const RunCounts& counts = {});
// The hint after a stop: how many pictures were converted, and the counts.
std::string StopHint(int converted, const RunCounts& counts = {});

}  // namespace ui

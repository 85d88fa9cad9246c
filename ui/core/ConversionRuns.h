#pragma once
// The main window's two batch runs: the pictures selected in the source list,
// and every picture of the source folder tree. Plain C++ over a small window
// interface, so the runs are tested without a window.

#include <string>

#include "engine/ConversionHost.h"
#include "engine/PictureConverter.h"
#include "engine/PictureList.h"

namespace ui {

// What a run needs of the main window, besides the converter's host duties
// (options, progress steps, event pumps, the converted list).
class RunWindow : public engine::ConversionHost {
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
  virtual bool StopRequested() = 0;
  virtual void ClearStopRequest() = 0;
  virtual void SetHint(const std::string& text) = 0;
  // The hint line's detail (its tooltip): the pictures of this run that
  // failed, with the reasons; empty clears it.
  virtual void SetHintDetail(const std::string& text) = 0;
  virtual void ShowProgressBar() = 0;
  virtual void SetProgress(int position) = 0;
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
};

// Both runs take their folders once, when they start: whatever the window
// does with its folders meanwhile, a run reads and writes where it began.

// Converts the selected entries of the source list into the committed
// output folder, then selects and previews the converted picture.
RunEnd ConvertSelected(RunWindow& window, engine::PictureConverter& converter);

// Converts every picture of the folder named in the source edit and its
// subfolders into the folder named in the output edit, then re-reads it.
RunEnd ConvertFolder(RunWindow& window, engine::PictureConverter& converter);

// Asked before a folder run starts: a drive's root takes long to walk and is
// seldom meant. True when the source edit names no root, or the user said Yes.
bool FolderRunConfirmed(RunWindow& window);

// The hint after a picture: the converted text, or the failure text, and the path.
std::string PictureHint(const engine::ConversionReport& report, const std::string& path);
// The hint at the end of a run, with the count of pictures that failed and
// of targets that got a numbered name.
std::string RunEndHint(int failedPictures, int renamedTargets = 0);

}  // namespace ui

#pragma once
// Every target of a run, decided before the first is written: which picture
// goes to which file names. The window's two runs and imgbatch plan here, so
// the rules hold for all of them:
// - a target never replaces a picture the run reads, nor any other file of
//   a folder it reads from (a run told to take only a folder's PNGs keeps
//   its JPEGs): that target is refused with the reason, and the picture's
//   other targets are written;
// - two pictures of the run never share a target: the first keeps the plain
//   names, a later one whose names are taken gets the next free numbered
//   names, "img_0001 (2).jpg", in listing order, so a rerun gives the same
//   names (names compared ignoring case, as some file systems do);
// - a file handed over twice is converted once;
// - names from a name template are numbered, not refused, where they would
//   replace such a file;
// - a name longer than file systems take is refused, as its write would be.
// Files left by earlier runs are replaced as before.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/convert/ConversionFailure.h"
#include "engine/convert/PictureConverter.h"
#include "engine/convert/PlannedPicture.h"
#include "engine/convert/ConversionOptions.h"
#include "engine/formats/PictureFormats.h"
#include "platform/FileIO.h"

namespace engine {

// One picture handed to a run, in listing order.
struct RunSource {
  std::string path;        // the file to open
  std::string targetName;  // the name its targets are formed from; empty: the file's own name
  std::string subfolder;   // under the output folder, ending in '/'; empty: none
};

struct RunPlan {
  std::vector<PlannedPicture> pictures;  // in listing order, each file once
  std::string outputFolder;              // ending in a separator
  // The output folder the plan checked its targets in; nothing when it
  // did not exist yet.
  std::optional<img::FileId> outputId;

  // The folders the targets go to, each once, in order of first use.
  std::vector<std::string> TargetFolders() const;
};

// Plans sources into outputFolder (ending in a separator) for the formats
// options ticks. The pictures the run reads are the sources and readAlso
// (the rest of a folder the run lists): no target may replace one of them.
RunPlan PlanRun(const std::vector<RunSource>& sources, const std::string& outputFolder,
                const ConversionOptions& options, const std::vector<std::string>& readAlso = {});

// "name (n).ext": name with n before its extension.
std::string NumberedName(const std::string& name, int n);

// The existing file sourcePath into outputFolder (ending in a folder
// separator) with the host's options, planned as a run of its own.
// targetName, when given, names the targets in place of the source's own
// file name.
ConversionReport ConvertAlone(PictureConverter& converter, const std::string& sourcePath,
                              const std::string& outputFolder, const std::string& targetName = {});

}  // namespace engine

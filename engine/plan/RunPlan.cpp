#include "engine/plan/RunPlan.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "engine/plan/NameTemplate.h"
#include "engine/convert/TargetFormats.h"
#include "engine/formats/PictureHeader.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "platform/SystemFiles.h"

namespace fs = std::filesystem;

namespace engine {

namespace {

// Past this a picture's targets are refused rather than searched for longer.
constexpr int kLargestNumber = 100000;

// The pictures a run reads, by file identity, and which of them a target
// path would replace. Every file of a folder the run reads from is the
// user's too, listed or not: a run that takes only the PNGs of a folder
// must not replace its JPEGs.
class ReadPictures {
 public:
  // The folder path lies in; its files are kept from then on.
  void AddFolderOf(const std::string& path) {
    if (std::optional<img::FileId> id = img::IdentifyFile(img::PathFromUtf8(path).parent_path())) folders_.insert(*id);
  }

  // False when the file was added before, however spelt.
  bool Add(const std::string& path) {
    const std::optional<img::FileId> id = img::IdentifyFile(img::PathFromUtf8(path));
    if (!id) return true;  // nothing there to replace, nor to convert twice
    if (ids_.count(*id) || AliasOf(path)) return false;
    ids_.emplace(*id, path);
    by_lower_.try_emplace(LowerKey(path), path);
    return true;
  }

  // What writing target would replace: a picture the run reads, or a file
  // beside them; none when picture is nullptr.
  struct Replacement {
    const std::string* picture = nullptr;
    bool beside = false;
  };
  Replacement Replaced(const std::string& target) {
    const fs::path path = img::PathFromUtf8(target);
    const std::optional<img::FileId> id = img::IdentifyFile(path);
    if (!id) return {};
    if (auto it = ids_.find(*id); it != ids_.end()) return {&it->second};
    if (const std::string* alias = AliasOf(target)) return {alias};
    if (const std::optional<img::FileId> folder = img::IdentifyFile(path.parent_path()); folder && folders_.count(*folder))
      return {&beside_.try_emplace(*id, target).first->second, true};
    return {};
  }

 private:
  static fs::path Normal(const std::string& path) {
    std::error_code ec;
    return fs::absolute(img::PathFromUtf8(path), ec).lexically_normal();
  }
  static std::string LowerKey(const std::string& path) { return img::AsciiLower(img::PathToUtf8(Normal(path))); }

  // The picture of the run that path is another spelling of; nullptr for
  // none. A file system that ignores case may give each spelling of a file
  // a number of its own (FAT through FUSE). Two spellings that differ only
  // in case name one file when a name they differ in is not what its folder
  // lists: the system matched it ignoring case. Where case counts, every
  // name of an existing path is listed.
  const std::string* AliasOf(const std::string& path) {
    auto it = by_lower_.find(LowerKey(path));
    if (it == by_lower_.end()) return nullptr;
    const fs::path a = Normal(path), b = Normal(it->second);
    fs::path folder_a, folder_b;
    for (auto ia = a.begin(), ib = b.begin(); ia != a.end() && ib != b.end(); ++ia, ++ib) {
      if (*ia != *ib && (!Listed(folder_a, *ia) || !Listed(folder_b, *ib))) return &it->second;
      folder_a /= *ia;
      folder_b /= *ib;
    }
    return nullptr;
  }

  bool Listed(const fs::path& folder, const fs::path& name) {
    auto [it, fresh] = listings_.try_emplace(folder.native());
    if (fresh) {
      std::error_code ec;
      for (fs::directory_iterator d(folder, ec); !ec && d != fs::directory_iterator(); d.increment(ec))
        it->second.insert(d->path().filename().native());
    }
    return it->second.count(name.native()) > 0;
  }

  std::map<img::FileId, std::string> ids_;
  std::map<img::FileId, std::string> beside_;  // files beside them that a target would replace
  std::set<img::FileId> folders_;              // the folders the run reads from
  std::unordered_map<std::string, std::string> by_lower_;  // lower-cased normal path: the picture
  std::unordered_map<fs::path::string_type, std::set<fs::path::string_type>> listings_;
};

// The plain target names of one picture, one per format. With a name
// template each is the template filled in, then the format's extension;
// without, a format of the source's own kind keeps the name letter for
// letter and the others get their extension; a picture written in its own
// kind under its own extension keeps its name whole (IMG_1.JPG).
std::vector<std::string> PlainNames(const RunSource& from, const PictureFormat& source,
                                    const std::vector<const PictureFormat*>& formats,
                                    const ConversionOptions& options) {
  std::vector<std::string> names;
  if (!options.nameTemplate.empty()) {
    // The source's own name, not one a folder walk lower-cased.
    NameFields fields{img::ReplaceExtension(img::FileNamePart(from.path), ""), {}, 0, 0};
    if (NameTemplateUsesSize(options.nameTemplate))
      if (const std::optional<HeaderFacts> header = ReadPictureHeader(from.path, HeaderDepth::Orientation)) {
        const TargetSize size = MadePictureSize(*header, options);
        fields.width = size.width;
        fields.height = size.height;
      }
    for (const PictureFormat* format : formats) {
      fields.ext = format->extension + 1;
      names.push_back(ExpandNameTemplate(options.nameTemplate, fields) + format->extension);
    }
    return names;
  }
  const std::string name = from.targetName.empty() ? img::FileNamePart(from.path) : from.targetName;
  for (const PictureFormat* format : formats) {
    const bool keep = (format->keepsSourceName && SameKind(*format, source)) ||
                      (options.ownKindTarget && format == &source);
    names.push_back(keep ? name : img::ReplaceExtension(name, format->extension));
  }
  return names;
}

// The names numbered n, or the plain ones for n = 1.
std::vector<std::string> NumberedNames(const std::vector<std::string>& plain, int n) {
  if (n == 1) return plain;
  std::vector<std::string> names;
  for (const std::string& name : plain) names.push_back(NumberedName(name, n));
  return names;
}

}  // namespace

std::string NumberedName(const std::string& name, int n) {
  const std::string ext = img::ExtensionOf(name);
  return name.substr(0, name.size() - ext.size()) + " (" + std::to_string(n) + ")" + ext;
}

std::vector<std::string> RunPlan::TargetFolders() const {
  std::vector<std::string> folders;
  std::unordered_set<std::string> seen;
  for (const PlannedPicture& picture : pictures)
    if (seen.insert(picture.folder).second) folders.push_back(picture.folder);
  return folders;
}

RunPlan PlanRun(const std::vector<RunSource>& sources, const std::string& outputFolder,
                const ConversionOptions& options, const std::vector<std::string>& readAlso) {
  RunPlan plan;
  plan.outputFolder = outputFolder;
  plan.outputId = img::IdentifyFile(img::PathFromUtf8(outputFolder));
  ReadPictures read;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (!read.Add(sources[i].path)) continue;  // named before: converted once
    PlannedPicture picture;
    picture.source = i;
    picture.path = sources[i].path;
    picture.folder = outputFolder + sources[i].subfolder;
    picture.subfolder = sources[i].subfolder;
    plan.pictures.push_back(std::move(picture));
  }
  for (const std::string& path : readAlso) read.Add(path);
  for (const RunSource& source : sources) read.AddFolderOf(source.path);

  auto formats_of = [](const FormatTicks& ticks) {
    std::vector<const PictureFormat*> formats;
    for (const PictureFormat& format : PictureFormats())
      if (format.write && ticks.Has(format)) formats.push_back(&format);
    return formats;
  };
  const std::vector<const PictureFormat*> ticked = formats_of(options.targets);

  // Target paths this run writes, lower-cased, and per name the last number given.
  std::unordered_set<std::string> taken;
  std::unordered_map<std::string, int> last_number;
  for (PlannedPicture& picture : plan.pictures) {
    const PictureFormat* source = FindFormatByExtension(img::ExtensionOf(picture.path));
    if (!source) continue;
    picture.isPicture = true;
    const std::vector<const PictureFormat*> formats =
        options.ownKindTarget ? formats_of(TargetFormats(picture.path, options)) : ticked;
    const std::vector<std::string> plain = PlainNames(sources[picture.source], *source, formats, options);

    // Plain names need only be free of this run's targets; a target on a
    // picture the run reads is refused below. A numbered name is free of
    // both, and so is a name from a template: one that names every picture
    // alike must not have them all refused.
    const bool templated = !options.nameTemplate.empty();
    auto free = [&](const std::vector<std::string>& names, int n) {
      for (const std::string& target : names) {
        if (taken.count(img::AsciiLower(picture.folder + target))) return false;
        if ((n > 1 || templated) && read.Replaced(picture.folder + target).picture) return false;
      }
      return true;
    };
    int n = 1;
    std::vector<std::string> names = plain;
    if (!free(names, n)) {
      int& last = last_number[img::AsciiLower(picture.folder + img::ReplaceExtension(plain.front(), ""))];
      for (n = std::max(2, last + 1); n <= kLargestNumber; ++n) {
        names = NumberedNames(plain, n);
        if (free(names, n)) break;
      }
      last = n;
      picture.renamed = true;
    }

    for (std::size_t f = 0; f < formats.size(); ++f) {
      PlannedTarget target{formats[f], picture.folder + names[f], {}};
      if (n > kLargestNumber) {
        target.refusal = ConversionFailure{target.path, text::FailureCode::NoFreeName, {}};
      } else if (!img::FileNameFits(img::PathFromUtf8(names[f]))) {
        // Said now, so a dry run tells it as the run would.
        target.refusal = ConversionFailure{target.path, text::FailureCode::NotWritten,
                                           std::generic_category().message(ENAMETOOLONG)};
      } else if (const auto [replaced, beside] = read.Replaced(target.path); replaced) {
        const text::FailureCode why = *replaced == picture.path ? text::FailureCode::TargetIsSource
                                      : beside                      ? text::FailureCode::WouldReplacePicture
                                                                    : text::FailureCode::WouldReplaceSource;
        target.refusal = ConversionFailure{target.path, why, why == text::FailureCode::WouldReplaceSource ? *replaced : ""};
      } else {
        taken.insert(img::AsciiLower(target.path));
      }
      picture.targets.push_back(std::move(target));
    }
  }
  return plan;
}

ConversionReport ConvertAlone(PictureConverter& converter, const std::string& sourcePath,
                              const std::string& outputFolder, const std::string& targetName) {
  const ConversionOptions options = converter.Host().Options();
  const RunPlan plan = PlanRun({{sourcePath, targetName, {}}}, outputFolder, options);
  converter.Prepare(plan.pictures.front(), options);
  return converter.Write();
}

}  // namespace engine

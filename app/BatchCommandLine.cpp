#include "app/BatchCommandLine.h"

#include <string>
#include <utility>

#include "app/BatchOptions.h"

namespace app {

namespace {

// The arguments as getopt_long sees them, spelt out one option or value
// each, long names in full: -qj2 becomes -q -j 2, -oDIR becomes -o DIR,
// --jobs=2 and --jo=2 become --jobs 2. A value in its own argument and
// everything after "--" stay as they are, so a value or a source may begin
// with a dash. An option it cannot name is kept as given, for the error.
std::vector<std::string> SpellOut(const std::vector<std::string>& args, std::string& error) {
  std::vector<std::string> out;
  out.reserve(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      out.insert(out.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    }
    if (a.size() < 2 || a[0] != '-') {
      out.push_back(a);
    } else if (a[1] == '-') {
      const std::size_t eq = a.find('=');
      const BatchOption* option = FindLongOption(a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2), error);
      if (!option) {
        out.push_back(a);
        return out;
      }
      out.push_back(std::string("--") + option->longName);
      if (eq != std::string::npos) {
        if (!option->value) {
          error = "option --" + std::string(option->longName) + " takes no value";
          return out;
        }
        out.push_back(a.substr(eq + 1));
      } else if (option->value && i + 1 < args.size()) {
        out.push_back(args[++i]);
      }
    } else {
      for (std::size_t k = 1; k < a.size(); ++k) {
        const BatchOption* option = FindShortOption(a[k]);
        if (!option) {
          out.push_back(std::string(1, '-').append(a, k));  // named whole in the error
          break;
        }
        out.push_back(std::string("--") + option->longName);
        if (option->value) {
          if (k + 1 < a.size()) out.push_back(a.substr(k + 1));
          else if (i + 1 < args.size()) out.push_back(args[++i]);
          break;
        }
      }
    }
  }
  return out;
}

}  // namespace

std::string BatchUsage() { return BatchHelpText(); }

std::optional<BatchCommand> ParseBatchCommand(const std::vector<std::string>& argv, std::string& error) {
  const std::vector<std::string> args = SpellOut(argv, error);
  if (!error.empty()) return std::nullopt;
  ParseState state;
  BatchCommand& cmd = state.cmd;
  // imgbatch's defaults are those of other converters, not the window's:
  // smaller PNGs than unfiltered ones, each picture once in its own kind,
  // JPEG at 90, metadata kept, a resize without aliasing.
  cmd.options.pngFiltering = engine::PngFiltering::Adaptive;
  cmd.options.ownKindTarget = true;
  cmd.options.jpegQuality = 90;
  cmd.options.resize.filter = engine::ResizeFilter::Lanczos;
  bool only_sources = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (only_sources || a.empty() || a[0] != '-' || a == "-") {
      cmd.sources.push_back(a);
      continue;
    }
    if (a == "--") {
      only_sources = true;
      continue;
    }
    const BatchOption* option = a.size() > 2 && a[1] == '-' ? FindLongOption(a.substr(2), error) : nullptr;
    if (!option) {
      error = "unknown option " + a;
      return std::nullopt;
    }
    std::string value;
    if (option->value) {
      if (i + 1 >= args.size()) {
        error = "option " + a + " needs a value";
        return std::nullopt;
      }
      value = args[++i];
    }
    if (!option->apply(state, value, error)) return std::nullopt;
  }
  if (cmd.help || cmd.version) return cmd;
  // One kind of resize. A single box without --keep-ratio would be no
  // resize at all, which nobody means by giving it.
  const std::vector<std::pair<bool, const char*>> resizes = {{state.fit.has_value(), "--fit"},
                                                             {state.cover.has_value(), "--cover"},
                                                             {state.scale.has_value(), "--scale"},
                                                             {state.pad.has_value(), "--pad"},
                                                             {state.sizesOn, "--width or --height"}};
  const char* kind = nullptr;
  for (const auto& [given, name] : resizes) {
    if (!given) continue;
    if (kind) {
      error = std::string(kind) + " cannot be combined with " + name;
      return std::nullopt;
    }
    kind = name;
  }
  if (state.sizesOn && !state.sizes.keepRatio && (!state.sizes.width || !state.sizes.height)) {
    error = "--width or --height alone needs --keep-ratio; to fit inside a box use --fit WxH";
    return std::nullopt;
  }
  engine::Resize& resizing = cmd.options.resize;
  if (state.scale && state.scale->hundredths > 10000 && !resizing.enlarge) {
    error = "--scale over 100% makes pictures larger: give --enlarge too";
    return std::nullopt;
  }
  if (resizing.enlarge && !kind) {
    error = "--enlarge needs a resize: --fit, --cover, --pad, --scale or --width/--height";
    return std::nullopt;
  }
  if (state.fit) resizing.to = *state.fit;
  else if (state.cover) resizing.to = *state.cover;
  else if (state.scale) resizing.to = *state.scale;
  else if (state.pad) resizing.to = *state.pad;
  else if (state.sizesOn) resizing.to = state.sizes;
  if (state.keepMetadata && state.strip) {
    error = "--keep-metadata and --strip cannot be combined";
    return std::nullopt;
  }
  cmd.options.metadata = state.strip ? engine::CarriedMetadata::None : engine::CarriedMetadata::All;
  if (state.jpegLossless && cmd.options.maxBytes > 0) {
    error = "--jpeg-lossless and --max-size cannot be combined";
    return std::nullopt;
  }
  // A turn that keeps the coded data is what peers do, and loses nothing;
  // asking for a JPEG coding of one's own asks for an encode.
  cmd.options.jpegLosslessTurn = state.jpegLossless || (!state.jpegCodingGiven && cmd.options.maxBytes == 0);
  if (!state.haveOutput) {
    error = "no output folder: give one with -o DIR";
    return std::nullopt;
  }
  if (cmd.dryRun && cmd.jsonReport) {
    error = "--dry-run and --report cannot be combined";
    return std::nullopt;
  }
  if (cmd.nulSeparated && cmd.sourceLists.empty()) {
    error = "-0 needs --files-from";
    return std::nullopt;
  }
  if (cmd.sources.empty() && cmd.sourceLists.empty()) {
    error = "no source picture or folder given";
    return std::nullopt;
  }
  return cmd;
}

}  // namespace app

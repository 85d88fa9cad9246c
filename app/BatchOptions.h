#pragma once
// imgbatch's options in one table: each option's heading, long name, short
// letter, value, help and what it sets. The parser, --help, the man page and
// the bash completion are all made from it.

#include <optional>
#include <span>
#include <string>

#include "app/BatchCommandLine.h"

namespace app {

// A command line being read: the command, and what the checks after the
// last option need to know. The resize options are kept apart until then,
// where they become the one resize of the command's options.
struct ParseState {
  BatchCommand cmd;
  bool haveOutput = false, keepMetadata = false, strip = false;
  engine::SizeBoxes sizes;  // --width, --height, --keep-ratio
  bool sizesOn = false;     // --width or --height given
  // --jpeg-lossless given, and what else decides whether a JPEG's turn
  // keeps its coded data: a JPEG quality, --sampling, --optimize given.
  bool jpegLossless = false, jpegCodingGiven = false;
  std::optional<engine::FitInBox> fit;
  std::optional<engine::CoverBox> cover;
  std::optional<engine::PadBox> pad;
  std::optional<engine::ScaleBy> scale;
};

// The headings --help and the man page list the options under, in this
// order.
enum class OptionGroup { Output, Resize, Encoding, WhichFiles, Metadata, Running };

struct BatchOption {
  OptionGroup group;
  const char* longName;  // without its "--"
  char shortName;        // 0: none
  const char* value;     // the value's name in the help; nullptr: the option takes none
  const char* brief;     // --help's words, wrapped there to 80 columns
  const char* full;      // the man page's words, lines joined by '\n'
  // Sets what the option says from its value; false (error set) when the
  // value is not one it takes.
  bool (*apply)(ParseState& state, const std::string& value, std::string& error);
  const char* completions = nullptr;  // values the shell may offer, space-separated; "dir": folders, "file": files
};

// The options, in the order each heading lists its own.
std::span<const BatchOption> BatchOptions();

// The option a long name given on the command line names: the option of
// that name, else the one option it begins (getopt_long's abbreviations);
// nullptr with error set when it names none or several.
const BatchOption* FindLongOption(const std::string& given, std::string& error);
const BatchOption* FindShortOption(char letter);

// --help's text, imgbatch.1's troff source and the bash completion script.
std::string BatchHelpText();
// The lines --version prints after the version: the formats this build
// reads and those it writes, by their -f names.
std::string BatchFormatLines();
std::string BatchManPage();
std::string BatchCompletion();

}  // namespace app

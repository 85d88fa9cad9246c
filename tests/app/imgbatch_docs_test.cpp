// What --help and the man page make of imgbatch's option table: every
// option once, under its heading; the man page in full, --help in 80
// columns; one exit status in both.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/BatchCommandLine.h"
#include "app/BatchOptions.h"

namespace {

// The headings in OptionGroup's order, as both documents show them.
const std::array<std::string, 6> kHeadings{"Output", "Resize and turn", "Encoding",
                                           "Which files", "Metadata", "Running"};

std::string Dashed(const std::string& s) {  // as troff needs a '-'
  std::string out;
  for (char c : s) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

std::string HelpEntry(const app::BatchOption& o) {
  std::string s = o.shortName ? std::string("\n  -") + o.shortName + ", " : "\n      ";
  return s + "--" + o.longName + (o.value ? std::string(" ") + o.value : "");
}

std::string ManEntry(const app::BatchOption& o) {
  std::string s = ".TP\n";
  if (o.shortName) s += std::string("\\fB\\-") + o.shortName + "\\fR, ";
  s += "\\fB\\-\\-" + Dashed(o.longName) + "\\fR" + (o.value ? std::string(" \\fI") + o.value + "\\fR" : "") + "\n";
  // The full words follow, their first line at least (the format list
  // aside, which the format table fills in).
  const std::string full = o.full;
  if (full.find('%') == std::string::npos) s += Dashed(full.substr(0, full.find('\n'))) + "\n";
  return s;
}

struct OptionDoc {
  const char* name;
  std::string (*text)();
  std::string (*entry)(const app::BatchOption&);
  const char* entryEnds;  // what may follow an entry; empty: anything
  std::string (*heading)(const std::string& title);
  friend void PrintTo(const OptionDoc& d, std::ostream* os) { *os << d.name; }
};

// Where the document holds entry, ended by one of ends: every place.
std::vector<std::size_t> Places(const std::string& text, const std::string& entry, const std::string& ends) {
  std::vector<std::size_t> places;
  for (std::size_t at = 0; (at = text.find(entry, at)) != std::string::npos; ++at) {
    const std::size_t next = at + entry.size();
    if (ends.empty() || (next < text.size() && ends.find(text[next]) != std::string::npos)) places.push_back(at);
  }
  return places;
}

class ImgBatchOptionDocs : public ::testing::TestWithParam<OptionDoc> {};

TEST_P(ImgBatchOptionDocs, ListEveryOptionOnceUnderItsHeading) {
  const std::string text = GetParam().text();
  std::vector<std::size_t> starts;
  for (const std::string& title : kHeadings) {
    const std::size_t at = text.find(GetParam().heading(title));
    ASSERT_NE(at, std::string::npos) << title << "\n" << text;
    if (!starts.empty()) {
      EXPECT_GT(at, starts.back()) << title << " out of order";
    }
    starts.push_back(at);
  }
  starts.push_back(text.size());
  for (const app::BatchOption& o : app::BatchOptions()) {
    const std::vector<std::size_t> places = Places(text, GetParam().entry(o), GetParam().entryEnds);
    ASSERT_EQ(places.size(), 1u) << "--" << o.longName << "'s entries, each as\n" << GetParam().entry(o);
    const auto group = static_cast<std::size_t>(o.group);
    EXPECT_TRUE(places[0] > starts[group] && places[0] < starts[group + 1])
        << "--" << o.longName << " not under " << kHeadings[group];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ImgBatchOptionDocs,
    ::testing::Values(OptionDoc{"Help", app::BatchHelpText, HelpEntry, " \n",
                                [](const std::string& t) { return "\n\n" + t + ":\n"; }},
                      OptionDoc{"ManPage", app::BatchManPage, ManEntry, "",
                                [](const std::string& t) { return "\n.SS " + t + "\n"; }}),
    [](const auto& info) { return std::string(info.param.name); });

// --help ends with four commands, each followed by what it does, and each
// one imgbatch takes: an example that no longer parses misleads the user
// who copies it.
TEST(ImgBatchHelp, EndsWithFourExamplesItTakes) {
  const std::string help = app::BatchHelpText(), heading = "\nExamples:\n";
  const std::size_t at = help.rfind(heading);
  ASSERT_NE(at, std::string::npos) << help;
  std::vector<std::string> commands;
  bool described = true;
  for (std::size_t start = at + heading.size(), end; (end = help.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = help.substr(start, end - start);
    if (line.starts_with("      ")) {
      described = true;
      continue;
    }
    ASSERT_TRUE(line.starts_with("  ") && described) << line;
    commands.push_back(line.substr(2));
    described = false;
  }
  EXPECT_TRUE(described) << help;
  ASSERT_EQ(commands.size(), 4u) << help;
  for (const std::string& command : commands) {
    // The words after "imgbatch", a pipe's feeder left out.
    const std::size_t program = command.find("imgbatch ");
    ASSERT_NE(program, std::string::npos) << command;
    std::vector<std::string> args;
    for (std::size_t start = program + 9, end; start <= command.size(); start = end + 1) {
      end = std::min(command.find(' ', start), command.size());
      args.push_back(command.substr(start, end - start));
    }
    std::string error;
    EXPECT_TRUE(app::ParseBatchCommand(args, error)) << command << ": " << error;
  }
}

// --help is the short form: a terminal's 80 columns, at most 86 lines, and
// the exit status the man page gives, word for word.
TEST(ImgBatchHelp, FitsATerminalAndSaysTheManPagesExitStatus) {
  const std::string help = app::BatchHelpText();
  std::size_t lines = 0;
  for (std::size_t start = 0, end; (end = help.find('\n', start)) != std::string::npos; start = end + 1, ++lines)
    EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
  EXPECT_LE(lines, 86u) << help;

  const std::string lead = "Exit status: ", last = "2 usage error.";
  const std::size_t from = help.find(lead), to = help.find(last, from);
  ASSERT_NE(to, std::string::npos) << help;
  std::string said = help.substr(from + lead.size(), to + last.size() - from - lead.size());
  for (char& c : said) c = c == '\n' ? ' ' : c;
  const std::string man = app::BatchManPage(), section = ".SH EXIT STATUS\n";
  const std::size_t at = man.find(section);
  ASSERT_NE(at, std::string::npos) << man;
  EXPECT_EQ(man.substr(at + section.size(), man.find('\n', at + section.size()) - at - section.size()), Dashed(said));
}

}  // namespace

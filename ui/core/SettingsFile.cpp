#include "ui/core/SettingsFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "platform/SystemFiles.h"
#include "ui/core/SettingsText.h"

namespace fs = std::filesystem;

namespace ui {

namespace {

// Two folder paths of the longest Windows allows, in UTF-8, and every other
// key fit many times over. A larger file is not this program's: it is not
// read (reads give defaults, writes are refused, its bytes stay), and no
// write makes a file this program would then refuse to read.
constexpr std::uint64_t kMaxSettingsBytes = 256 * 1024;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (s.size() - i <= static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and values past U+10FFFF.
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

// One line of the file with its own line end ("\n", "\r\n" or "" for a last
// line without one), so untouched lines are written back exactly.
struct Line {
  std::string text;
  std::string end;
};

enum class LineKind { Other, Section, Key };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;     // section or key name, trimmed; a view into the line
  std::size_t value_at = 0;  // for a key: index just after its '='
};

ParsedLine ParseLine(std::string_view text) {
  ParsedLine p;
  const std::string_view trimmed = img::TrimBlanksView(text);
  if (trimmed.empty() || trimmed[0] == ';') return p;
  if (trimmed[0] == '[') {
    const std::size_t close = trimmed.find(']');
    p.kind = LineKind::Section;
    p.name = img::TrimBlanksView(trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return p;
  }
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return p;
  p.name = img::TrimBlanksView(text.substr(0, eq));
  if (p.name.empty()) return p;
  p.kind = LineKind::Key;
  p.value_at = eq + 1;
  return p;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// Looks for a key line, fed the file's lines in order: the first line that
// holds key in a section named section (in any of its blocks, should the
// file repeat the section).
class KeyFinder {
 public:
  KeyFinder(std::string_view section, std::string_view key) : section_(section), key_(key) {}
  // The parsed line when it is the one looked for.
  std::optional<ParsedLine> Take(std::string_view text) {
    const ParsedLine p = ParseLine(text);
    if (p.kind == LineKind::Section)
      in_section_ = SameName(p.name, section_);
    else if (in_section_ && p.kind == LineKind::Key && SameName(p.name, key_))
      return p;
    return std::nullopt;
  }

 private:
  std::string_view section_, key_;
  bool in_section_ = false;
};

// Calls take(text, end) for each line of text in order, its end being "\n",
// "\r\n" or "" for a last line without one; stops when take returns true.
template <class Take>
void ForEachLine(std::string_view text, Take&& take) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) {
      take(text.substr(start), std::string_view());
      return;
    }
    std::size_t text_end = nl;
    if (text_end > start && text[text_end - 1] == '\r') --text_end;
    if (take(text.substr(start, text_end - start), text.substr(text_end, nl + 1 - text_end))) return;
    start = nl + 1;
  }
}

// The file's text in UTF-8, split into lines; bom tells whether it began with one.
struct Document {
  bool bom = false;
  std::vector<Line> lines;

  // The line KeyFinder finds, or npos.
  std::size_t FindKey(std::string_view section, std::string_view key) const {
    KeyFinder finder(section, key);
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (finder.Take(lines[i].text)) return i;
    return std::string::npos;
  }

  std::string LineEnd() const {
    for (const Line& line : lines)
      if (!line.end.empty()) return line.end;
    return std::string(NewFileLineEnd());
  }

  // Replaces the value of an existing key in place (keeping the key's own
  // spelling); a new key goes after the last key of the section's first
  // block, or with a new section at the end of the file.
  void SetValue(const std::string& section, const std::string& key, const std::string& stored) {
    const std::size_t at = FindKey(section, key);
    if (at != std::string::npos) {
      Line& line = lines[at];
      line.text = line.text.substr(0, ParseLine(line.text).value_at) + stored;
      return;
    }
    const std::string line_end = LineEnd();
    std::size_t insert_after = std::string::npos;
    bool in_first_block = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const ParsedLine p = ParseLine(lines[i].text);
      if (p.kind == LineKind::Section) {
        if (insert_after != std::string::npos) break;
        in_first_block = SameName(p.name, section);
        if (in_first_block) insert_after = i;
      } else if (in_first_block && p.kind == LineKind::Key) {
        insert_after = i;
      }
    }
    Line new_key{key + "=" + stored, line_end};
    if (insert_after != std::string::npos) {
      if (lines[insert_after].end.empty()) lines[insert_after].end = line_end;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert_after) + 1, new_key);
      return;
    }
    if (!lines.empty()) {
      if (lines.back().end.empty()) lines.back().end = line_end;
      if (!img::TrimBlanks(lines.back().text).empty()) lines.push_back({"", line_end});
    }
    lines.push_back({"[" + section + "]", line_end});
    lines.push_back(new_key);
  }
};

// The file's text in UTF-8, without its byte-order mark (bom tells whether
// it had one). Nothing when the bytes do not read back as they are: a NUL
// byte, or bytes that are neither UTF-8 nor GB18030 (not a settings file at all).
std::optional<std::string> DecodeText(std::string bytes, bool& bom) {
  bom = bytes.starts_with(kUtf8Bom);
  if (bom) bytes.erase(0, kUtf8Bom.size());
  if (bytes.find('\0') != std::string::npos) return std::nullopt;
  if (!IsValidUtf8(bytes)) return Gb18030ToUtf8(bytes);
  return bytes;
}

std::optional<Document> ParseDocument(std::string bytes) {
  Document doc;
  const std::optional<std::string> text = DecodeText(std::move(bytes), doc.bom);
  if (!text) return std::nullopt;
  ForEachLine(*text, [&](std::string_view line, std::string_view end) {
    doc.lines.push_back({std::string(line), std::string(end)});
    return false;
  });
  return doc;
}

std::string RenderDocument(const Document& doc) {
  std::string out;
  if (doc.bom) out += kUtf8Bom;
  for (const Line& line : doc.lines) {
    out += line.text;
    out += line.end;
  }
  return out;
}

// The file's bytes, or nothing when it is missing, unreadable or oversized.
std::optional<std::string> LoadBytes(const fs::path& path) {
  try {
    std::vector<std::uint8_t> data = img::ReadWholeFile(path, kMaxSettingsBytes);
    return std::string(data.begin(), data.end());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Every line a section, a key, a comment or blank, as private-profile
// writers leave it. A file reached through a link must look like this: the
// link may lead to some other file of the user's.
bool HoldsOnlySettingsLines(const Document& doc) {
  for (const Line& line : doc.lines) {
    const std::string_view trimmed = img::TrimBlanksView(line.text);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
    const ParsedLine p = ParseLine(line.text);
    if (p.kind == LineKind::Key || (p.kind == LineKind::Section && trimmed.back() == ']')) continue;
    return false;
  }
  return true;
}

enum class FileState {
  Missing,      // nothing there yet: the first write creates it
  Settings,     // a settings file that may be rewritten
  NotSettings,  // bytes that would not survive a rewrite, or a link to something else
  Unreadable,   // cannot be read (permissions, size, a folder): left alone
};

struct ExaminedFile {
  FileState state = FileState::Unreadable;
  fs::path target;  // the file itself, or the file its link leads to
  std::optional<Document> doc;
};

ExaminedFile Examine(const fs::path& path) {
  ExaminedFile file;
  file.target = path;
  std::error_code ec;
  const fs::file_status own = fs::symlink_status(path, ec);
  if (own.type() == fs::file_type::not_found) {
    file.state = FileState::Missing;
    return file;
  }
  const bool link = fs::is_symlink(own);
  if (link) {
    fs::path resolved = fs::canonical(path, ec);
    if (ec || fs::status(resolved, ec).type() != fs::file_type::regular) {
      file.state = FileState::NotSettings;
      return file;
    }
    file.target = resolved;
  } else if (own.type() != fs::file_type::regular) {
    return file;
  }
  std::optional<std::string> bytes = LoadBytes(file.target);
  if (!bytes) return file;
  file.doc = ParseDocument(std::move(*bytes));
  file.state = file.doc && (!link || HoldsOnlySettingsLines(*file.doc)) ? FileState::Settings
                                                                        : FileState::NotSettings;
  return file;
}

// One walk over the text, up to the key's line: a read splits nothing it
// does not look at.
std::optional<std::string> FindValue(const fs::path& path, std::string_view section, std::string_view key) {
  if (path.empty()) return std::nullopt;
  std::optional<std::string> bytes = LoadBytes(path);
  if (!bytes) return std::nullopt;
  bool bom = false;
  const std::optional<std::string> text = DecodeText(std::move(*bytes), bom);
  if (!text) return std::nullopt;
  KeyFinder finder(img::TrimBlanksView(section), img::TrimBlanksView(key));
  std::optional<std::string_view> found;
  ForEachLine(*text, [&](std::string_view line, std::string_view) {
    if (const std::optional<ParsedLine> p = finder.Take(line)) found = img::TrimBlanksView(line.substr(p->value_at));
    return found.has_value();
  });
  if (!found) return std::nullopt;
  std::string_view value = *found;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

std::optional<int> ParseInteger(std::string_view s) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    std::uint64_t v = 0;
    for (char c : s.substr(2)) {
      int digit;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      else
        return std::nullopt;
      v = v * 16 + static_cast<std::uint64_t>(digit);
      if (v > 0xFFFFFFFFULL) return std::nullopt;
    }
    // Hexadecimal gives the 32-bit pattern: "0xFFFFFFFF" is -1.
    return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
  }
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  std::int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return std::nullopt;
  return static_cast<int>(v);
}

bool HasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

// Quotes keep surrounding blanks and quotes that the reader would strip.
std::string EncodeValue(const std::string& value) {
  if (value.empty()) return value;
  const bool blank_edge = static_cast<unsigned char>(value.front()) <= 32 ||
                          static_cast<unsigned char>(value.back()) <= 32;
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  return blank_edge || quoted ? "\"" + value + "\"" : value;
}

bool ExistingFileIsWritable(const fs::path& path) {
  std::FILE* f = img::OpenFile(path, "r+b");
  if (!f) return false;
  std::fclose(f);
  return true;
}

}  // namespace

SettingsWriteError::SettingsWriteError(const std::string& full_path)
    : img::ImageError(img::ErrorCode::SettingsWrite, "Unable to write to " + full_path) {}

SettingsFile::SettingsFile(const fs::path& path) : path_(path) {
  if (path_.empty()) return;
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (!ec) path_ = absolute;
}

std::string SettingsFile::ReadString(const std::string& section, const std::string& key,
                                     const std::string& default_value) const {
  std::optional<std::string> value = FindValue(path_, section, key);
  return value ? *value : default_value;
}

int SettingsFile::ReadInteger(const std::string& section, const std::string& key, int default_value) const {
  std::optional<std::string> value = FindValue(path_, section, key);
  if (!value) return default_value;
  return ParseInteger(*value).value_or(default_value);
}

bool SettingsFile::ReadBool(const std::string& section, const std::string& key, bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

void SettingsFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  if (!HasFile()) return;
  const std::string full_path = img::PathToUtf8(path_);
  const std::string section_name = img::TrimBlanks(section);
  const std::string key_name = img::TrimBlanks(key);
  // Names and values that would break the line structure of the file.
  if (section_name.empty() || key_name.empty() || HasLineBreakOrNul(section_name) ||
      HasLineBreakOrNul(key_name) || HasLineBreakOrNul(value) ||
      section_name.find(']') != std::string::npos || key_name.find('=') != std::string::npos ||
      key_name[0] == '[' || key_name[0] == ';')
    throw SettingsWriteError(full_path);

  // A link to the settings file stays a link: its target is rewritten.
  // A file that is not a settings file is never rewritten: its bytes would
  // be lost (start-up moves it aside, see SetAsideIfNotSettings).
  ExaminedFile file = Examine(path_);
  const fs::path target = file.target;
  Document doc;
  std::optional<fs::perms> old_perms;
  std::error_code ec;
  if (file.state == FileState::Settings) {
    // An existing file that cannot be changed is never replaced either.
    if (!ExistingFileIsWritable(target)) throw SettingsWriteError(full_path);
    doc = std::move(*file.doc);
    old_perms = fs::status(target, ec).permissions();
  } else if (file.state != FileState::Missing) {
    throw SettingsWriteError(full_path);
  }

  doc.SetValue(section_name, key_name, EncodeValue(value));

  const std::string out = RenderDocument(doc);
  if (out.size() > kMaxSettingsBytes) throw SettingsWriteError(full_path);
  try {
    img::WriteFileAtomically(target, std::span(reinterpret_cast<const std::uint8_t*>(out.data()), out.size()));
  } catch (const std::exception&) {
    throw SettingsWriteError(full_path);
  }
  if (old_perms) fs::permissions(target, *old_perms, ec);
}

std::optional<fs::path> SettingsFile::SetAsideIfNotSettings() {
  if (!HasFile() || Examine(path_).state != FileState::NotSettings) return std::nullopt;
  // The first free name: an earlier bad file is kept as well. A link is
  // renamed itself; what it leads to is not touched.
  constexpr int kMaxTries = 100;
  std::error_code ec;
  for (int i = 1; i <= kMaxTries; ++i) {
    fs::path aside = path_;
    aside += i == 1 ? std::string(".bad") : ".bad" + std::to_string(i);
    if (fs::symlink_status(aside, ec).type() != fs::file_type::not_found) continue;
    fs::rename(path_, aside, ec);
    if (ec) return std::nullopt;
    return aside;
  }
  return std::nullopt;
}

void SettingsFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void SettingsFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

}  // namespace ui

#pragma once
// The settings file: an INI file read and written key by key, the way the
// Windows private-profile calls do it. Section and key names compare without
// regard to (ASCII) case; every call reads or rewrites the file itself, so
// nothing is cached and there is nothing to flush or close.
//
// Reads never fail: a missing or unreadable file, section or key gives the
// caller's default. Writes replace the file atomically (temporary file beside
// it, then rename), keep every other line byte for byte, and throw
// SettingsWriteError when the system refuses them.
//
// A file larger than 256 KiB, far more than this program ever writes, counts
// as unreadable: it reads as all defaults, refuses every write and is left
// as it is; a write that would make the file larger is refused as well.
//
// The file is written as UTF-8. A file that is not valid UTF-8 (one written
// with the GBK code page) is read as GB18030, and the next write turns the
// whole file into UTF-8. A UTF-8 byte-order mark is skipped on read and kept
// on write; line ends (LF or CRLF) are kept, and new lines take the file's.
//
// A file that is not a settings file is never rewritten, so its bytes are
// never lost: one holding a NUL byte or bytes that are neither UTF-8 nor
// GB18030, and a link that leads anywhere but to a text of section, key,
// comment and blank lines. It reads as all defaults and refuses every write
// until SetAsideIfNotSettings has moved it out of the way.
//
// Made with an empty path it has no file (the user has no folder of their
// own to keep one in): every read gives the default, every write is
// dropped, and nothing is ever looked for elsewhere.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/ImageError.h"

namespace ui {

// A refused settings write: the core's one error type with the code
// SettingsWrite; what() is exactly "Unable to write to <full path of the file>".
class SettingsWriteError : public img::ImageError {
 public:
  explicit SettingsWriteError(const std::string& full_path);
};

class SettingsFile {
 public:
  explicit SettingsFile(const std::filesystem::path& path);

  const std::filesystem::path& path() const { return path_; }
  bool HasFile() const { return !path_.empty(); }

  // When the file is there but is not a settings file (see above), renames
  // it, or the link itself (never what the link leads to), to the first free
  // name of "<name>.bad", "<name>.bad2", ... and returns that path; the next
  // write starts a new file. Nothing otherwise, or when the rename fails.
  std::optional<std::filesystem::path> SetAsideIfNotSettings();

  // The value with surrounding blanks removed, and one pair of matching
  // surrounding quotes (" or ') removed as well. A key present with an
  // empty value gives "", not the default.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) const;
  // Decimal, or hexadecimal after "0x"/"0X" when the value is longer than two
  // characters. A value that is not such an integer (including "12a", "",
  // or a number outside the 32-bit range) gives the default.
  int ReadInteger(const std::string& section, const std::string& key, int default_value) const;
  // The integer value != 0.
  bool ReadBool(const std::string& section, const std::string& key, bool default_value) const;

  // An existing key gets its value replaced in place; a new key goes after
  // the last key of its section; a new section goes at the end of the file.
  // A value that would not read back as written (surrounding blanks or
  // quotes) is stored quoted. Values holding a line break or NUL cannot be
  // stored and are refused like any other refused write.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  // "1" or "0".
  void WriteBool(const std::string& section, const std::string& key, bool value);

 private:
  std::filesystem::path path_;
};

}  // namespace ui

#include "ui/core/SettingsFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>

#include "TestSupport.h"
#include "platform/FileIO.h"
#include "ui/core/ProgramFolders.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

// Key names s0, s1, ... (built by append: GCC 12 misreports "s" + to_string).
std::string Numbered(char prefix, int n) {
  std::string name(1, prefix);
  name += std::to_string(n);
  return name;
}

// A new file gets the platform's line end; an existing file keeps its own.
#ifdef _WIN32
const std::string kNewLine = "\r\n";
#else
const std::string kNewLine = "\n";
#endif

std::string Expected(const fs::path& path) { return "Unable to write to " + img::PathToUtf8(path); }

// Root ignores permission bits, so read-only cases cannot be provoked that way.
bool PermissionsAreEnforced(const testsupport::TempDir& dir) {
  const fs::path folder = dir / "probe-ro";
  fs::create_directory(folder);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  std::FILE* f = std::fopen((folder / "x").string().c_str(), "wb");
  if (f) std::fclose(f);
  fs::permissions(folder, fs::perms::owner_all);
  fs::remove_all(folder);
  return f == nullptr;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  fs::path path = dir / "defualt.ini";
  ui::SettingsFile settings{path};
};

TEST_F(SettingsFileTest, MissingFileReadsDefaultsAndIsNotCreatedByReading) {
  EXPECT_EQ(settings.ReadString("default", "SourcePath", "dflt"), "dflt");
  EXPECT_EQ(settings.ReadInteger("default", "zoomtype", 7), 7);
  EXPECT_TRUE(settings.ReadBool("default", "CbJPG", true));
  EXPECT_FALSE(settings.ReadBool("default", "CBGIF", false));
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(SettingsFileTest, FirstWriteCreatesTheFile) {
  settings.WriteBool("default", "fr", false);
  EXPECT_EQ(ReadFile(path), "[default]" + kNewLine + "fr=0" + kNewLine);
}

TEST_F(SettingsFileTest, RoundTripsOfAllThreeTypes) {
  const std::string strings[] = {"", "1024", "/home/用户/图片/源/", "C:\\转换后\\", "  padded  ",
                                 "\"quoted\"", "'single'", "\"", "a=b;c", "[not a section]"};
  int n = 0;
  for (const std::string& s : strings) settings.WriteString("default", Numbered('s', n++), s);
  const int numbers[] = {0, 1, -1, 768, INT_MAX, INT_MIN};
  n = 0;
  for (int v : numbers) settings.WriteInteger("ImgConvert", Numbered('i', n++), v);
  settings.WriteBool("default", "yes", true);
  settings.WriteBool("default", "no", false);

  ui::SettingsFile again(path);
  n = 0;
  for (const std::string& s : strings) EXPECT_EQ(again.ReadString("default", Numbered('s', n++), "x"), s);
  n = 0;
  for (int v : numbers) EXPECT_EQ(again.ReadInteger("ImgConvert", Numbered('i', n++), 42), v);
  EXPECT_TRUE(again.ReadBool("default", "yes", false));
  EXPECT_FALSE(again.ReadBool("default", "no", true));
  // Every line ends in kNewLine and no value holds a carriage return.
  const std::string bytes = ReadFile(path);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'),
            kNewLine.size() == 2 ? std::count(bytes.begin(), bytes.end(), '\n') : 0);
}

TEST_F(SettingsFileTest, NamesCompareWithoutCase) {
  settings.WriteInteger("ImgConvert", "LbRoateType", 2);
  EXPECT_EQ(settings.ReadInteger("imgconvert", "lbroatetype", 0), 2);
  EXPECT_EQ(settings.ReadInteger("IMGCONVERT", "LBROATETYPE", 0), 2);
  settings.WriteInteger("imgCONVERT", "lbROATEtype", 3);
  // One section, one key: the existing line was replaced, spelling kept.
  EXPECT_EQ(ReadFile(path), "[ImgConvert]" + kNewLine + "LbRoateType=3" + kNewLine);
}

TEST_F(SettingsFileTest, EveryCallGoesToTheFile) {
  ui::SettingsFile other(path);
  settings.WriteString("default", "edtwidth", "800");
  EXPECT_EQ(other.ReadString("default", "edtwidth", ""), "800");
  WriteFile(path, "[default]\nedtwidth=640\n");
  EXPECT_EQ(settings.ReadString("default", "edtwidth", ""), "640");
  fs::remove(path);
  EXPECT_EQ(settings.ReadString("default", "edtwidth", "1024"), "1024");
}

TEST_F(SettingsFileTest, EmptyValueIsEmptyTextButNotAnInteger) {
  WriteFile(path, "[default]\nSourcePath=\nzoomtype=\nCbJPG=   \n");
  EXPECT_EQ(settings.ReadString("default", "SourcePath", "dflt"), "");
  EXPECT_EQ(settings.ReadInteger("default", "zoomtype", 5), 5);
  EXPECT_TRUE(settings.ReadBool("default", "CbJPG", true));
}

TEST_F(SettingsFileTest, KeysOutsideTheirSectionAreNotFound) {
  WriteFile(path, "zoomtype=1\n[other]\nzoomtype=2\n; zoomtype=3\n[default]\n;zoomtype=4\n");
  EXPECT_EQ(settings.ReadInteger("default", "zoomtype", 9), 9);
  EXPECT_EQ(settings.ReadInteger("other", "zoomtype", 9), 2);
}

struct IntegerCase {
  const char* stored;
  int expected;  // with default 77
};

void PrintTo(const IntegerCase& c, std::ostream* os) { *os << "'" << c.stored << "' gives " << c.expected; }

class IntegerParsing : public SettingsFileTest, public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(IntegerParsing, ReadsOrFallsBackToDefault) {
  WriteFile(path, std::string("[default]\nvalue=") + GetParam().stored + "\n");
  EXPECT_EQ(settings.ReadInteger("default", "value", 77), GetParam().expected) << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(
    Values, IntegerParsing,
    ::testing::Values(IntegerCase{"0", 0}, IntegerCase{"12", 12}, IntegerCase{" 42 ", 42},
                      IntegerCase{"-7", -7}, IntegerCase{"+7", 7}, IntegerCase{"007", 7},
                      IntegerCase{"0x1F", 31}, IntegerCase{"0X1f", 31}, IntegerCase{"0x0", 0},
                      IntegerCase{"0xFFFFFFFF", -1}, IntegerCase{"0x7fffffff", INT_MAX},
                      IntegerCase{"2147483647", INT_MAX}, IntegerCase{"-2147483648", INT_MIN},
                      IntegerCase{"\"3\"", 3},
                      // Not integers: the default.
                      IntegerCase{"0x", 77}, IntegerCase{"0X", 77}, IntegerCase{"0xG", 77},
                      IntegerCase{"0x1F ; note", 77}, IntegerCase{"12a", 77}, IntegerCase{"1.5", 77},
                      IntegerCase{"abc", 77}, IntegerCase{"-", 77}, IntegerCase{"1 2", 77},
                      IntegerCase{"2147483648", 77}, IntegerCase{"-2147483649", 77},
                      IntegerCase{"0x100000000", 77}, IntegerCase{"99999999999999999999", 77}),
    [](const auto& info) { return testsupport::ParamName(info.param.stored); });

TEST_F(SettingsFileTest, BooleansAreIntegersOtherThanZero) {
  WriteFile(path, "[default]\na=1\nb=0\nc=2\nd=-1\ne=0x0\nf=true\n");
  EXPECT_TRUE(settings.ReadBool("default", "a", false));
  EXPECT_FALSE(settings.ReadBool("default", "b", true));
  EXPECT_TRUE(settings.ReadBool("default", "c", false));
  EXPECT_TRUE(settings.ReadBool("default", "d", false));
  EXPECT_FALSE(settings.ReadBool("default", "e", true));
  EXPECT_FALSE(settings.ReadBool("default", "f", false));
  EXPECT_TRUE(settings.ReadBool("default", "f", true));
}

TEST_F(SettingsFileTest, WritesKeepEveryOtherLineByteForByte) {
  const std::string original =
      "; settings of the picture converter\n"
      "\n"
      "[Other]\n"
      "  Spaced Key  =  spaced value  \n"
      "# hash comment\n"
      "[default]\n"
      "SourcePath=/old/\n"
      "; a comment inside the section\n"
      "edtwidth = 800\n"
      "\n"
      "[Tail]\n"
      "x=1";  // no line end on the last line
  WriteFile(path, original);

  settings.WriteString("DEFAULT", "sourcepath", "/new/");   // replaced in place
  settings.WriteString("default", "edtheight", "600");      // after the section's last key
  settings.WriteInteger("ImgConvert", "LbTargetInd", 4);    // new section at the end

  EXPECT_EQ(ReadFile(path),
            "; settings of the picture converter\n"
            "\n"
            "[Other]\n"
            "  Spaced Key  =  spaced value  \n"
            "# hash comment\n"
            "[default]\n"
            "SourcePath=/new/\n"
            "; a comment inside the section\n"
            "edtwidth = 800\n"
            "edtheight=600\n"
            "\n"
            "[Tail]\n"
            "x=1\n"
            "\n"
            "[ImgConvert]\n"
            "LbTargetInd=4\n");
  EXPECT_EQ(settings.ReadString("other", "spaced key", ""), "spaced value");
}

TEST_F(SettingsFileTest, CrlfFilesAreReadAndKeepTheirLineEnds) {
  WriteFile(path, "[default]\r\nSourcePath=C:\\pics\\\r\nCbJPG=0\r\n");
  EXPECT_EQ(settings.ReadString("default", "SourcePath", ""), "C:\\pics\\");
  EXPECT_FALSE(settings.ReadBool("default", "CbJPG", true));
  settings.WriteBool("default", "CbPNG", false);
  settings.WriteInteger("ImgConvert", "LbRoateType", 1);
  EXPECT_EQ(ReadFile(path),
            "[default]\r\nSourcePath=C:\\pics\\\r\nCbJPG=0\r\nCbPNG=0\r\n\r\n[ImgConvert]\r\nLbRoateType=1\r\n");
}

TEST_F(SettingsFileTest, Utf8ByteOrderMarkIsSkippedAndKept) {
  WriteFile(path, "\xEF\xBB\xBF[default]\nedtwidth=320\n");
  EXPECT_EQ(settings.ReadString("default", "edtwidth", ""), "320");
  settings.WriteString("default", "edtwidth", "640");
  EXPECT_EQ(ReadFile(path), "\xEF\xBB\xBF[default]\nedtwidth=640\n");
}

TEST_F(SettingsFileTest, Gb18030FileIsReadAndRewrittenAsUtf8) {
  // "源" and "转换" in the GBK code page, as an older program wrote them.
  WriteFile(path, "[default]\r\nSourcePath=D:\\\xD4\xB4\\\r\nTargetPath=D:\\\xD7\xAA\xBB\xBB\\\r\n");
  EXPECT_FALSE(settings.SetAsideIfNotSettings());
  EXPECT_EQ(settings.ReadString("default", "SourcePath", ""), "D:\\源\\");
  EXPECT_EQ(settings.ReadString("default", "TargetPath", ""), "D:\\转换\\");
  settings.WriteInteger("default", "zoomtype", 1);
  EXPECT_EQ(ReadFile(path), "[default]\r\nSourcePath=D:\\源\\\r\nTargetPath=D:\\转换\\\r\nzoomtype=1\r\n");
  EXPECT_EQ(settings.ReadString("default", "SourcePath", ""), "D:\\源\\");
}

TEST_F(SettingsFileTest, ValueWithLineBreakIsRefusedAndNothingChanges) {
  settings.WriteString("default", "SourcePath", "/a/");
  const std::string before = ReadFile(path);
  for (const std::string& bad : {std::string("/a\n[x]\ny=1"), std::string("/a\r"), std::string("a\0b", 3)}) {
    try {
      settings.WriteString("default", "SourcePath", bad);
      ADD_FAILURE() << "write accepted";
    } catch (const ui::SettingsWriteError& e) {
      EXPECT_EQ(std::string(e.what()), Expected(path));
    }
  }
  EXPECT_EQ(ReadFile(path), before);
}

TEST_F(SettingsFileTest, RefusedWriteNamesTheFullPath) {
  // Works as root too: the folder of the file is a regular file.
  WriteFile(dir / "plain", "x");
  const fs::path impossible = dir / "plain" / "defualt.ini";
  ui::SettingsFile blocked(impossible);
  try {
    blocked.WriteBool("default", "CbJPG", true);
    ADD_FAILURE() << "write accepted";
  } catch (const ui::SettingsWriteError& e) {
    EXPECT_EQ(std::string(e.what()), Expected(impossible));
  }
  // A folder in place of the file.
  fs::create_directory(path);
  EXPECT_THROW(settings.WriteInteger("default", "zoomtype", 1), ui::SettingsWriteError);
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(settings.ReadInteger("default", "zoomtype", 3), 3);
}

TEST_F(SettingsFileTest, RelativePathIsReportedInFull) {
  ui::SettingsFile relative("no-such-folder-for-settings/defualt.ini");
  try {
    relative.WriteBool("default", "fr", false);
    ADD_FAILURE() << "write accepted";
  } catch (const ui::SettingsWriteError& e) {
    EXPECT_EQ(std::string(e.what()), Expected(fs::absolute("no-such-folder-for-settings/defualt.ini")));
  }
}

// A user without a folder of their own has no settings file: nothing is
// read from or written to a file of the same name where the program runs.
TEST_F(SettingsFileTest, NoFolderMeansNoFileAtAll) {
  struct WorkingFolder {
    fs::path before = fs::current_path();
    explicit WorkingFolder(const fs::path& folder) { fs::current_path(folder); }
    ~WorkingFolder() { fs::current_path(before); }
  } working(dir.path());
  const std::string planted = "[default]\nTargetPath=/tmp/loot/\nzoomtype=1\n";
  WriteFile(path, planted);

  ui::SettingsFile none(ui::SettingsFilePath({}));
  EXPECT_FALSE(none.HasFile());
  EXPECT_EQ(none.ReadString("default", "TargetPath", "dflt"), "dflt");
  EXPECT_EQ(none.ReadInteger("default", "zoomtype", 0), 0);
  EXPECT_NO_THROW(none.WriteString("default", "TargetPath", "/elsewhere/"));
  EXPECT_EQ(ReadFile(path), planted);
  EXPECT_EQ(ui::DefaultSourceFolder({}), "");
}

TEST_F(SettingsFileTest, ReadOnlyFileIsLeftUnchanged) {
  if (!PermissionsAreEnforced(dir)) GTEST_SKIP() << "permission bits are not enforced for this user";
  const std::string original = "; keep me\n[default]\nCbJPG=1\n";
  WriteFile(path, original);
  fs::permissions(path, fs::perms::owner_read);
  try {
    settings.WriteBool("default", "CbJPG", false);
    ADD_FAILURE() << "write accepted";
  } catch (const ui::SettingsWriteError& e) {
    EXPECT_EQ(std::string(e.what()), Expected(path));
  }
  EXPECT_EQ(ReadFile(path), original);
  EXPECT_TRUE(settings.ReadBool("default", "CbJPG", false));
}

TEST_F(SettingsFileTest, ReadOnlyFolderRefusesTheFirstWrite) {
  if (!PermissionsAreEnforced(dir)) GTEST_SKIP() << "permission bits are not enforced for this user";
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(settings.WriteBool("default", "CbJPG", false), ui::SettingsWriteError);
  fs::permissions(dir.path(), fs::perms::owner_all);
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(SettingsFileTest, LinkedFileStaysALink) {
  fs::create_directory(dir / "real");
  WriteFile(dir / "real" / "settings.ini", "[default]\nCbJPG=1\n");
  std::error_code ec;
  fs::create_symlink(dir / "real" / "settings.ini", path, ec);
  if (ec) GTEST_SKIP() << "no file links here (Windows needs a privilege, Wine has none): " << ec.message();
  EXPECT_FALSE(settings.SetAsideIfNotSettings());
  settings.WriteBool("default", "CbJPG", false);
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_EQ(ReadFile(dir / "real" / "settings.ini"), "[default]\nCbJPG=0\n");
}

// What stands at the settings path, and the file a link there leads to.
struct NotSettingsCase {
  const char* name;
  std::string bytes;   // of the file itself, or of the file the link leads to
  bool link;
};

void PrintTo(const NotSettingsCase& c, std::ostream* os) { *os << c.name; }

std::string RandomBytes(std::size_t n) {
  std::string bytes(n, '\0');
  unsigned state = 16;
  for (char& c : bytes) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
  return bytes;
}

class NotASettingsFile : public SettingsFileTest, public ::testing::WithParamInterface<NotSettingsCase> {};

// Such a file reads as defaults, refuses writes, and is moved aside whole;
// a link is moved itself and what it leads to stays untouched.
TEST_P(NotASettingsFile, IsNeverRewrittenAndIsMovedAsideWhole) {
  const NotSettingsCase& c = GetParam();
  const fs::path victim = c.link ? dir / "victim" : path;
  WriteFile(victim, c.bytes);
  if (c.link) {
    std::error_code ec;
    fs::create_symlink(victim, path, ec);
    if (ec) GTEST_SKIP() << "no file links here (Windows needs a privilege, Wine has none): " << ec.message();
  }

  EXPECT_TRUE(settings.ReadBool("default", "CbJPG", true));
  EXPECT_THROW(settings.WriteBool("default", "CbJPG", false), ui::SettingsWriteError);
  EXPECT_TRUE(ReadFile(victim) == c.bytes);

  const std::optional<fs::path> aside = settings.SetAsideIfNotSettings();
  ASSERT_TRUE(aside);
  EXPECT_EQ(*aside, dir / "defualt.ini.bad");
  EXPECT_EQ(fs::is_symlink(*aside), c.link);
  EXPECT_TRUE(ReadFile(*aside) == c.bytes);
  settings.WriteBool("default", "CbJPG", false);
  EXPECT_EQ(ReadFile(path), "[default]" + kNewLine + "CbJPG=0" + kNewLine);
  if (c.link) {
    EXPECT_TRUE(ReadFile(victim) == c.bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NotASettingsFile,
    ::testing::Values(NotSettingsCase{"RandomBytesWithNuls", RandomBytes(4096), false},
                      // 0x80 and 0xFF begin no GB18030 sequence; no NUL byte.
                      NotSettingsCase{"NeitherUtf8NorGb18030", "[default]\nCbJPG=0\n\x80\xFF\n", false},
                      NotSettingsCase{"LinkToAPicture", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), true},
                      NotSettingsCase{"LinkToSomeOtherText", "#!/bin/sh\n[ -f x ] && echo CbJPG=1\nexit 0\n", true}),
    [](const auto& info) { return std::string(info.param.name); });

// No settings file is larger than 256 KiB: a larger one is not read (all
// defaults) and never rewritten; no write makes one.
struct SizeCase {
  const char* name;
  std::size_t file_bytes;   // "[default]", "CbJPG=0", then blank lines
  std::size_t value_bytes;  // of a new key written
  bool read;
  bool written;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class SettingsFileSize : public SettingsFileTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SettingsFileSize, LargerThanTheBoundIsNeitherReadNorWritten) {
  const SizeCase& c = GetParam();
  std::string bytes = "[default]\nCbJPG=0\n";
  bytes.resize(c.file_bytes, '\n');
  WriteFile(path, bytes);

  EXPECT_EQ(settings.ReadBool("default", "CbJPG", true), !c.read);
  const std::string value(c.value_bytes, 'v');
  if (c.written) {
    settings.WriteString("default", "SourcePath", value);
    EXPECT_EQ(settings.ReadString("default", "SourcePath", ""), value);
  } else {
    EXPECT_THROW(settings.WriteString("default", "SourcePath", value), ui::SettingsWriteError);
    EXPECT_TRUE(ReadFile(path) == bytes);
  }
  EXPECT_FALSE(settings.SetAsideIfNotSettings());
  EXPECT_TRUE(fs::exists(path));
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsFileSize,
                         ::testing::Values(SizeCase{"JustInside", 256 * 1024 - 100, 1, true, true},
                                           SizeCase{"AtTheBoundAnyWriteIsTooMuch", 256 * 1024, 1, true, false},
                                           SizeCase{"OneByteOver", 256 * 1024 + 1, 1, false, false},
                                           SizeCase{"SixteenMebibytes", 16 << 20, 1, false, false},
                                           SizeCase{"SmallFileHugeValue", 100, 256 * 1024, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, AnEarlierSetAsideFileIsKept) {
  WriteFile(dir / "defualt.ini.bad", "older");
  WriteFile(path, std::string("\0", 1));
  EXPECT_EQ(settings.SetAsideIfNotSettings(), dir / "defualt.ini.bad2");
  EXPECT_EQ(ReadFile(dir / "defualt.ini.bad"), "older");
  EXPECT_FALSE(settings.SetAsideIfNotSettings());  // nothing left to move
}

TEST_F(SettingsFileTest, WriteLeavesNoTemporaryFilesBehind) {
  settings.WriteString("default", "SourcePath", "/a/");
  settings.WriteString("default", "TargetPath", "/b/");
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

}  // namespace

#include "ui/core/FolderPaths.h"

#include <algorithm>
#include <fstream>

#include "TestSupport.h"
#include "platform/FileIO.h"

using namespace ui;
namespace fs = std::filesystem;

namespace {

std::string U(const fs::path& p) { return img::PathToUtf8(p); }

void Write(const fs::path& p, const std::string& content) { std::ofstream(p) << content; }

std::string Read(const fs::path& p) {
  std::ifstream in(p);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(NormalizeFolderPath, OneTrailingSeparatorAndNoDoubles) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"/pics", "/pics/"},      {"/pics/", "/pics/"},   {"  /pics  ", "/pics/"},
      {"//pics///new", "/pics/new/"}, {"/a////b", "/a/b/"}, {"   ", "   "},
      {"", ""},
  };
  // Written with '/', checked with the platform's separator.
  auto platform = [](std::string s) {
    std::replace(s.begin(), s.end(), '/', FolderSeparator());
    return s;
  };
  for (const Case& c : cases) {
    std::string s = platform(c.in);
    NormalizeFolderPath(s);
    EXPECT_EQ(s, platform(c.out)) << "'" << c.in << "'";
  }
}

TEST(FolderCreation, CreatesMissingParentsAndRefusesUnusableTexts) {
  testsupport::TempDir tmp;
  const fs::path deep = tmp / "pics" / "new" / img::PathFromUtf8("照片");
  EXPECT_EQ(CreateFolderWithParents(U(deep) + "/"), FolderCreation::Ready);
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_EQ(CreateFolderWithParents(U(deep)), FolderCreation::Ready);  // already there

  EXPECT_EQ(CreateFolderWithParents(""), FolderCreation::Unusable);
  EXPECT_EQ(CreateFolderWithParents("   "), FolderCreation::Unusable);
  EXPECT_EQ(CreateFolderWithParents("relative/folder/"), FolderCreation::Unusable);

  Write(tmp / "afile", "x");  // a file where a folder should go
  EXPECT_EQ(CreateFolderWithParents(U(tmp / "afile" / "sub")), FolderCreation::Failed);
}

TEST(Drives, UnixHasOneDriveWindowsItsLettersAndShares) {
#ifdef _WIN32
  EXPECT_EQ(DrivePart("C:\\pics\\x"), "C:");
  EXPECT_EQ(DrivePart("\\\\server\\share\\pics"), "\\\\server\\share");
  EXPECT_EQ(DrivePart("\\\\server"), "\\\\server");
  EXPECT_EQ(DrivePart("pics\\x"), "");
  EXPECT_TRUE(DriveExists("C:"));
  EXPECT_TRUE(DriveExists("c:"));
  EXPECT_FALSE(DriveExists("1:"));
#else
  EXPECT_EQ(DrivePart("/home/x"), "/");
  EXPECT_EQ(DrivePart("home/x"), "");
  EXPECT_TRUE(DriveExists("/"));
  EXPECT_FALSE(DriveExists("Q:"));
#endif
  EXPECT_FALSE(DriveExists(""));
  // The root an unusable text falls back to is itself a usable folder text.
  EXPECT_TRUE(DriveExists(DrivePart(SystemRootFolder())));
  EXPECT_EQ(SystemRootFolder().back(), FolderSeparator());
}

TEST(FolderFromText, ABareNameIsASubFolderOfTheCurrentOneAndNothingIsRelativeToTheProgram) {
  const std::string root = SystemRootFolder(), sep(1, FolderSeparator());
  EXPECT_EQ(FolderFromText(" 新 ", root + "pics" + sep), root + "pics" + sep + "新" + sep);
  EXPECT_EQ(FolderFromText("..", root + "pics" + sep), root);
  EXPECT_EQ(FolderFromText("new" + sep + "sub", root), "");
  EXPECT_EQ(FolderFromText("new", ""), "");  // nothing committed yet
}

TEST(IsRootFolder, EverySpellingOfADriveRoot) {
  const std::string root = SystemRootFolder();
  EXPECT_TRUE(IsRootFolder(root));
  EXPECT_TRUE(IsRootFolder(root + "pics" + FolderSeparator() + ".." + FolderSeparator()));
  EXPECT_FALSE(IsRootFolder(root + "pics" + FolderSeparator()));
#ifndef _WIN32
  testsupport::TempDir tmp;
  fs::create_directory_symlink("/", tmp / "root-link");
  EXPECT_TRUE(IsRootFolder(U(tmp / "root-link") + "/"));
#endif
}

TEST(IsBareFileName, NothingThatLeavesTheFolder) {
  EXPECT_TRUE(IsBareFileName("a b.jpg"));
  EXPECT_TRUE(IsBareFileName("新..jpg"));
  EXPECT_FALSE(IsBareFileName("sub/a.jpg"));
  EXPECT_FALSE(IsBareFileName("../a.jpg"));
#ifdef _WIN32
  EXPECT_FALSE(IsBareFileName("sub\\a.jpg"));
  EXPECT_FALSE(IsBareFileName("C:a.jpg"));
#else
  EXPECT_TRUE(IsBareFileName("a\\b:c.jpg"));  // ordinary characters here
#endif
}

TEST(ListFolderFiles, FilesOnlyInNaturalOrder) {
  testsupport::TempDir tmp;
  for (const char* name : {"img10.jpg", "img2.jpg", "B.png", "a.JPG", ".hidden"}) Write(tmp / name, "x");
  fs::create_directories(tmp / "e.jpg");
  auto files = ListFolderFiles(U(tmp.path()) + "/");
  std::vector<std::string> names;
  for (auto& f : files) names.push_back(f.substr(U(tmp.path()).size() + 1));
  EXPECT_EQ(names, (std::vector<std::string>{".hidden", "a.JPG", "B.png", "img2.jpg", "img10.jpg"}));
  EXPECT_TRUE(ListFolderFiles("/no/such/folder/").empty());
}

TEST(RenameWithoutReplacing, NeverReplacesAFile) {
  testsupport::TempDir tmp;
  Write(tmp / "a.jpg", "A");
  Write(tmp / "b.jpg", "B");
  EXPECT_FALSE(RenameWithoutReplacing(U(tmp / "a.jpg"), U(tmp / "b.jpg")));
  EXPECT_EQ(Read(tmp / "a.jpg"), "A");
  EXPECT_EQ(Read(tmp / "b.jpg"), "B");

  EXPECT_FALSE(RenameWithoutReplacing(U(tmp / "a.jpg"), U(tmp / "a.jpg")));
  EXPECT_FALSE(RenameWithoutReplacing(U(tmp / "a.jpg"), U(tmp.path()) + "/"));
  EXPECT_FALSE(RenameWithoutReplacing(U(tmp / "missing.jpg"), U(tmp / "c.jpg")));

  EXPECT_TRUE(RenameWithoutReplacing(U(tmp / "a.jpg"), U(tmp / img::PathFromUtf8("新.jpg"))));
  EXPECT_EQ(Read(tmp / img::PathFromUtf8("新.jpg")), "A");
  EXPECT_FALSE(fs::exists(tmp / "a.jpg"));
}

TEST(ShellOpen, AddressesExistingPathsAndNothingElse) {
  testsupport::TempDir tmp;
  Write(tmp / "p.jpg", "x");
  EXPECT_EQ(ShellOpenTarget("https://example.com/x"), "https://example.com/x");
  EXPECT_EQ(ShellOpenTarget("www.example.com"), "http://www.example.com");
  EXPECT_EQ(ShellOpenTarget(U(tmp / "p.jpg")), U(tmp / "p.jpg"));
  EXPECT_EQ(ShellOpenTarget(U(tmp.path())), U(tmp.path()));
  EXPECT_EQ(ShellOpenTarget(U(tmp / "gone.jpg")), "");
  EXPECT_EQ(CompleteWebAddress("www.example.com/ic/"), "http://www.example.com/ic/");
  EXPECT_EQ(CompleteWebAddress("https://x.example/"), "https://x.example/");
}

}  // namespace

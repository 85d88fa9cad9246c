#include "platform/FolderSeparator.h"
#include "engine/plan/FolderWalk.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "TestSupport.h"
#include "engine/convert/PictureConverter.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& p) {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << "x";
}

std::vector<std::string> Names(const std::vector<ListedPicture>& list, const std::string& root) {
  std::vector<std::string> out;
  // The walk joins with the system's separator; the expectations use '/'.
  for (const ListedPicture& p : list) {
    out.push_back(p.path.substr(root.size()));
    std::replace(out.back().begin(), out.back().end(), img::FolderSeparator(), '/');
  }
  return out;
}

TEST(FolderWalk, DepthFirstNaturalOrderWithHiddenFilesAndNoOtherFiles) {
  testsupport::TempDir tmp;
  const fs::path a = tmp / "a";
  for (const char* name : {"img10.jpg", "img2.JPG", "b/x.png", "b/c/deep.bmp", "B2/y.jpeg",
                           ".hidden.png", "notes.txt", "pic.gif", "noext"})
    Touch(a / name);
  fs::create_directories(a / "folder.jpg");  // a folder named like a picture is no picture

  const std::string root = img::PathToUtf8(a) + "/";
  std::vector<ListedPicture> list;
  ListPictureTree(root, {".jpg", ".jpeg", ".bmp", ".png"}, list);
  EXPECT_EQ(Names(list, root), (std::vector<std::string>{".hidden.png", "b/c/deep.bmp", "b/x.png",
                                                         "B2/y.jpeg", "img2.JPG", "img10.jpg"}));
  // The hint shows the folder in upper case and the name in lower case; the
  // targets bear the lower-case name; the file is opened by its real name.
  const ListedPicture& upper = list[4];
  EXPECT_EQ(upper.targetName, "img2.jpg");
  EXPECT_EQ(upper.displayPath, img::AsciiUpper(root) + "img2.jpg");
  EXPECT_TRUE(fs::exists(img::PathFromUtf8(upper.path)));
}

TEST(FolderWalk, LinksToFoldersAreNotFollowedAndPipesAreSkipped) {
  testsupport::TempDir tmp;
  Touch(tmp / "p" / "one.jpg");
  std::error_code ec;
  fs::create_directory_symlink(tmp / "p", tmp / "p" / "loop", ec);
  if (ec) GTEST_SKIP() << "no folder links here (Windows needs a privilege, Wine has none): " << ec.message();
  fs::create_directory_symlink(tmp / "p", tmp / "p" / "loop2.jpg");
#ifndef _WIN32
  ASSERT_EQ(mkfifo(img::PathToUtf8(tmp / "p" / "pipe.jpg").c_str(), 0600), 0);
#endif
  std::vector<ListedPicture> list;
  ListPictureTree(img::PathToUtf8(tmp / "p"), PictureExtensions(), list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].targetName, "one.jpg");
}

// A second run over a tree that holds its output folder must not take the
// first run's targets for sources, however the output folder is spelt.
TEST(FolderWalk, TheOutputFolderAndAllBelowItAreLeftOut) {
  testsupport::TempDir tmp;
  const fs::path s = tmp / "s";
  for (const char* name : {"a.jpg", "out/a.png", "out/deeper/b.jpg", "outer/c.jpg"}) Touch(s / name);
  const std::string root = img::PathToUtf8(s) + "/";
  for (const std::string& output : {root + "out", root + "./out/", root + "outer/../out"}) {
    std::vector<ListedPicture> list;
    ListPictureTree(root, PictureExtensions(), list, output);
    EXPECT_EQ(Names(list, root), (std::vector<std::string>{"a.jpg", "outer/c.jpg"})) << output;
  }
}

// Found however deep it sits, not only among the start folder's own.
TEST(FolderWalk, AnOutputFolderTwoLevelsDownIsLeftOutToo) {
  testsupport::TempDir tmp;
  const fs::path s = tmp / "s";
  for (const char* name : {"a/b.jpg", "a/out/b.png"}) Touch(s / name);
  const std::string root = img::PathToUtf8(s) + "/";
  std::vector<ListedPicture> list;
  ListPictureTree(root, PictureExtensions(), list, root + "a/out");
  EXPECT_EQ(Names(list, root), std::vector<std::string>{"a/b.jpg"});
}

TEST(FolderWalk, MissingFolderContributesNothing) {
  std::vector<ListedPicture> list;
  ListPictureTree("/no/such/folder/", PictureExtensions(), list);
  EXPECT_TRUE(list.empty());
}

TEST(FolderWalk, HasPictureExtensionTrimsTableEntries) {
  const std::vector<std::string> table{" .JPG ", ".png"};
  EXPECT_TRUE(HasPictureExtension("a.jpg", table));
  EXPECT_TRUE(HasPictureExtension("A.PNG", table));
  EXPECT_FALSE(HasPictureExtension("a.bmp", table));
  EXPECT_FALSE(HasPictureExtension("jpg", table));
}

}  // namespace

// Folders and pictures dropped onto the window from a file manager: onto
// the source side (its edit, list or preview) and onto the output side.

#include <fstream>

#include "MainWindowFixture.h"
#include "platform/FolderSeparator.h"

namespace windowtest {
using namespace testsupport;
namespace {

using DropTest = OptionsTest;

std::vector<int> SelectedRows(const QListWidget* list) {
  std::vector<int> rows;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->isSelected()) rows.push_back(i);
  return rows;
}

TEST_F(DropTest, AFolderDroppedOnEitherSideBecomesItsFolder) {
  const fs::path pictures = dir / "假期 照片", converted = dir / "转换后";
  SavePng(pictures / "a.png", 4, 4);
  SavePng(pictures / "b.png", 4, 4);
  fs::create_directories(converted);
  ListFolders();
  Show();
  ASSERT_TRUE(DropPaths(LbDocList()->viewport(), {pictures}));
  EXPECT_EQ(form->SourcePathValue(), U(pictures) + img::FolderSeparator());
  EXPECT_EQ(Names(LbDocList()), (std::vector<std::string>{"a.png", "b.png"}));
  EXPECT_EQ(SelectedRows(LbDocList()), std::vector<int>{0});
  EXPECT_EQ(form->CurrentSourcePictureValue(), U(pictures) + img::FolderSeparator() + "a.png");

  // The output side takes a folder, onto its preview too, but no picture.
  EXPECT_FALSE(DropPaths(Find("ImgOutput"), {pictures / "a.png"}, true));
  ASSERT_TRUE(DropPaths(Find("ImgOutput"), {converted}));
  EXPECT_EQ(form->TargetPathValue(), U(converted) + img::FolderSeparator());
  form.reset();
  EXPECT_EQ(Ini("default", "SourcePath"), U(pictures) + img::FolderSeparator());
  EXPECT_EQ(Ini("default", "TargetPath"), U(converted) + img::FolderSeparator());
}

// Pictures dropped onto the source edit: their folder is listed with
// exactly them selected; a text file is passed over, and a picture of
// another folder is named in the hint line as left out.
TEST_F(DropTest, PicturesDroppedAreSelectedInTheirFolder) {
  const fs::path a = dir / "a folder", b = dir / "b";
  for (const char* name : {"1.png", "2 两.png", "3.png"}) SavePng(a / name, 4, 4);
  SavePng(b / "other.png", 4, 4);
  { std::ofstream(a / "notes.txt") << "text"; }
  ListFolders();
  Show();
  EXPECT_FALSE(DropPaths(EdtPath(), {a / "notes.txt"}, true));
  ASSERT_TRUE(DropPaths(EdtPath(), {a / "notes.txt", a / "3.png", b / "other.png", a / "2 两.png"}));
  EXPECT_EQ(form->SourcePathValue(), U(a) + img::FolderSeparator());
  EXPECT_EQ(SelectedRows(LbDocList()), (std::vector<int>{1, 2}));
  EXPECT_EQ(form->CurrentSourcePictureValue(), U(a) + img::FolderSeparator() + "3.png");
  EXPECT_NE(Text("LblHint").find(U(b / "other.png")), std::string::npos) << Text("LblHint");
}

// Files of other kinds are no pictures wherever they lie: one dropped first
// from another folder names no folder, and neither it nor one beside the
// picture is selected or named as left out.
TEST_F(DropTest, TextFilesBesideAndElsewhereArePassedOver) {
  const fs::path pictures = dir / "pictures", other = dir / "other";
  SavePng(pictures / "1.png", 4, 4);
  SavePng(pictures / "2.png", 4, 4);
  { std::ofstream(pictures / "notes.txt") << "text"; }
  fs::create_directories(other);
  { std::ofstream(other / "readme.txt") << "text"; }
  ListFolders();
  Show();
  ASSERT_TRUE(DropPaths(EdtPath(), {other / "readme.txt", pictures / "notes.txt", pictures / "2.png"}));
  EXPECT_EQ(form->SourcePathValue(), U(pictures) + img::FolderSeparator());
  EXPECT_EQ(SelectedRows(LbDocList()), std::vector<int>{1});
  EXPECT_EQ(Text("LblHint").find("readme.txt"), std::string::npos) << Text("LblHint");
}

}  // namespace
}  // namespace windowtest

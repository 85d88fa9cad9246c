#include "engine/convert/PictureList.h"

#include "TestSupport.h"
#include "platform/PathNames.h"

using namespace engine;

namespace {

TEST(PictureList, FindListItemIgnoresCaseAndBlanks) {
  VectorPictureList list({"b.png", "a.jpg"});
  EXPECT_EQ(FindListItem("  A.JPG ", &list), 1);
  EXPECT_EQ(FindListItem("c.jpg", &list), -1);
  EXPECT_EQ(FindListItem("a.jpg", nullptr), -1);
  VectorPictureList empty;
  EXPECT_EQ(FindListItem("a.jpg", &empty), -1);
}

TEST(PictureList, AddFileNameIfAbsentAddsTheNameOnce) {
  VectorPictureList list;
  for (int i = 0; i < 3; ++i) AddFileNameIfAbsent("/out/x.png", &list);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Item(0), "x.png");
  AddFileNameIfAbsent("/other/X.PNG", &list);
  EXPECT_EQ(list.Count(), 1);
}

TEST(PictureList, SelectOnlyItem) {
  VectorPictureList list({"a", "b", "c"});
  list.SetSelected(0, true);
  list.SetSelected(2, true);
  SelectOnlyItem(&list, 1);
  EXPECT_FALSE(list.IsSelected(0));
  EXPECT_TRUE(list.IsSelected(1));
  EXPECT_FALSE(list.IsSelected(2));
  EXPECT_EQ(list.CurrentIndex(), 1);

  SelectOnlyItem(&list, 7);  // past the end: nothing stays selected
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(list.IsSelected(i));

  VectorPictureList empty;
  SelectOnlyItem(&empty, 0);
  SelectOnlyItem(nullptr, 0);
}

TEST(TextUtil, ExtensionsAndNames) {
  EXPECT_EQ(img::ExtensionOf("/a.b/Photo.JPG"), ".JPG");
  EXPECT_EQ(img::ExtensionOf("/a.b/noext"), "");
  EXPECT_EQ(img::ReplaceExtension("/o/Photo.JPG", ".jpg"), "/o/Photo.jpg");
  EXPECT_EQ(img::ReplaceExtension("/o.d/noext", ".png"), "/o.d/noext.png");
  EXPECT_EQ(img::FileNamePart("/x/y/照片.png"), "照片.png");
  EXPECT_EQ(img::FolderPart("/x/y/z.png"), "/x/y/");
  EXPECT_EQ(img::TrimBlanks("  a b \t"), "a b");
  EXPECT_EQ(img::AsciiLower("ABC照片.JPG"), "abc照片.jpg");
}

TEST(TextUtil, NaturalOrderIgnoresCase) {
  EXPECT_TRUE(img::NaturalLess("img2.jpg", "img10.jpg"));
  EXPECT_FALSE(img::NaturalLess("img10.jpg", "img2.jpg"));
  EXPECT_TRUE(img::NaturalLess("a.jpg", "B.jpg"));
  EXPECT_TRUE(img::NaturalLess("B.jpg", "c.jpg"));
  EXPECT_TRUE(img::NaturalLess("x1", "x01") != img::NaturalLess("x01", "x1"));  // a fixed order
  EXPECT_FALSE(img::NaturalLess("same", "same"));
}

}  // namespace

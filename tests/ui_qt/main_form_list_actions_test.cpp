// The actions on the picture lists: delete to the trash, rename, refresh,
// open with the associated program or the paint program, and the menus.

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QDir>
#include <QStorageInfo>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <optional>

#include "MainWindowFixture.h"
#include "ui/QtShell.h"
#include "ui/core/ShellActions.h"

namespace mainform_test {
using namespace testsupport;
namespace {

namespace fs = std::filesystem;

void Select(QListWidget* list, std::initializer_list<int> rows) {
  list->clearSelection();
  for (int row : rows) list->item(row)->setSelected(true);
  if (rows.size() > 0) list->setCurrentRow(*rows.begin(), QItemSelectionModel::NoUpdate);
}

// Answers the rename dialog once it is shown: types name and confirms, or
// closes it when there is no name.
void AnswerRenameDialog(std::optional<std::string> name) {
  QTimer::singleShot(0, [name] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    if (!name) {
      dialog->findChild<QToolButton*>(QStringLiteral("BtnClose"))->click();
      return;
    }
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("EdtName"));
    edit->setText(QString::fromStdString(*name));
    QTest::keyClick(edit, Qt::Key_Return);
  });
}

class ListActionsTest : public MainFormTest {
 protected:
  void StartWith(std::initializer_list<const char*> sources) {
    for (const char* name : sources) WriteFile(SourceFolder() / name, name);
    Start();
  }
  QAction* Action(const char* name) { return form->findChild<QAction*>(QString::fromLatin1(name)); }
};

TEST_F(ListActionsTest, MenusCarryTheirCaptionsInOrder) {
  Create();
  auto captions = [this](const char* menu) {
    std::vector<std::string> texts;
    for (QAction* a : form->findChild<QMenu*>(QString::fromLatin1(menu))->actions())
      texts.push_back(a->objectName().toStdString() + "=" + a->text().toStdString());
    return texts;
  };
  EXPECT_EQ(captions("PmImgList"),
            (std::vector<std::string>{"N1=默认打开", "N5=打开所在文件夹", "MnDeletePic=删除所选图片",
                                      "MnRenamePic= 重命名图片", "PmOpenInPaint=在画图中打开"}));
  EXPECT_EQ(captions("PmOutput"), (std::vector<std::string>{"N2=默认打开", "N4=打开所在文件夹",
                                                            "MnDeleteFileOP=删除所选图片", "N3=在画图中打开"}));
}

TEST_F(ListActionsTest, DeleteKeyAsksOnceAndTrashesTheSelectedFiles) {
  StartWith({"a.jpg", "b.jpg", "c.jpg"});
  Select(LbDocList(), {0, 2});
  Key(LbDocList(), Qt::Key_Delete);
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(dialogs.questions[0], (std::pair<std::string, std::string>{"你确定要删除这2个图片吗？", "提醒"}));
  EXPECT_FALSE(fs::exists(SourceFolder() / "a.jpg"));
  EXPECT_FALSE(fs::exists(SourceFolder() / "c.jpg"));
  EXPECT_EQ(ReadFile(shell.trash / "a.jpg"), "a.jpg");
  EXPECT_EQ(Names(LbDocList()), std::vector<std::string>{"b.jpg"});
  EXPECT_TRUE(dialogs.messages.empty());
}

// A file the trash refuses stays, and the hint line says how many did.
TEST_F(ListActionsTest, PicturesTheTrashRefusesAreCounted) {
  WriteFile(dir / "not-a-folder");
  shell.trash = dir / "not-a-folder" / "trash";
  StartWith({"a.jpg", "b.jpg"});
  Select(LbDocList(), {0, 1});
  Key(LbDocList(), Qt::Key_Delete);
  EXPECT_EQ(Names(LbDocList()), (std::vector<std::string>{"a.jpg", "b.jpg"}));
  EXPECT_EQ(Hint()->text().toStdString(), "有2个图片无法移到回收站，没有删除。");
}

TEST_F(ListActionsTest, AnsweringNoDeletesNothing) {
  StartWith({"a.jpg", "b.jpg"});
  dialogs.answer = false;
  Select(LbDocList(), {0, 1});
  Key(LbDocList(), Qt::Key_Delete);
  EXPECT_EQ(dialogs.questions.size(), 1u);
  EXPECT_TRUE(shell.trashed.empty());
  EXPECT_EQ(Names(LbDocList()), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

TEST_F(ListActionsTest, DeleteWithNothingSelectedSaysSo) {
  StartWith({"a.jpg"});
  LbDocList()->clearSelection();
  Action("MnDeletePic")->trigger();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"请选择一个或多个路径"});
  EXPECT_TRUE(shell.trashed.empty());
  EXPECT_TRUE(fs::exists(SourceFolder() / "a.jpg"));
}

TEST_F(ListActionsTest, DeleteTakesTheListedFolderNotTheTypedOne) {
  StartWith({"a.jpg"});
  WriteFile(dir / "other" / "a.jpg", "keep");
  // Typed but not committed.
  EdtPath()->setText(QString::fromStdString((dir / "other").string()));
  Select(LbDocList(), {0});
  Action("MnDeletePic")->trigger();
  EXPECT_FALSE(fs::exists(SourceFolder() / "a.jpg"));
  EXPECT_EQ(ReadFile(dir / "other" / "a.jpg"), "keep");
}

TEST_F(ListActionsTest, DeleteInTheTargetList) {
  WriteFile(TargetFolder() / "t.png");
  Start();
  Select(LbTarget(), {0});
  Action("MnDeleteFileOP")->trigger();
  EXPECT_FALSE(fs::exists(TargetFolder() / "t.png"));
  EXPECT_EQ(LbTarget()->count(), 0);
}

TEST_F(ListActionsTest, DeleteMovesTheFileIntoTheDesktopTrash) {
  SKIP_WITHOUT_FREEDESKTOP_TRASH();
  // A file on another file system than the home folder goes to that file
  // system's own trash, which a test must not fill.
  if (QStorageInfo(QString::fromStdString(dir.path().string())) != QStorageInfo(QDir::home()))
    GTEST_SKIP() << "the temporary folder is not on the home folder's file system";
  const QByteArray previous = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir / "data").string()));
  fs::create_directories(dir / "data");
  ui::QtShell qtShell;
  ui::InstallShell(&qtShell);
  StartWith({"gone.jpg"});
  Select(LbDocList(), {0});
  Key(LbDocList(), Qt::Key_Delete);
  EXPECT_FALSE(fs::exists(SourceFolder() / "gone.jpg"));
  EXPECT_EQ(ReadFile(dir / "data" / "Trash" / "files" / "gone.jpg"), "gone.jpg");
  EXPECT_EQ(LbDocList()->count(), 0);
  ui::InstallShell(&shell);
  if (previous.isNull()) qunsetenv("XDG_DATA_HOME");
  else qputenv("XDG_DATA_HOME", previous);
}

TEST_F(ListActionsTest, WithoutATrashDeleteLeavesThePicturesAndSaysWhy) {
  SKIP_WITHOUT_FREEDESKTOP_TRASH();
  WriteFile(dir / "blocker");  // a file where the data folder's parent should be
  ScopedEnv data("XDG_DATA_HOME", (dir / "blocker" / "share").string());
  ui::QtShell qtShell;
  ui::InstallShell(&qtShell);
  StartWith({"a.jpg", "b.jpg"});
  Select(LbDocList(), {0, 1});
  Key(LbDocList(), Qt::Key_Delete);
  ui::InstallShell(&shell);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"无法建立回收站，所选图片没有删除。"});
  EXPECT_TRUE(fs::exists(SourceFolder() / "a.jpg"));
  EXPECT_TRUE(fs::exists(SourceFolder() / "b.jpg"));
  EXPECT_EQ(Names(LbDocList()), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

struct RenameCase {
  const char* typed;
  std::vector<std::string> listed;  // the folder afterwards
  bool takenSaid = false;           // the hint line says the name is taken
};

void PrintTo(const RenameCase& c, std::ostream* os) { *os << '"' << c.typed << '"'; }

class RenameTest : public ListActionsTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(RenameTest, RenamesWithoutReplacingAnything) {
  StartWith({"a.jpg", "c.jpg"});
  fs::create_directories(SourceFolder() / "sub");
  Select(LbDocList(), {0});
  AnswerRenameDialog(std::string(GetParam().typed));
  Action("MnRenamePic")->trigger();
  EXPECT_EQ(Names(LbDocList()), GetParam().listed);
  EXPECT_EQ(ReadFile(SourceFolder() / "c.jpg"), "c.jpg");  // never replaced
  EXPECT_TRUE(fs::is_empty(SourceFolder() / "sub"));
  EXPECT_EQ(Hint()->text().toStdString() == "没有重命名：名称“c.jpg”已被占用或无法使用。", GetParam().takenSaid)
      << Hint()->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Names, RenameTest,
    ::testing::Values(RenameCase{"b", {"b.jpg", "c.jpg"}}, RenameCase{"b.png", {"b.png", "c.jpg"}},
                      RenameCase{"c", {"a.jpg", "c.jpg"}, true}, RenameCase{"c.jpg", {"a.jpg", "c.jpg"}, true},
                      RenameCase{"", {"a.jpg", "c.jpg"}}, RenameCase{"sub/b.jpg", {"a.jpg", "c.jpg"}},
                      RenameCase{"../b.jpg", {"a.jpg", "c.jpg"}}),
    [](const auto& info) { return testsupport::ParamName(info.param.typed); });

TEST_F(ListActionsTest, ClosingTheRenameDialogKeepsTheName) {
  StartWith({"a.jpg"});
  Select(LbDocList(), {0});
  AnswerRenameDialog(std::nullopt);
  Action("MnRenamePic")->trigger();
  EXPECT_EQ(Names(LbDocList()), std::vector<std::string>{"a.jpg"});
  // The same dialog serves the next rename.
  AnswerRenameDialog(std::string("z"));
  Select(LbDocList(), {0});
  Action("MnRenamePic")->trigger();
  EXPECT_EQ(Names(LbDocList()), std::vector<std::string>{"z.jpg"});
  EXPECT_EQ(form->findChildren<QDialog*>().size(), 1);
}

TEST_F(ListActionsTest, F5RereadsTheFolder) {
  Start();
  WriteFile(TargetFolder() / "new.bmp");
  WriteFile(SourceFolder() / "src.png");
  EXPECT_EQ(LbTarget()->count(), 0);
  Key(LbTarget(), Qt::Key_F5);
  EXPECT_EQ(Names(LbTarget()), std::vector<std::string>{"new.bmp"});
  EXPECT_EQ(LbDocList()->count(), 0);
  Key(LbDocList(), Qt::Key_F5);
  EXPECT_EQ(Names(LbDocList()), std::vector<std::string>{"src.png"});
}

// After a list action the current picture, the hint and Enter are about a
// picture that is there: the renamed one, the next after a deletion, the
// same after F5.
enum class ListAction { Rename, Delete, F5 };

struct AfterActionCase {
  const char* name;
  ListAction action;
  const char* current;  // afterwards
};

void PrintTo(const AfterActionCase& c, std::ostream* os) { *os << c.name; }

class AfterListAction : public ListActionsTest, public ::testing::WithParamInterface<AfterActionCase> {};

TEST_P(AfterListAction, ThePictureThereIsCurrent) {
  StartWith({"a.jpg", "b.jpg", "c.jpg"});
  ClickItem("LbDocList", 1, /*waitForPreview=*/false);
  ASSERT_EQ(Hint()->text().toStdString(), "源图片：" + (SourceFolder() / "b.jpg").string());
  switch (GetParam().action) {
    case ListAction::Rename:
      AnswerRenameDialog(std::string("灰色"));
      Action("MnRenamePic")->trigger();
      break;
    case ListAction::Delete:
      Key(LbDocList(), Qt::Key_Delete);
      break;
    case ListAction::F5:
      Key(LbDocList(), Qt::Key_F5);
      break;
  }
  const std::string current = (SourceFolder() / GetParam().current).string();
  ASSERT_NE(LbDocList()->currentItem(), nullptr);
  EXPECT_EQ(LbDocList()->currentItem()->text().toStdString(), GetParam().current);
  EXPECT_TRUE(LbDocList()->currentItem()->isSelected());
  EXPECT_EQ(Hint()->text().toStdString(), "源图片：" + current);
  shell.opened.clear();
  Key(LbDocList(), Qt::Key_Return);
  EXPECT_EQ(shell.opened, std::vector<std::string>{current});
}

INSTANTIATE_TEST_SUITE_P(ListActions, AfterListAction,
                         ::testing::Values(AfterActionCase{"Rename", ListAction::Rename, "灰色.jpg"},
                                           AfterActionCase{"DeleteTheCurrent", ListAction::Delete, "c.jpg"},
                                           AfterActionCase{"F5", ListAction::F5, "b.jpg"}),
                         testsupport::ByName{});

TEST_F(ListActionsTest, EnterAndDoubleClicksOpenTheCurrentPicture) {
  StartWith({"a.jpg", "b.jpg"});
  WriteFile(TargetFolder() / "t.png");
  Key(LbTarget(), Qt::Key_F5);
  LbDocList()->setCurrentRow(1);
  Key(LbDocList(), Qt::Key_Return);
  QTest::mouseDClick(Find<QLabel>("ImgSource"), Qt::LeftButton);
  LbTarget()->setCurrentRow(0);
  QTest::mouseDClick(Find<QLabel>("ImgOutput"), Qt::LeftButton);
  const std::string b = (SourceFolder() / "b.jpg").string();
  EXPECT_EQ(shell.opened, (std::vector<std::string>{b, b, (TargetFolder() / "t.png").string()}));
}

TEST_F(ListActionsTest, OpenInPaintWithoutCurrentItemTakesTheFirst) {
  StartWith({"a.jpg", "b.jpg"});
  LbDocList()->setCurrentRow(-1);
  Action("PmOpenInPaint")->trigger();
  EXPECT_EQ(shell.painted, std::vector<std::string>{(SourceFolder() / "a.jpg").string()});
  // An empty target list opens nothing.
  Action("N3")->trigger();
  EXPECT_EQ(shell.painted.size(), 1u);
}

// On empty lists the two sides differ: opening from the source list resolves
// its folder all the same, committing what the edit names; the output list
// looks for a picture first and leaves its folder alone.
struct EmptyListOpen {
  const char* action;
  bool commitsTypedSource;
  friend void PrintTo(const EmptyListOpen& c, std::ostream* os) { *os << c.action; }
};

class EmptyListOpenTest : public ListActionsTest, public ::testing::WithParamInterface<EmptyListOpen> {};

TEST_P(EmptyListOpenTest, OnlyTheSourceSideResolvesWithoutAPicture) {
  StartWith({});
  const std::string target = form->TargetPathValue();
  EdtPath()->setText(QString::fromStdString((dir / "typed-src").string()));
  EdtOutput()->setText(QString::fromStdString((dir / "typed-out").string()));
  Action(GetParam().action)->trigger();
  EXPECT_EQ(fs::is_directory(dir / "typed-src"), GetParam().commitsTypedSource);
  if (GetParam().commitsTypedSource) {
    EXPECT_EQ(form->SourcePathValue(), (dir / "typed-src").string() + img::FolderSeparator());
  }
  EXPECT_EQ(form->TargetPathValue(), target);
  EXPECT_FALSE(fs::exists(dir / "typed-out"));
  EXPECT_TRUE(shell.opened.empty());
  EXPECT_TRUE(shell.painted.empty());
  EXPECT_TRUE(dialogs.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Actions, EmptyListOpenTest,
                         ::testing::Values(EmptyListOpen{"N1", true}, EmptyListOpen{"PmOpenInPaint", true},
                                           EmptyListOpen{"N2", false}, EmptyListOpen{"N3", false}),
                         [](const auto& info) { return std::string(info.param.action); });

TEST_F(ListActionsTest, ShellHelpersFollowTheOpenRule) {
  ui::OpenWebAddress("www.example.com/ic/");
  ui::OpenWebAddress("https://example.com");
  ui::OpenWithShell("www.example.com");
  ui::OpenWithShell((dir / "nothing.jpg").string());
  ui::RunProgram("/usr/bin/true");
  EXPECT_EQ(shell.opened, (std::vector<std::string>{"http://www.example.com/ic/", "https://example.com",
                                                    "http://www.example.com"}));
  EXPECT_EQ(shell.started, (std::vector<std::pair<std::string, bool>>{{"/usr/bin/true", false}}));
}

}  // namespace
}  // namespace mainform_test

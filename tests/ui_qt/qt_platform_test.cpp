// The Qt implementations of the dialogs and shell interfaces: which paint
// program is chosen, how texts become addresses, the trash, and the Yes/No
// question's answer.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "ui/QtDialogs.h"
#include "ui/QtShell.h"

namespace {

namespace fs = std::filesystem;

using testsupport::ScopedEnv;
using testsupport::WriteFile;

void MakeProgram(const fs::path& path) {
  WriteFile(path, "#!/bin/sh\n");
  fs::permissions(path, fs::perms::owner_all);
}

#ifndef Q_OS_WIN
TEST(FindPaintProgram, FirstCandidateFoundOnPathWins) {
  testsupport::TempDir bin;
  MakeProgram(bin / "gimp");
  MakeProgram(bin / "pinta");
  ScopedEnv path("PATH", bin.path().string());
  EXPECT_EQ(ui::FindPaintProgram(), QString::fromStdString((bin / "pinta").string()));
  MakeProgram(bin / "kolourpaint");
  EXPECT_EQ(ui::FindPaintProgram(), QString::fromStdString((bin / "kolourpaint").string()));
}

TEST(FindPaintProgram, NoneOnPathGivesEmpty) {
  testsupport::TempDir bin;
  WriteFile(bin / "pinta");  // not executable
  ScopedEnv path("PATH", bin.path().string());
  EXPECT_TRUE(ui::FindPaintProgram().isEmpty());
}
#endif

TEST(ShellUrl, AddressesStayFilesBecomeFileUrls) {
  EXPECT_EQ(ui::ShellUrl("http://www.example.com/a?b#c").toString(),
            "http://www.example.com/a?b#c");
  EXPECT_EQ(ui::ShellUrl("mailto:x@example.com").scheme(), "mailto");
  testsupport::TempDir dir;
  const QString file = QString::fromStdString((dir / "图片 1.jpg").string());
  const QUrl url = ui::ShellUrl(file);
  EXPECT_TRUE(url.isLocalFile());
  EXPECT_EQ(url.toLocalFile(), QDir::fromNativeSeparators(file));
  EXPECT_TRUE(QDir::isAbsolutePath(ui::ShellUrl("relative.png").toLocalFile()));
}

TEST(QtShell, MoveToTrashMovesTheFileIntoTheUsersTrash) {
  SKIP_WITHOUT_FREEDESKTOP_TRASH();
  testsupport::TempDir home;
  fs::create_directories(home / "data");
  ScopedEnv data("XDG_DATA_HOME", (home / "data").string());
  const fs::path file = home / "删除我.png";
  WriteFile(file, "picture");
  ui::QtShell shell;
  ASSERT_TRUE(shell.MoveToTrash(file.string()));
  EXPECT_FALSE(fs::exists(file));
  bool found = false;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(home.path(), ec);
       it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->path().filename() == file.filename() && it->path() != file) found = true;
  EXPECT_TRUE(found) << "the file is not in any trash under " << home.path();
}

// HOME is an empty folder (no ~/.local/share): Qt 6.4 alone would make
// files/ and info/ in the working folder and move the picture there.
class TrashWithoutDataFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(home / "work");
    previous_ = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString((home / "work").string()));
    WriteFile(file, "picture");
  }
  void TearDown() override {
    QDir::setCurrent(previous_);
    EXPECT_TRUE(fs::is_empty(home / "work")) << "stray folders in the working folder";
  }

  testsupport::TempDir home;
  fs::path file = home / "pic.jpg";
  ScopedEnv home_env{"HOME", home.path().string()};
  ScopedEnv data{"XDG_DATA_HOME", std::nullopt};
  ui::QtShell shell;

 private:
  QString previous_;
};

TEST_F(TrashWithoutDataFolder, TheTrashIsMadeWhereTheDesktopLooks) {
  SKIP_WITHOUT_FREEDESKTOP_TRASH();
  ASSERT_TRUE(shell.MoveToTrash(file.string()));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(fs::exists(home / ".local/share/Trash/files/pic.jpg"));
  EXPECT_TRUE(fs::exists(home / ".local/share/Trash/info/pic.jpg.trashinfo"));
}

TEST(QtShell, MoveToTrashRefusesWhatIsNotAFile) {
  testsupport::TempDir dir;
  ui::QtShell shell;
  EXPECT_FALSE(shell.MoveToTrash((dir / "missing.jpg").string()));
  fs::create_directories(dir / "folder.jpg");
  EXPECT_FALSE(shell.MoveToTrash((dir / "folder.jpg").string()));
  EXPECT_TRUE(fs::exists(dir / "folder.jpg"));
}

TEST(QtShell, StartProgramRefusesAnEmptyOrMissingProgram) {
  ui::QtShell shell;
  EXPECT_FALSE(shell.StartProgram(""));
  testsupport::TempDir dir;
  EXPECT_FALSE(shell.StartProgram((dir / "no-such-program").string()));
}

// Answers the next modal message box by clicking the given button, and
// records its title, text, buttons' texts and width.
struct MessageBoxAnswer {
  explicit MessageBoxAnswer(QMessageBox::StandardButton answer) : button(answer) {}
  QMessageBox::StandardButton button;
  QString title, text;
  QStringList buttons;
  int width = 0;
  void Arm() {
    QTimer::singleShot(0, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      text = box->text();
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      width = box->width();
      box->button(button)->click();
    });
  }
};

TEST(QtDialogs, AskYesNoGivesTheAnswer) {
  ui::QtDialogs dialogs;
  MessageBoxAnswer yes{QMessageBox::Yes};
  yes.Arm();
  EXPECT_TRUE(dialogs.AskYesNo("你确定要删除吗？", "提醒"));
  EXPECT_EQ(yes.title, QString::fromUtf8("提醒"));
  EXPECT_EQ(yes.text, QString::fromUtf8("你确定要删除吗？"));
  MessageBoxAnswer no{QMessageBox::No};
  no.Arm();
  EXPECT_FALSE(dialogs.AskYesNo("你确定要删除吗？", "提醒"));
}

// Each question guards something that cannot be undone: Enter says No.
TEST(QtDialogs, EnterAtAQuestionAnswersNo) {
  ui::QtDialogs dialogs;
  QTimer::singleShot(0, [] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    QTest::keyClick(box, Qt::Key_Return);
  });
  EXPECT_FALSE(dialogs.AskYesNo("你确定要删除这2个图片吗？", "提醒"));
}

TEST(QtDialogs, ShowMessageTitledWithTheApplicationName) {
  ui::QtDialogs dialogs;
  MessageBoxAnswer ok{QMessageBox::Ok};
  ok.Arm();
  dialogs.ShowMessage("请选择一个要转换的图片");
  EXPECT_EQ(ok.text, QString::fromUtf8("请选择一个要转换的图片"));
  EXPECT_EQ(ok.title, QApplication::applicationName());
}

// Qt's standard buttons and folder browser speak the interface's language,
// and a message box is wide enough for its whole title beside the title
// bar's buttons.
TEST(QtDialogs, QtsOwnWordsInChineseAndTheWholeTitleShown) {
  ASSERT_TRUE(ui::InstallQtTranslations()) << "qt6-translations-l10n not installed";
  const QString programName = QApplication::applicationName();
  QApplication::setApplicationName(QString::fromUtf8("图片格式批量转换"));
  ui::QtDialogs dialogs;
  MessageBoxAnswer ok{QMessageBox::Ok};
  ok.Arm();
  dialogs.ShowMessage("请选择一个路径");
  MessageBoxAnswer yes{QMessageBox::Yes};
  yes.Arm();
  dialogs.AskYesNo("你确定要删除吗？", "提醒");
  QApplication::setApplicationName(programName);
  EXPECT_EQ(ok.buttons, QStringList{QString::fromUtf8("确定")});
  EXPECT_TRUE(yes.buttons.contains(QString::fromUtf8("是(&Y)"))) << yes.buttons.join(' ').toStdString();
  EXPECT_TRUE(yes.buttons.contains(QString::fromUtf8("否(&N)"))) << yes.buttons.join(' ').toStdString();
  QFont bold = QApplication::font();
  bold.setBold(true);
  EXPECT_GE(ok.width, QFontMetrics(bold).horizontalAdvance(ok.title) + 100);

  QString accept;
  QTimer::singleShot(0, [&accept] {
    auto* browser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(browser, nullptr);
    auto* buttons = browser->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    accept = buttons->button(QDialogButtonBox::Open)->text();
    browser->reject();
  });
  EXPECT_EQ(dialogs.BrowseForFolder("", QDir::tempPath().toStdString()), "");
  EXPECT_FALSE(accept.isEmpty());
  EXPECT_FALSE(accept.contains(QStringLiteral("Choose"))) << accept.toStdString();
}

}  // namespace

// The main window's start-up, its two folders and lists, and the settings
// it loads at creation and writes at close.

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QToolButton>
#include <algorithm>

#include "MainWindowFixture.h"
#include "ui/core/FolderPaths.h"
#include "ui/core/ProgramFolders.h"
#include "ui/core/SettingsFile.h"

namespace mainform_test {
using namespace testsupport;
namespace {

namespace fs = std::filesystem;

const QString kLoaded = QString::fromUtf8("装载完成，请开始使用。");

std::string Folder(const fs::path& path) { return path.string() + img::FolderSeparator(); }

TEST_F(MainFormTest, StartUpFillsTheListsAfterTheWindowIsCreated) {
  WriteFile(SourceFolder() / "b.jpg");
  WriteFile(SourceFolder() / "a.png");
  WriteFile(TargetFolder() / "x.bmp");
  Create();
  EXPECT_TRUE(Hint()->text().isEmpty());
  EXPECT_EQ(LbDocList()->count(), 0);
  EXPECT_TRUE(form->SourcePathValue().empty());

  ASSERT_TRUE(QTest::qWaitFor([this] { return !Hint()->text().isEmpty(); }, 3000));
  EXPECT_EQ(Hint()->text(), kLoaded);
  EXPECT_EQ(Names(LbDocList()), (std::vector<std::string>{"a.png", "b.jpg"}));
  EXPECT_EQ(Names(LbTarget()), (std::vector<std::string>{"x.bmp"}));
  for (QListWidget* list : {LbDocList(), LbTarget()}) {
    EXPECT_EQ(list->currentRow(), 0);
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems()[0], list->item(0));
  }
  EXPECT_EQ(form->CurrentSourcePictureValue(), Folder(SourceFolder()) + "a.png");
  EXPECT_EQ(form->CurrentTargetPictureValue(), Folder(TargetFolder()) + "x.bmp");
  // No preview until a click.
  EXPECT_TRUE(Find<QLabel>("LblWHSource")->text().isEmpty());
  EXPECT_TRUE(Find<QLabel>("ImgSource")->pixmap().isNull());
  EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->value(), 0);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainFormTest, DefaultFoldersAreCreatedInTheProgramFolder) {
  Start();
  EXPECT_TRUE(fs::is_directory(SourceFolder()));
  EXPECT_TRUE(fs::is_directory(TargetFolder()));
  EXPECT_EQ(form->SourcePathValue(), Folder(SourceFolder()));
  EXPECT_EQ(form->TargetPathValue(), Folder(TargetFolder()));
  EXPECT_EQ(EdtPath()->text().toStdString(), Folder(SourceFolder()));
  EXPECT_EQ(form->Settings().path(), ProgramFolder() / "defualt.ini");
  EXPECT_EQ(form->CurrentSourcePictureValue(), "");
}

TEST_F(MainFormTest, CaptionJoinsProductNameAndVersion) {
  Create();
  const std::string caption = form->windowTitle().toStdString();
  EXPECT_EQ(caption.rfind("Lom图片批量转换器2.2 - ", 0), 0u) << caption;
  EXPECT_EQ(Find<QGroupBox>("GbSourceList")->title(), QString::fromUtf8("“转换前文件夹”图片列表"));
  EXPECT_EQ(Find<QGroupBox>("rgZoomType")->title(), QString::fromUtf8("图片比例类型"));
}

TEST_F(MainFormTest, EnterCommitsTheTypedFolderAndCreatesIt) {
  Start();
  const fs::path typed = dir / "pics" / "new";
  TypeAndEnter(EdtPath(), typed.string());
  EXPECT_TRUE(fs::is_directory(typed));
  EXPECT_EQ(form->SourcePathValue(), Folder(typed));
  EXPECT_EQ(EdtPath()->text().toStdString(), typed.string());
  EXPECT_EQ(LbDocList()->count(), 0);

  WriteFile(dir / "out" / "z.jpeg");
  TypeAndEnter(EdtOutput(), "  " + (dir / "out").string() + std::string(2, img::FolderSeparator()));
  EXPECT_EQ(form->TargetPathValue(), Folder(dir / "out"));
  EXPECT_EQ(Names(LbTarget()), std::vector<std::string>{"z.jpeg"});
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainFormTest, LeavingTheEditCommitsIt) {
  Start();
  form->show();
  QApplication::setActiveWindow(form.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  WriteFile(dir / "left" / "p.bmp");
  EdtPath()->setFocus();
  EdtPath()->setText(QString::fromStdString((dir / "left").string()));
  LbDocList()->setFocus();
  EXPECT_EQ(form->SourcePathValue(), Folder(dir / "left"));
  EXPECT_EQ(Names(LbDocList()), std::vector<std::string>{"p.bmp"});
}

TEST_F(MainFormTest, EmptyEditShowsAMessageAndKeepsTheList) {
  WriteFile(SourceFolder() / "a.jpg");
  Start();
  TypeAndEnter(EdtPath(), "   ");
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"请选择一个路径"});
  EXPECT_EQ(EdtPath()->text().toStdString(), Folder(SourceFolder()));  // never the root: a run reads the edit
  EXPECT_EQ(Names(LbDocList()), std::vector<std::string>{"a.jpg"});

  TypeAndEnter(EdtOutput(), "");
  EXPECT_EQ(dialogs.messages.size(), 2u);
  EXPECT_EQ(EdtOutput()->text().toStdString(), Folder(TargetFolder()));
}

TEST_F(MainFormTest, ABareNameIsASubFolderOfTheCurrentFolder) {
  Start();
  const std::string made = Folder(SourceFolder() / img::PathFromUtf8("我的新文件夹"));
  TypeAndEnter(EdtPath(), "我的新文件夹");
  EXPECT_EQ(form->SourcePathValue(), made);
  // The edit names the folder made: a second Enter makes none inside it.
  QTest::keyClick(EdtPath(), Qt::Key_Return);
  EXPECT_EQ(EdtPath()->text().toStdString(), made);
  EXPECT_TRUE(fs::is_empty(img::PathFromUtf8(made)));
}

TEST_F(MainFormTest, AFolderThatCannotBeMadeIsSaidAndTheListKeepsItsFolder) {
  WriteFile(TargetFolder() / "x.bmp");
  WriteFile(dir / "afile");
  Start();
  const std::string blocked = Folder(dir / "afile" / "new");  // a file in the way
  TypeAndEnter(EdtOutput(), blocked);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{text::FormatText(text::FmtFolderNotMade, blocked)});
  EXPECT_EQ(Names(LbTarget()), std::vector<std::string>{"x.bmp"});
  EXPECT_EQ(EdtOutput()->text().toStdString(), form->TargetPathValue());
  EXPECT_EQ(form->TargetPathValue(), Folder(TargetFolder()));
}

// A stored folder that cannot be made today (a disk not plugged in) is said
// at start and stays stored.
TEST_F(MainFormTest, AStoredFolderThatCannotBeMadeIsKept) {
  WriteFile(dir / "afile");
  const std::string blocked = Folder(dir / "afile" / "out");
  WriteFile(SettingsPath(), "[default]\nTargetPath=" + blocked + "\n");
  Start();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{text::FormatText(text::FmtFolderNotMade, blocked)});
  form->close();
  EXPECT_EQ(Ini("default", "TargetPath"), blocked);
}

TEST_F(MainFormTest, ListsOnlyPictureFilesInNaturalOrder) {
  for (const char* name : {"img10.jpg", "a.JPG", "b.png", "c.gif", "d.txt", "img2.jpeg", "Img1.bmp", "noext"})
    WriteFile(SourceFolder() / name);
  fs::create_directories(SourceFolder() / "e.jpg");
  WriteFile(SourceFolder() / "sub" / "f.jpg");
  Start();
  EXPECT_EQ(Names(LbDocList()),
            (std::vector<std::string>{"a.JPG", "b.png", "c.gif", "Img1.bmp", "img2.jpeg", "img10.jpg"}));
}

TEST_F(MainFormTest, BrowseButtonsCommitTheChosenFolder) {
  Start();
  WriteFile(dir / "chosen" / "k.png");
  dialogs.browseResult = (dir / "chosen").string();
  Find<QToolButton>("BtnSelectDir")->click();
  ASSERT_EQ(dialogs.browses.size(), 1u);
  EXPECT_EQ(dialogs.browses[0].first, Folder(SourceFolder()));  // an existing folder prompts itself
  EXPECT_EQ(dialogs.browses[0].second, ui::SystemRootFolder());
  EXPECT_EQ(EdtPath()->text().toStdString(), (dir / "chosen").string());
  EXPECT_EQ(Names(LbDocList()), std::vector<std::string>{"k.png"});

  // Cancelling changes nothing.
  dialogs.browseResult.clear();
  EdtOutput()->setText(QStringLiteral("relative/name"));
  Find<QToolButton>("BtnSelectSaveAsDir")->click();
  EXPECT_EQ(dialogs.browses.back().first, ui::SystemRootFolder());
  EXPECT_EQ(EdtOutput()->text(), QStringLiteral("relative/name"));
  EXPECT_EQ(form->TargetPathValue(), Folder(TargetFolder()));
}

TEST_F(MainFormTest, OpenFolderButtonsOpenTheFolders) {
  Start();
  Find<QToolButton>("BtnOpenDir")->click();
  Find<QToolButton>("BtnOpenSaveAsDir")->click();
  EXPECT_EQ(shell.folders, (std::vector<std::string>{Folder(SourceFolder()), Folder(TargetFolder())}));
}

TEST_F(MainFormTest, OpenFolderOfARelativeTextNamesTheMissingDrive) {
  Start();
  EdtPath()->setText(QStringLiteral("no/drive"));
  Find<QToolButton>("BtnOpenDir")->click();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"磁盘不存在，请重选择一个路径。"});
  EXPECT_TRUE(shell.folders.empty());
  EXPECT_EQ(EdtPath()->text().toStdString(), form->SourcePathValue());
}

// Blanks typed around a folder name are not part of it, whichever way the
// edit's text is taken: committing, opening the folder, opening or painting
// a listed picture, browsing, saving at close.
TEST_F(MainFormTest, BlanksAroundAFolderNameNeverNameAnotherFolder) {
  WriteFile(SourceFolder() / "a.jpg");
  Start();
  const std::string source = Folder(SourceFolder()), target = Folder(TargetFolder());
  TypeAndEnter(EdtPath(), SourceFolder().string() + "  ");
  TypeAndEnter(EdtOutput(), std::string("  ") + TargetFolder().string() + " ");
  Find<QToolButton>("BtnOpenDir")->click();
  Find<QToolButton>("BtnOpenSaveAsDir")->click();
  LbDocList()->setCurrentRow(0);
  Key(LbDocList(), Qt::Key_Return);
  form->findChild<QAction*>(QStringLiteral("PmOpenInPaint"))->trigger();
  Find<QToolButton>("BtnSelectDir")->click();  // cancelled

  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(shell.folders, (std::vector<std::string>{source, target}));
  EXPECT_EQ(shell.opened, std::vector<std::string>{source + "a.jpg"});
  EXPECT_EQ(shell.painted, std::vector<std::string>{source + "a.jpg"});
  ASSERT_EQ(dialogs.browses.size(), 1u);
  EXPECT_EQ(dialogs.browses[0].first, source);
  EXPECT_EQ(form->SourcePathValue(), source);
  std::vector<std::string> made;
  for (const auto& entry : fs::directory_iterator(ProgramFolder()))
    if (entry.is_directory()) made.push_back(entry.path().filename().string());
  std::sort(made.begin(), made.end());
  EXPECT_EQ(made, (std::vector<std::string>{"source", "target"}));

  form->close();
  ui::SettingsFile file(ProgramFolder() / "defualt.ini");
  EXPECT_EQ(file.ReadString("default", "SourcePath", "?"), source);
  EXPECT_EQ(file.ReadString("default", "TargetPath", "?"), target);
}

TEST_F(MainFormTest, ClosingBeforeTheFirstRunStepKeepsTheStoredFolders) {
  std::filesystem::create_directories(ProgramFolder());
  {
    ui::SettingsFile file(ProgramFolder() / "defualt.ini");
    file.WriteString("default", "SourcePath", "/stored/source/");
    file.WriteString("default", "TargetPath", "/stored/target/");
  }
  Create();
  form->close();
  ui::SettingsFile file(ProgramFolder() / "defualt.ini");
  EXPECT_EQ(file.ReadString("default", "SourcePath", "?"), "/stored/source/");
  EXPECT_EQ(file.ReadString("default", "TargetPath", "?"), "/stored/target/");
  EXPECT_EQ(file.ReadString("default", "fr", "?"), "0");
}

TEST_F(MainFormTest, SettingsAreWrittenAtClose) {
  WriteFile(SourceFolder() / "a.jpg");
  WriteFile(SourceFolder() / "b.jpg");
  Start();
  Find<QLineEdit>("EdtWidth")->setText(QStringLiteral("800"));
  Find<QLineEdit>("EdtHeight")->setText(QString::fromUtf8("根据宽度自动调整"));
  Find<QLineEdit>("EdtZoomPeiW")->setText(QStringLiteral("1.5"));
  Find<QCheckBox>("CBBMP")->setChecked(false);
  LbDocList()->setCurrentRow(1);
  form->close();

  ui::SettingsFile file(ProgramFolder() / "defualt.ini");
  EXPECT_EQ(file.ReadString("default", "SourcePath", "?"), Folder(SourceFolder()));
  EXPECT_EQ(file.ReadString("default", "TargetPath", "?"), Folder(TargetFolder()));
  EXPECT_EQ(file.ReadString("default", "edtwidth", "?"), "800");
  EXPECT_EQ(file.ReadString("default", "edtheight", "?"), "?");  // not a number: not written
  EXPECT_EQ(file.ReadString("default", "ZoomPeiW", "?"), "1.5");
  EXPECT_EQ(file.ReadString("default", "ZoomPeiH", "?"), "1");
  EXPECT_EQ(file.ReadString("default", "CBBMP", "?"), "0");
  EXPECT_EQ(file.ReadString("default", "CbJPG", "?"), "1");
  EXPECT_EQ(file.ReadString("default", "CBTIFF", "?"), "0");
  EXPECT_EQ(file.ReadString("default", "fr", "?"), "0");
  EXPECT_EQ(file.ReadString("ImgConvert", "LbDocListInd", "?"), "1");
  EXPECT_EQ(file.ReadString("ImgConvert", "LbTargetInd", "?"), "-1");
}

TEST_F(MainFormTest, StoredSettingsComeBackIntoTheControls) {
  WriteFile(dir / "stored" / "s.jpg");
  WriteFile(ProgramFolder() / "defualt.ini",
            "[default]\nSourcePath=" + (dir / "stored").string() +
                "\nedtwidth=640\nCbPNG=0\nCBGIF=1\nzoomtype=1\nPreviewSourceImg=0\n"
                "[imgconvert]\nLbRoateType=2\n");
  Start();
  EXPECT_EQ(EdtPath()->text().toStdString(), (dir / "stored").string());
  EXPECT_EQ(Names(LbDocList()), std::vector<std::string>{"s.jpg"});
  EXPECT_EQ(Find<QLineEdit>("EdtWidth")->text(), QStringLiteral("640"));
  EXPECT_EQ(Find<QLineEdit>("EdtHeight")->text(), QStringLiteral("768"));
  EXPECT_FALSE(Find<QCheckBox>("CbPNG")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("CbJPG")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("CBGIF")->isChecked());
  EXPECT_EQ(form->ZoomTypeItemIndex(), 1);
  EXPECT_EQ(Find<QListWidget>("LbRoateType")->currentRow(), 2);
  EXPECT_TRUE(Find<QGroupBox>("GbSourcePreview")->isHidden());
  EXPECT_FALSE(Find<QGroupBox>("GbImgTarget")->isHidden());
  const engine::ConversionOptions o = form->Options();
  EXPECT_FALSE(o.targets.Has(engine::FormatNamed("png")));
  EXPECT_TRUE(o.targets.Has(engine::FormatNamed("bmp")));
  EXPECT_EQ(o.resize, (engine::Resize{engine::SizeBoxes{640, 768}}));
  EXPECT_EQ(o.rotation, 2);
}

TEST_F(MainFormTest, AStoredEmptySourceFolderAsksForOneAtStart) {
  WriteFile(ProgramFolder() / "defualt.ini", "[default]\nSourcePath=\n");
  Start();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"请选择一个路径"});
  EXPECT_TRUE(EdtPath()->text().isEmpty());  // not the root, which a folder run would walk
  EXPECT_EQ(Hint()->text(), kLoaded);
  EXPECT_EQ(form->CurrentSourcePictureValue(), "");
}

TEST_F(MainFormTest, ABrokenSettingsFileIsKeptAsideAndDefaultsApply) {
  std::string garbage(4096, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 131 + i / 7);
  WriteFile(ProgramFolder() / "defualt.ini", garbage);
  Start();
  EXPECT_EQ(Hint()->text(), QString::fromUtf8("设置文件无法读取，已另存为“defualt.ini.bad”，现使用默认设置。"));
  EXPECT_EQ(ReadFile(ProgramFolder() / "defualt.ini.bad"), garbage);
  EXPECT_TRUE(Find<QCheckBox>("CbJPG")->isChecked());
  EXPECT_EQ(form->SourcePathValue(), Folder(SourceFolder()));
  // The window goes on with a settings file of its own.
  form->close();
  EXPECT_EQ(ui::SettingsFile(ProgramFolder() / "defualt.ini").ReadString("default", "fr", "?"), "0");
  EXPECT_TRUE(dialogs.errors.empty());
}

// Far larger than a settings file: not read, and not written over at close.
TEST_F(MainFormTest, AnOversizedSettingsFileGivesDefaultsAndIsKeptWhole) {
  std::string bytes = "[default]\nCbJPG=0\n";
  bytes.resize(16 << 20, '\n');
  WriteFile(ProgramFolder() / "defualt.ini", bytes);
  Start();
  EXPECT_TRUE(Find<QCheckBox>("CbJPG")->isChecked());
  EXPECT_EQ(Hint()->text(), kLoaded);
  form->close();
  EXPECT_TRUE(ReadFile(ProgramFolder() / "defualt.ini") == bytes);
  EXPECT_FALSE(fs::exists(ProgramFolder() / "defualt.ini.bad"));
}

TEST_F(MainFormTest, LongFolderPathsWork) {
  if (testsupport::kWindows) GTEST_SKIP() << "not yet on Windows: a folder beyond MAX_PATH is made but lists no pictures";
  Start();
  fs::path deep = dir.path();
  for (int i = 0; i < 12; ++i) deep /= std::string(60, static_cast<char>('a' + i));
  ASSERT_GT(deep.string().size(), 700u);
  TypeAndEnter(EdtPath(), deep.string());
  ASSERT_TRUE(fs::is_directory(deep));
  WriteFile(deep / "p.jpg");
  QTest::keyClick(LbDocList(), Qt::Key_F5);
  ASSERT_EQ(Names(LbDocList()), std::vector<std::string>{"p.jpg"});
  LbDocList()->item(0)->setSelected(true);
  QTest::keyClick(LbDocList(), Qt::Key_Delete);
  EXPECT_EQ(shell.trashed, std::vector<std::string>{(deep / "p.jpg").string()});
  EXPECT_EQ(LbDocList()->count(), 0);
}

TEST_F(MainFormTest, ProgressBarStepsByTenAndStartsAgain) {
  Create();
  auto* bar = Find<QProgressBar>("ProgressBar1");
  bar->setValue(30);
  form->StepProgressBar();
  EXPECT_EQ(bar->value(), 40);
  bar->setValue(100);
  form->StepProgressBar();
  EXPECT_EQ(bar->value(), 0);
}

}  // namespace
}  // namespace mainform_test

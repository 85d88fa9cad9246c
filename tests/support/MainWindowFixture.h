#pragma once
// The real main window on the offscreen platform, in a throw-away folder
// (the program folder with its settings file, and two picture folders),
// with recording dialogs and shell installed. MainFormTest creates the
// window when the test asks and lets its first-run step list the program's
// own folders; OptionsTest creates it at once, stops that step and puts the
// options in a known state, whatever settings the window came up with.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QListWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "GifBytes.h"
#include "RecordingDialogs.h"
#include "RecordingShell.h"
#include "TestSupport.h"
#include "platform/FolderSeparator.h"
#include "engine/formats/PictureFormats.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "engine/formats/png/PngImage.h"
#include "platform/FileIO.h"
#include "text/InterfaceText.h"
#include "ui/TMainForm.h"
#include "ui/core/SettingsFile.h"

namespace testsupport {

namespace fs = std::filesystem;

inline std::string U(const fs::path& p) { return img::PathToUtf8(p); }
inline QString Q(const std::string& s) { return QString::fromStdString(s); }

// The texts of a list's items, top to bottom.
inline std::vector<std::string> Names(const QListWidget* list) {
  std::vector<std::string> names;
  for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text().toStdString());
  return names;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shell.trash = dir / "trash-can";
    previousDialogs_ = ui::InstallDialogs(&dialogs);
    previousShell_ = ui::InstallShell(&shell);
  }
  void TearDown() override {
    form.reset();
    ui::InstallShell(previousShell_);
    ui::InstallDialogs(previousDialogs_);
  }

  fs::path ProgramFolder() const { return dir / "program"; }
  fs::path SettingsPath() const { return ProgramFolder() / "defualt.ini"; }
  // The program's own picture folders, listed by the first-run step.
  fs::path SourceFolder() const { return ProgramFolder() / "source"; }
  fs::path TargetFolder() const { return ProgramFolder() / "target"; }
  // The picture folders the tests type into the folder edits (ListFolders).
  std::string SrcFolder() const { return U(dir / "src") + img::FolderSeparator(); }
  std::string OutFolder() const { return U(dir / "out") + img::FolderSeparator(); }

  // The window created, without its first-run step.
  ui::TMainForm& Create() {
    fs::create_directories(ProgramFolder());
    form = std::make_unique<ui::TMainForm>(nullptr, ProgramFolder());
    return *form;
  }
  // The window created and its first-run step done.
  ui::TMainForm& Start() {
    Create();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !Hint()->text().isEmpty(); }, 3000));
    return *form;
  }
  // The window created with its first-run step stopped, both picture folders
  // made, no format or preview ticked, the size 1024 x 768 and no rotation.
  ui::TMainForm& CreateWithKnownOptions() {
    text::ApplyInterfaceText();
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "out");
    Create();
    form->TimerFirstRun()->stop();
    for (const char* box : {"CbJPG", "CBBMP", "CBJPEG", "CbPNG", "CbZoomAuto", "CbPreviewSourceImg",
                            "CbTargetImgPreview"})
      Find<QCheckBox>(box)->setChecked(false);
    form->SetZoomTypeItemIndex(1);
    Find<QListWidget>("LbRoateType")->setCurrentRow(0);
    Find<QLineEdit>("EdtWidth")->setText("1024");
    Find<QLineEdit>("EdtHeight")->setText("768");
    return *form;
  }

  template <typename T = QWidget>
  T* Find(const char* name) const {
    T* w = form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QLabel* Hint() const { return Find<QLabel>("LblHint"); }
  QLineEdit* EdtPath() const { return Find<QLineEdit>("EdtPath"); }
  QLineEdit* EdtOutput() const { return Find<QLineEdit>("EdtOutput"); }
  QListWidget* LbDocList() const { return Find<QListWidget>("LbDocList"); }
  QListWidget* LbTarget() const { return Find<QListWidget>("LbTarget"); }

  void Show() {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

  // Points both folder edits at the test folders and lists them.
  void ListFolders() {
    EdtPath()->setText(Q(SrcFolder()));
    EdtOutput()->setText(Q(OutFolder()));
    form->RefreshSourceList();
    form->RefreshTargetList();
  }

  static void SavePng(const fs::path& p, int w, int h) {
    fs::create_directories(p.parent_path());
    engine::PngImage().Save(GradientBitmap(w, h), p);
  }
  static void SaveJpeg(const fs::path& p, int w, int h, const engine::PictureMetadata* metadata = nullptr) {
    fs::create_directories(p.parent_path());
    img::WriteFileAtomically(p, engine::JpegImage().Encode(GradientBitmap(w, h), metadata));
  }
  // A picture of the kind the path's extension names, by the format
  // table's own writer; a GIF (only read) by giflib's encoder.
  static void SaveAs(const fs::path& p, int w, int h) {
    fs::create_directories(p.parent_path());
    const engine::PictureFormat* format = engine::FindFormatByExtension(U(p.extension()));
    ASSERT_NE(format, nullptr) << U(p);
    if (!format->write) {
      ASSERT_STREQ(format->name, "gif");
      GifPicture gif{w, h, 0, 0, w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h, 1),
                     {{0, 0, 0}, {200, 100, 50}}};
      img::WriteFileAtomically(p, GifBytes(gif));
      return;
    }
    engine::PictureCodecs codecs;
    img::SerialParts serial;
    format->write(codecs, GradientBitmap(w, h), p, img::NullProgress(), serial);
  }
  static void SaveBmp(const fs::path& p, int w, int h) {
    fs::create_directories(p.parent_path());
    GradientBitmap(w, h).SaveToFile(p);
  }

  std::string Ini(const char* section, const char* key) const {
    return ui::SettingsFile(SettingsPath()).ReadString(section, key, "<missing>");
  }

  // Types text into an edit and presses Enter there.
  void TypeAndEnter(QLineEdit* edit, const std::string& text) {
    edit->setText(QString::fromStdString(text));
    QTest::keyClick(edit, Qt::Key_Return);
  }
  void Key(QListWidget* list, Qt::Key key) { QTest::keyClick(list, key); }
  // A click on an item, then (unless told not to wait) the preview it asked for drawn.
  void ClickItem(const char* list, int row, bool waitForPreview = true) {
    auto* l = Find<QListWidget>(list);
    QTest::mouseClick(l->viewport(), Qt::LeftButton, Qt::NoModifier,
                      l->visualItemRect(l->item(row)).center());
    if (waitForPreview) WaitForPreviews();
  }
  // Previews are decoded off the window's thread: waits until the last
  // one asked for is drawn.
  void WaitForPreviews() { EXPECT_TRUE(QTest::qWaitFor([this] { return !form->PreviewPending(); }, 10000)); }
  // Check boxes and radio items take clicks on their indicator and text
  // only, which need not reach the middle of the widget.
  void Click(const char* name) {
    QWidget* w = Find(name);
    const QPoint at = qobject_cast<QAbstractButton*>(w) && !qobject_cast<QToolButton*>(w)
                          ? QPoint(6, w->height() / 2)
                          : w->rect().center();
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
  }
  // Drags paths over target as a file manager does (file URLs) and drops
  // them there; true when the window took the drop. With over, only the
  // drag over: whether the pointer says it would be taken.
  static bool DropPaths(QWidget* target, const std::vector<fs::path>& paths, bool over = false) {
    QMimeData data;
    QList<QUrl> urls;
    for (const fs::path& p : paths) urls.append(QUrl::fromLocalFile(Q(U(p))));
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted() || over) return enter.isAccepted();
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
  }
  // An edit's or a label's text.
  std::string Text(const char* name) const {
    QWidget* w = Find(name);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
    return {};
  }

  TempDir dir;
  RecordingDialogs dialogs;
  RecordingShell shell;
  std::unique_ptr<ui::TMainForm> form;

 private:
  ui::Dialogs* previousDialogs_ = nullptr;
  ui::Shell* previousShell_ = nullptr;
};

// The window made by the test, through Create() or Start().
using MainFormTest = MainWindowTest;

// The window made at once, in the known state of CreateWithKnownOptions().
class OptionsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    CreateWithKnownOptions();
  }
};

}  // namespace testsupport

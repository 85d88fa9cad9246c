#pragma once
// The real main window on the offscreen platform for the option controls,
// previews and runs: recording dialogs and shell, the program folder (with
// the settings file) and both picture folders in a throw-away folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QListWidget>
#include <QToolButton>
#include <QtTest/QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../TestSupport.h"
#include "engine/JpegImage.h"
#include "engine/PngImage.h"
#include "imaging/FileIO.h"
#include "text/InterfaceText.h"
#include "ui/core/Dialogs.h"
#include "ui/core/SettingsFile.h"
#include "ui/core/Shell.h"
#include "ui/TMainForm.h"

namespace windowtest {

namespace fs = std::filesystem;

class RecordingDialogs : public ui::Dialogs {
 public:
  std::vector<std::string> messages, errors;
  void ShowMessage(const std::string& text, int, int) override { messages.push_back(text); }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  std::string BrowseForFolder(const std::string&, const std::string&) override { return {}; }
};

class RecordingShell : public ui::Shell {
 public:
  std::vector<std::string> opened, folders, painted;
  void OpenDocument(const std::string& target) override { opened.push_back(target); }
  void OpenFolder(const std::string& folder) override { folders.push_back(folder); }
  bool StartProgram(const std::string&, bool) override { return false; }
  void OpenInPaint(const std::string& file) override { painted.push_back(file); }
  bool MoveToTrash(const std::string&) override { return false; }
};

inline std::string U(const fs::path& p) { return img::PathToUtf8(p); }
inline QString Q(const std::string& s) { return QString::fromStdString(s); }

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    text::ApplyInterfaceText();
    previousDialogs_ = ui::InstallDialogs(&dialogs_);
    previousShell_ = ui::InstallShell(&shell_);
    fs::create_directories(tmp_ / "src");
    fs::create_directories(tmp_ / "out");
    form_ = std::make_unique<ui::TMainForm>(nullptr, tmp_.path());
    // The tests fill the lists themselves, from a known state of the options
    // whatever settings the window came up with.
    form_->TimerFirstRun()->stop();
    for (const char* box : {"CbJPG", "CBBMP", "CBJPEG", "CbPNG", "CbZoomAuto", "CbPreviewSourceImg",
                            "CbTargetImgPreview"})
      Find<QCheckBox>(box)->setChecked(false);
    form_->SetZoomTypeItemIndex(1);
    Find<QListWidget>("LbRoateType")->setCurrentRow(0);
    Find<QLineEdit>("EdtWidth")->setText("1024");
    Find<QLineEdit>("EdtHeight")->setText("768");
  }
  void TearDown() override {
    form_.reset();
    ui::InstallShell(previousShell_);
    ui::InstallDialogs(previousDialogs_);
  }

  fs::path SettingsPath() const { return tmp_ / "defualt.ini"; }
  std::string SrcFolder() const { return U(tmp_ / "src") + "/"; }
  std::string OutFolder() const { return U(tmp_ / "out") + "/"; }

  template <typename T = QWidget>
  T* Find(const char* name) const {
    T* w = form_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  void Show() {
    form_->show();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  }

  // Points both folder edits at the test folders and lists them.
  void ListFolders() {
    Find<QLineEdit>("EdtPath")->setText(Q(SrcFolder()));
    Find<QLineEdit>("EdtOutput")->setText(Q(OutFolder()));
    form_->RefreshSourceList();
    form_->RefreshTargetList();
  }

  static void SavePng(const fs::path& p, int w, int h) {
    fs::create_directories(p.parent_path());
    engine::PngImage().Save(testsupport::GradientBitmap(w, h), p);
  }
  static void SaveJpeg(const fs::path& p, int w, int h) {
    fs::create_directories(p.parent_path());
    engine::JpegImage().Save(testsupport::GradientBitmap(w, h), p);
  }
  static void SaveBmp(const fs::path& p, int w, int h) {
    fs::create_directories(p.parent_path());
    testsupport::GradientBitmap(w, h).SaveToFile(p);
  }

  std::string Ini(const char* section, const char* key) const {
    return ui::SettingsFile(SettingsPath()).ReadString(section, key, "<missing>");
  }

  void ClickItem(const char* list, int row) {
    auto* l = Find<QListWidget>(list);
    QTest::mouseClick(l->viewport(), Qt::LeftButton, Qt::NoModifier,
                      l->visualItemRect(l->item(row)).center());
  }
  // Check boxes and radio items take clicks on their indicator and text
  // only, which need not reach the middle of the widget.
  void Click(const char* name) {
    QWidget* w = Find(name);
    const QPoint at = qobject_cast<QAbstractButton*>(w) && !qobject_cast<QToolButton*>(w)
                          ? QPoint(6, w->height() / 2)
                          : w->rect().center();
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
  }
  std::string Text(const char* name) const {
    QWidget* w = Find(name);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
    return {};
  }

  testsupport::TempDir tmp_;
  RecordingDialogs dialogs_;
  RecordingShell shell_;
  ui::Dialogs* previousDialogs_ = nullptr;
  ui::Shell* previousShell_ = nullptr;
  std::unique_ptr<ui::TMainForm> form_;
};

}  // namespace windowtest

#pragma once
// The main window under test: a temporary program folder, dialogs that
// record what they show and answer as told, a shell that records its calls.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ui/core/Dialogs.h"
#include "ui/core/Shell.h"
#include "ui/TMainForm.h"

namespace mainform_test {

class FakeDialogs : public ui::Dialogs {
 public:
  void ShowMessage(const std::string& text, int, int) override { messages.push_back(text); }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  bool AskYesNo(const std::string& text, const std::string& title) override {
    questions.push_back({text, title});
    return answer;
  }
  std::string BrowseForFolder(const std::string& prompt, const std::string& start) override {
    browses.push_back({prompt, start});
    return browseResult;
  }

  std::vector<std::string> messages, errors;
  std::vector<std::pair<std::string, std::string>> questions, browses;
  bool answer = true;
  std::string browseResult;
};

// Moves "trashed" files into a folder of its own, so tests see them gone
// from the listed folder and kept.
class FakeShell : public ui::Shell {
 public:
  void OpenDocument(const std::string& target) override { opened.push_back(target); }
  void OpenFolder(const std::string& folder) override { folders.push_back(folder); }
  bool StartProgram(const std::string& program, bool) override {
    programs.push_back(program);
    return true;
  }
  void OpenInPaint(const std::string& file) override { painted.push_back(file); }
  bool MoveToTrash(const std::string& file) override {
    trashed.push_back(file);
    std::error_code ec;
    std::filesystem::create_directories(trash, ec);
    std::filesystem::rename(file, trash / std::filesystem::path(file).filename(), ec);
    return !ec;
  }

  std::vector<std::string> opened, folders, programs, painted, trashed;
  std::filesystem::path trash;
};

// Sets (or, given nullptr, removes) an environment variable for the scope
// and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    qputenv(name, value);
  }
  ScopedEnv(const char* name, std::nullptr_t)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    qunsetenv(name);
  }
  ~ScopedEnv() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& content = "x") {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> Names(const QListWidget* list) {
  std::vector<std::string> names;
  for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text().toStdString());
  return names;
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shell.trash = dir / "trash-can";
    previousDialogs = ui::InstallDialogs(&dialogs);
    previousShell = ui::InstallShell(&shell);
  }
  void TearDown() override {
    form.reset();
    ui::InstallShell(previousShell);
    ui::InstallDialogs(previousDialogs);
  }

  std::filesystem::path ProgramFolder() const { return dir / "program"; }
  std::filesystem::path SourceFolder() const { return ProgramFolder() / "source"; }
  std::filesystem::path TargetFolder() const { return ProgramFolder() / "target"; }

  // The window created, without its first-run step.
  ui::TMainForm& Create() {
    std::filesystem::create_directories(ProgramFolder());
    form = std::make_unique<ui::TMainForm>(nullptr, ProgramFolder());
    return *form;
  }
  // The window created and its first-run step done.
  ui::TMainForm& Start() {
    Create();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !Hint()->text().isEmpty(); }, 3000));
    return *form;
  }

  template <typename T = QWidget>
  T* Find(const char* name) const {
    return form->findChild<T*>(QString::fromLatin1(name));
  }
  QLabel* Hint() const { return Find<QLabel>("LblHint"); }
  QLineEdit* EdtPath() const { return Find<QLineEdit>("EdtPath"); }
  QLineEdit* EdtOutput() const { return Find<QLineEdit>("EdtOutput"); }
  QListWidget* LbDocList() const { return Find<QListWidget>("LbDocList"); }
  QListWidget* LbTarget() const { return Find<QListWidget>("LbTarget"); }

  // Types text into an edit and presses Enter there.
  void TypeAndEnter(QLineEdit* edit, const std::string& text) {
    edit->setText(QString::fromStdString(text));
    QTest::keyClick(edit, Qt::Key_Return);
  }
  void Key(QListWidget* list, Qt::Key key) { QTest::keyClick(list, key); }

  testsupport::TempDir dir;
  FakeDialogs dialogs;
  FakeShell shell;
  std::unique_ptr<ui::TMainForm> form;

 private:
  ui::Dialogs* previousDialogs = nullptr;
  ui::Shell* previousShell = nullptr;
};

}  // namespace mainform_test

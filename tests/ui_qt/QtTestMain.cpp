// main of the window tests: one QApplication for every case, on the
// offscreen platform unless the caller chose another. Main windows created
// without a program folder keep their files in a throw-away folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "ui/TMainForm.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir programFolder;
  ui::TMainForm::UseProgramFolder(programFolder.path().toStdString());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// main of the links panel tests: one QApplication for every case, on the
// offscreen platform unless the caller chose another (Xvfb for screenshots).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The update window's page load must fail at once, never reach the network.
  qputenv("IMGCONVERT_UPDATE_URL", "http://127.0.0.1:9/update/ic/");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

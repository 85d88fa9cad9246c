// Pictures of the links panel and the about box for the documentation,
// taken only when IMGCONVERT_SCREENSHOT_DIR names a folder (under a real X
// server such as Xvfb, so the fonts are drawn as on a desktop).

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "RecordingShell.h"
#include "brand/TarnwelUnit.h"
#include "brand/aboutus.h"
#include "text/InterfaceText.h"
#include "ui/WindowHelpers.h"

namespace {

TEST(Screenshots, LinksPanelAndAboutBox) {
  const QString folder = qEnvironmentVariable("IMGCONVERT_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "IMGCONVERT_SCREENSHOT_DIR not set";
  text::ApplyInterfaceText();
  testsupport::RecordingShell shell;
  ui::Shell* previous = ui::InstallShell(&shell);
  QTemporaryDir data;

  QWidget main;
  main.setFont(ui::CjkFont(QStringLiteral("新宋体"), 13));
  QWidget host(&main);
  host.setFixedSize(127, 243);
  ui::SetBackgroundColor(&host, QColor(ui::kWindowBackground));
  brand::TPnlTarnwel panel(&host, data.path().toStdString());
  main.resize(127, 243);
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
  EXPECT_TRUE(host.grab().save(QDir(folder).filePath(QStringLiteral("screenshot-links.png"))));

  brand::TFrmVersion* box = brand::ShowAboutBox(&main);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
  QTest::qWait(700);  // past the fade-in
  EXPECT_TRUE(box->grab().save(QDir(folder).filePath(QStringLiteral("screenshot-about.png"))));
  ui::InstallShell(previous);
}

}  // namespace

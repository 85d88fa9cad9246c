// The window program: the application object, the Qt dialogs and shell, the
// main window faded in, the message loop. Command-line arguments are not
// interpreted.

#include <QApplication>
#include <QIcon>

#include "brand/LinksPanelFactory.h"
#include "platform/MemoryReuse.h"
#include "platform/TemporaryFiles.h"
#include "ui/QtDialogs.h"
#include "ui/QtShell.h"
#include "ui/TMainForm.h"
#include "ui/WindowHelpers.h"
#include "ui/core/ProgramFolders.h"
#include "text/WindowText.h"

int main(int argc, char** argv) {
  // Before anything reads HOME: the settings, Qt's folders and the trash
  // must all be the user's own.
  ui::SetHomeFromAccount();
  QApplication app(argc, argv);
  ui::InstallQtTranslations();
  // Pictures of a run reuse the memory of the ones before; each run hands it
  // back when it ends.
  img::KeepFreedMemory();
  // An interrupted run leaves no temporaries behind.
  img::RemoveTemporariesOnInterrupt();
  // The name titles the message boxes; it is not a display name, which Qt
  // would append to every window caption.
  QApplication::setApplicationName(QString::fromUtf8(text::kApplicationName));
  QApplication::setDesktopFileName(QStringLiteral("imgconvert"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/imgconvert.png")));

  ui::QtDialogs dialogs;
  ui::QtShell shell;
  ui::InstallDialogs(&dialogs);
  ui::InstallShell(&shell);

  // The side panel belongs to the brand library, which builds on the window's.
  ui::LinksPanelFactory = brand::CreateLinksPanel;

  int exitCode = 0;
  {
    ui::TMainForm mainForm;
    mainForm.setWindowState(mainForm.windowState() | Qt::WindowMaximized);
    ui::ShowAnimated(&mainForm);
    exitCode = app.exec();
  }
  ui::InstallShell(nullptr);
  ui::InstallDialogs(nullptr);
  return exitCode;
}

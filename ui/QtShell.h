#pragma once
// The window program's shell actions on the desktop: addresses, files and
// folders through QDesktopServices, programs through QProcess, the trash
// through QFile::moveToTrash. The paint programs and the trash's preparation
// differ between systems: os/QtShell*.cpp.

#include <QString>
#include <QStringList>
#include <QUrl>

#include "ui/core/Shell.h"

namespace ui {

class QtShell : public Shell {
 public:
  void OpenDocument(const std::string& target) override;
  void OpenFolder(const std::string& folder) override;
  // A text holding "://" is an address and opens in the browser, as the
  // system's "open" does; a file that is not a program opens with its
  // associated program.
  bool StartProgram(const std::string& program, bool hidden = false) override;
  // Nothing happens when file is not an existing file.
  void OpenInPaint(const std::string& file) override;
  // Refuses (false, the file stays) when PrepareTrash fails.
  bool MoveToTrash(const std::string& file) override;
  // The freedesktop home trash, "Trash/files" and "Trash/info" under
  // $XDG_DATA_HOME (or ~/.local/share), created when missing; on Windows
  // the recycle bin, always there.
  bool PrepareTrash() override;
};

// The paint programs looked for, in order of preference.
QStringList PaintProgramCandidates();
// The full path of the first candidate found on PATH; empty when none is.
QString FindPaintProgram(const QStringList& candidates = PaintProgramCandidates());

// The address to open for a text: itself when it holds a scheme ("://",
// "mailto:"), otherwise the local file it names (relative to the current
// folder).
QUrl ShellUrl(const QString& target);

}  // namespace ui

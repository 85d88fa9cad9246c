// Desktops other than Windows: the paint programs of the common desktops,
// and the freedesktop home trash made ready before Qt moves a file there.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "ui/QtShell.h"
#include "ui/core/ProgramFolders.h"

namespace ui {

QStringList PaintProgramCandidates() {
  return {QStringLiteral("kolourpaint"), QStringLiteral("pinta"), QStringLiteral("drawing"),
          QStringLiteral("gimp")};
}

bool QtShell::PrepareTrash() {
  // Without a home of the user's own Qt would take "/" for it: no trash then.
  if (UserHomeFolder().empty()) return false;
  // Qt 6.4 finds no trash when this folder is missing and then makes files/
  // and info/ in the working folder, moving the file there.
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty() || !QDir::isAbsolutePath(data)) return false;
  const QString trash = QDir(data).filePath(QStringLiteral("Trash"));
  const bool existed = QFileInfo(trash).isDir();
  for (const QString& sub : {QStringLiteral("files"), QStringLiteral("info")}) {
    const QString folder = QDir(trash).filePath(sub);
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) return false;
  }
  // The trash holds the user's deleted files: the user's eyes only.
  if (!existed) QFile::setPermissions(trash, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  return true;
}

}  // namespace ui

#include "ui/QtShell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace ui {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

bool HasScheme(const QString& target) {
  return target.contains(QStringLiteral("://")) ||
         target.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive);
}

bool OpenUrl(const QUrl& url) { return url.isValid() && QDesktopServices::openUrl(url); }

}  // namespace

QStringList PaintProgramCandidates() {
#ifdef Q_OS_WIN
  return {QStringLiteral("mspaint")};
#else
  return {QStringLiteral("kolourpaint"), QStringLiteral("pinta"), QStringLiteral("drawing"),
          QStringLiteral("gimp")};
#endif
}

QString FindPaintProgram(const QStringList& candidates) {
  for (const QString& name : candidates) {
    const QString path = QStandardPaths::findExecutable(name);
    if (!path.isEmpty()) return path;
  }
  return {};
}

QUrl ShellUrl(const QString& target) {
  if (HasScheme(target)) return QUrl(target, QUrl::TolerantMode);
  return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
}

void QtShell::OpenDocument(const std::string& target) {
  const QString text = FromUtf8(target);
  if (!text.isEmpty()) OpenUrl(ShellUrl(text));
}

void QtShell::OpenFolder(const std::string& folder) {
  const QString text = FromUtf8(folder);
  if (!text.isEmpty()) OpenUrl(ShellUrl(text));
}

bool QtShell::StartProgram(const std::string& program, bool /*hidden*/) {
  // Programs started here open no console, so there is nothing to hide.
  const QString text = FromUtf8(program);
  if (text.isEmpty()) return false;
  if (HasScheme(text)) return OpenUrl(ShellUrl(text));
  const QFileInfo info(text);
  if (info.isFile() && !info.isExecutable()) return OpenUrl(ShellUrl(text));
  return QProcess::startDetached(text, {});
}

void QtShell::OpenInPaint(const std::string& file) {
  const QString path = FromUtf8(file);
  const QFileInfo info(path);
  if (!info.isFile()) return;
  const QString paint = FindPaintProgram();
  if (paint.isEmpty() || !QProcess::startDetached(paint, {info.absoluteFilePath()}))
    OpenUrl(ShellUrl(path));
}

bool QtShell::MoveToTrash(const std::string& file) {
  const QString path = FromUtf8(file);
  if (!QFileInfo(path).isFile()) return false;
  if (!PrepareTrash()) return false;
  return QFile::moveToTrash(path);
}

bool QtShell::PrepareTrash() {
#ifdef Q_OS_WIN
  return true;  // the recycle bin is always there
#else
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
#endif
}

}  // namespace ui

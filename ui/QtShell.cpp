#include "ui/QtShell.h"

#include <QDesktopServices>
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

}  // namespace ui

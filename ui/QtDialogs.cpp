#include "ui/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace ui {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void QtDialogs::ShowMessage(const std::string& text, int x, int y) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), FromUtf8(text),
                  QMessageBox::Ok, QApplication::activeWindow());
  if (x >= 0 && y >= 0) box.move(x, y);
  box.exec();
}

void QtDialogs::ShowError(const std::string& text) {
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(),
                        FromUtf8(text));
}

bool QtDialogs::AskYesNo(const std::string& text, const std::string& title) {
  return QMessageBox::question(QApplication::activeWindow(), FromUtf8(title), FromUtf8(text),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

std::string QtDialogs::BrowseForFolder(const std::string& prompt, const std::string& start) {
  const QString chosen = QFileDialog::getExistingDirectory(QApplication::activeWindow(),
                                                           FromUtf8(prompt), FromUtf8(start));
  return chosen.isEmpty() ? std::string() : QDir::toNativeSeparators(chosen).toStdString();
}

}  // namespace ui

#include "ui/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QListWidget>
#include <QScreen>
#include <QVBoxLayout>
#include <QFileDialog>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSpacerItem>
#include <QTranslator>

namespace ui {

namespace {

// Room a title bar takes beside its title: the window's icon and buttons.
constexpr int kTitleBarButtons = 160;

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// A window manager shortens a title wider than its window ("图…换"): the
// box is made as wide as its title and the title bar's buttons.
int Exec(QMessageBox& box) {
  QFont titleFont = box.font();
  titleFont.setBold(true);
  const int room = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarButtons;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(room, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
  return box.exec();
}

}  // namespace

bool InstallQtTranslations() {
  static QTranslator* installed = nullptr;
  if (installed) return true;
  auto* translator = new QTranslator(QCoreApplication::instance());
  // Debian's Qt keeps them with Qt; a program shipped with its own Qt keeps
  // them beside itself.
  for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                QCoreApplication::applicationDirPath() + QStringLiteral("/translations")}) {
    if (translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
      QCoreApplication::installTranslator(translator);
      installed = translator;
      return true;
    }
  }
  delete translator;
  return false;
}

void QtDialogs::ShowMessage(const std::string& text, int x, int y) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), FromUtf8(text),
                  QMessageBox::Ok, QApplication::activeWindow());
  if (x >= 0 && y >= 0) box.move(x, y);
  Exec(box);
}

void QtDialogs::ShowError(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), FromUtf8(text),
                  QMessageBox::Ok, QApplication::activeWindow());
  Exec(box);
}

bool QtDialogs::AskYesNo(const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::Question, FromUtf8(title), FromUtf8(text),
                  QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  // Every question asks before something that cannot be taken back (a
  // deletion, a walk of the whole disk): Enter must not say Yes.
  box.setDefaultButton(QMessageBox::No);
  return Exec(box) == QMessageBox::Yes;
}

void QtDialogs::ShowList(const std::string& title, const std::vector<std::string>& entries) {
  QDialog box(QApplication::activeWindow());
  box.setWindowTitle(FromUtf8(title));
  auto* layout = new QVBoxLayout(&box);
  auto* list = new QListWidget(&box);
  // Long paths scroll sideways rather than being cut.
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list->setTextElideMode(Qt::ElideNone);
  list->setAlternatingRowColors(true);
  for (const std::string& entry : entries) list->addItem(FromUtf8(entry));
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  layout->addWidget(buttons);
  // Room for a long path, never more than the screen gives.
  QSize size(720, 420);
  if (const QScreen* screen = box.screen()) size = size.boundedTo(screen->availableSize() * 9 / 10);
  box.resize(size);
  box.exec();
}

std::string QtDialogs::BrowseForFolder(const std::string& prompt, const std::string& start) {
  // Qt's own browser: a desktop's native one speaks the system's language.
  const QString chosen = QFileDialog::getExistingDirectory(
      QApplication::activeWindow(), FromUtf8(prompt), FromUtf8(start),
      QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  return chosen.isEmpty() ? std::string() : QDir::toNativeSeparators(chosen).toStdString();
}

}  // namespace ui

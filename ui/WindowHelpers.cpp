#include "ui/WindowHelpers.h"

#include <QAbstractButton>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QPropertyAnimation>
#include <QWidget>
#include <cstring>
#include <span>

#include "imaging/Bitmap.h"

namespace ui {

namespace {

const char* const kFadeName = "ShowAnimatedFade";
const char* const kFallbackCjkFamily = "WenQuanYi Micro Hei";

// The style's own button frame and padding would shrink the glyph to fit.
// Focus gets a dotted frame over the glyph's edge: a button reached by Tab
// must show that Space will press it.
const char* const kGlyphButtonStyle =
    "* { border: none; padding: 0px; background: transparent; }"
    " *:focus { border: 1px dotted rgb(0, 0, 0); }"
    " *:pressed { padding-top: 1px; }";

// The glyph under the mouse: tinted towards the highlight, with a darker edge.
QPixmap HoverFace(const QPixmap& face) {
  QPixmap hover = face;
  QPainter painter(&hover);
  painter.fillRect(hover.rect(), QColor(0, 110, 220, 24));
  painter.setPen(QColor(70, 130, 200));
  painter.drawRect(hover.rect().adjusted(0, 0, -1, -1));
  return hover;
}

std::span<const std::uint8_t> AsBytes(const QByteArray& data) {
  return {reinterpret_cast<const std::uint8_t*>(data.constData()),
          static_cast<std::size_t>(data.size())};
}

}  // namespace

QFont CjkFont(const QString& family, int pixelHeight) {
  // "新宋体" and "宋体" come with Windows; elsewhere the CJK font the setup
  // installs takes their place.
  QFont font(QFontDatabase::hasFamily(family) ? family : QString::fromUtf8(kFallbackCjkFamily));
  font.setPixelSize(pixelHeight);
  return font;
}

void SetBackgroundColor(QWidget* widget, QColor colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

QByteArray ResourceBytes(const std::string& name, const std::string& type) {
  QFile file(QStringLiteral(":/%1/%2").arg(QString::fromStdString(type),
                                           QString::fromStdString(name)));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

bool LoadGlyph(img::Bitmap& glyph, const std::string& name, const std::string& type) {
  const QByteArray data = ResourceBytes(name, type);
  if (data.isEmpty()) return false;
  try {
    glyph.LoadFromMemory(AsBytes(data));
    return true;
  } catch (...) {
    // A glyph that cannot be read leaves its button without an image.
    return false;
  }
}

QImage ToQImage(const img::Bitmap& picture) {
  if (picture.empty()) return {};
  img::Bitmap rgb = picture;
  rgb.ConvertTo24();
  QImage image(rgb.width(), rgb.height(), QImage::Format_BGR888);
  const std::size_t rowBytes = static_cast<std::size_t>(rgb.width()) * 3;
  for (int y = 0; y < rgb.height(); ++y)
    std::memcpy(image.scanLine(y), rgb.ScanLine(y), rowBytes);
  return image;
}

void SetButtonFace(QAbstractButton* button, const QPixmap& face) {
  if (!button || face.isNull()) return;
  QIcon icon(face);
  icon.addPixmap(HoverFace(face), QIcon::Active);
  button->setIcon(icon);
  button->setIconSize(face.size());
  button->setStyleSheet(QString::fromLatin1(kGlyphButtonStyle));
}

bool SetButtonGlyph(QAbstractButton* button, const std::string& name) {
  if (!button) return false;
  try {
    img::Bitmap glyph;
    if (!LoadGlyph(glyph, name)) return false;
    const QPixmap pixmap = QPixmap::fromImage(ToQImage(glyph));
    if (pixmap.isNull()) return false;
    SetButtonFace(button, pixmap);
    return true;
  } catch (...) {
    return false;
  }
}

void ShowAnimated(QWidget* window) {
  if (!window) return;
  // A second call while a fade runs starts the fade again.
  if (auto* running = window->findChild<QPropertyAnimation*>(QString::fromLatin1(kFadeName),
                                                             Qt::FindDirectChildrenOnly))
    running->stop();
  window->setWindowOpacity(0.0);
  window->show();
  window->raise();
  window->activateWindow();

  auto* fade = new QPropertyAnimation(window, "windowOpacity", window);
  fade->setObjectName(QString::fromLatin1(kFadeName));
  fade->setDuration(kShowAnimatedMs);
  fade->setStartValue(0.0);
  fade->setEndValue(1.0);
  QObject::connect(fade, &QPropertyAnimation::finished, window, [window] {
    window->setWindowOpacity(1.0);
    window->show();
  });
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace ui

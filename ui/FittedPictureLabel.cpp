#include "ui/FittedPictureLabel.h"

#include <QPainter>

namespace ui {

FittedPictureLabel::FittedPictureLabel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

QRect FittedPictureLabel::PictureRect() const {
  const QPixmap picture = pixmap();
  const QRect area = contentsRect();
  if (picture.isNull() || area.isEmpty()) return {};
  QSize size = picture.size();
  if (size.width() > area.width() || size.height() > area.height())
    size.scale(area.size(), Qt::KeepAspectRatio);
  size = size.expandedTo(QSize(1, 1));
  QRect drawn(QPoint(), size);
  drawn.moveCenter(area.center());
  return drawn;
}

void FittedPictureLabel::paintEvent(QPaintEvent* event) {
  const QPixmap picture = pixmap();
  if (picture.isNull()) {
    QLabel::paintEvent(event);
    return;
  }
  const QRect drawn = PictureRect();
  if (drawn.isEmpty()) return;
  // A smooth scale once per size: drawing scaled on every paint would
  // filter a large picture coarsely. Scaled to the screen's own pixels, so
  // that a screen of twice the density gets twice the detail rather than a
  // stretched copy.
  const qreal ratio = devicePixelRatioF();
  const QSize pixels(qRound(drawn.width() * ratio), qRound(drawn.height() * ratio));
  if (scaledFrom_ != picture.cacheKey() || scaled_.size() != pixels) {
    scaled_ = pixels == picture.size() ? picture
                                       : picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled_.setDevicePixelRatio(ratio);
    scaledFrom_ = picture.cacheKey();
  }
  QPainter(this).drawPixmap(drawn.topLeft(), scaled_);
}

}  // namespace ui

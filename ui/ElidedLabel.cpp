#include "ui/ElidedLabel.h"

#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace ui {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QSize ElidedLabel::sizeHint() const { return minimumSizeHint(); }

QSize ElidedLabel::minimumSizeHint() const {
  const QMargins m = contentsMargins();
  return QSize(m.left() + m.right(), fontMetrics().height() + m.top() + m.bottom());
}

QString ElidedLabel::ShownText() const {
  const QString whole = text();
  // The bracketed end is drawn whole; the rest gets the room left.
  const qsizetype bracket = whole.endsWith(QLatin1Char(']')) ? whole.lastIndexOf(QStringLiteral(" [")) : -1;
  const QString tail = bracket > 0 ? whole.mid(bracket) : QString();
  const QString head = bracket > 0 ? whole.left(bracket) : whole;
  const int room = std::max(0, contentsRect().width() - fontMetrics().horizontalAdvance(tail));
  return fontMetrics().elidedText(head, Qt::ElideMiddle, room) + tail;
}

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = contentsRect();
  const QString shown = ShownText();
  style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()),
                        palette(), isEnabled(), shown, foregroundRole());
}

}  // namespace ui

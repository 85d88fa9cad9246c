#include "update/UpdateBanner.h"
#include "text/WindowText.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace update {

QPixmap DrawUpdateBanner(const QSize& size) {
  QPixmap banner(size);
  QPainter painter(&banner);
  painter.setRenderHint(QPainter::Antialiasing);

  QLinearGradient sky(0, 0, 0, size.height());
  sky.setColorAt(0.0, QColor(245, 250, 254));
  sky.setColorAt(1.0, QColor(200, 224, 246));
  painter.fillRect(banner.rect(), sky);

  // A round arrow: the sign of an update.
  const int diameter = size.height() * 3 / 5;
  const QRectF circle(size.height() / 4.0, (size.height() - diameter) / 2.0, diameter, diameter);
  painter.setPen(QPen(QColor(30, 110, 200), diameter / 8.0, Qt::SolidLine, Qt::RoundCap));
  painter.drawArc(circle, 90 * 16, 300 * 16);
  const QPointF tip(circle.center().x(), circle.top());
  const double head = diameter / 5.0;
  QPainterPath arrow;
  arrow.moveTo(tip + QPointF(head, 0));
  arrow.lineTo(tip + QPointF(-head / 2, -head * 0.8));
  arrow.lineTo(tip + QPointF(-head / 2, head * 0.8));
  arrow.closeSubpath();
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(30, 110, 200));
  painter.drawPath(arrow);

  QFont font;
  font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("WenQuanYi Micro Hei")});
  font.setPixelSize(qMax(12, size.height() / 4));
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(20, 70, 140));
  const QRectF text_area(circle.right() + size.height() / 4.0, 0, size.width() - circle.right(), size.height());
  painter.drawText(text_area, Qt::AlignVCenter | Qt::AlignLeft, QString::fromUtf8(text::kUpdateBanner));
  return banner;
}

}  // namespace update

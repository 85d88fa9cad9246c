#pragma once
// A picture box that keeps the picture's proportions: the picture is drawn
// as large as fits inside the box, never larger than itself, centred, and
// sharp at any pixel density.

#include <QLabel>
#include <QPixmap>

namespace ui {

class FittedPictureLabel : public QLabel {
 public:
  explicit FittedPictureLabel(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Where the picture is drawn in the box now (empty without one).
  QRect PictureRect() const;

  // The picture at its drawn size in device pixels, made again when either changes.
  QPixmap scaled_;
  qint64 scaledFrom_ = 0;
};

}  // namespace ui

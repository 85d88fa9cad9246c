#pragma once
// A one-line label whose text never widens its layout: a text that does
// not fit is drawn shortened in the middle, so the start of a file name and
// the size at its end stay readable. text() keeps the whole text.

#include <QLabel>

namespace ui {

class ElidedLabel : public QLabel {
 public:
  explicit ElidedLabel(QWidget* parent = nullptr);

  // The height of one line; the width asks for nothing.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui

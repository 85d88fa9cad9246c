#pragma once
// A one-line label whose text never widens its layout: a text that does
// not fit is drawn shortened in the middle, so the start of a file name and
// its end stay readable. A bracketed part that ends the text (a picture's
// size, " [宽度:W,高度:H]") is always drawn whole: only what comes before it
// is shortened. text() keeps the whole text.

#include <QLabel>

namespace ui {

class ElidedLabel : public QLabel {
 public:
  explicit ElidedLabel(QWidget* parent = nullptr);

  // The height of one line; the width asks for nothing.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The text as drawn at the label's width.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui

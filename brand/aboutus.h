#pragma once
// The about box: product name, version, author and home page inside a frame
// of pictures, with one close button. A mouse-down on its background or on
// any of its texts opens the product's home page.

#include <QWidget>
#include <memory>

class QMouseEvent;

namespace Ui {
class FrmVersion;
}

namespace brand {

class TFrmVersion : public QWidget {
  Q_OBJECT

 public:
  // owner: the window that keeps the about box (the main window).
  explicit TFrmVersion(QWidget* owner = nullptr);
  ~TFrmVersion() override;

  // Closes (hides) the box.
  void BtnCloseClick();

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void FormCreate();
  bool OpensHomePage(const QWidget* hit) const;

  std::unique_ptr<Ui::FrmVersion> form_;
};

// The about box of owner's window, made on first use and shown faded in;
// later calls show the same box again, its texts as they were made.
TFrmVersion* ShowAboutBox(QWidget* owner);

}  // namespace brand

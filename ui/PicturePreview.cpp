#include "ui/PicturePreview.h"

#include <QLabel>
#include <QPixmap>
#include <stdexcept>

#include "ui/core/WindowFormats.h"
#include "engine/formats/PictureFormats.h"
#include "platform/PathNames.h"
#include "engine/convert/UprightPicture.h"
#include "imaging/Bitmap.h"
#include "text/InterfaceText.h"
#include "ui/WindowHelpers.h"
#include "ui/core/Shell.h"

namespace ui {

namespace {

// The preview boxes' design size: a JPEG is decoded at least this large.
constexpr int kPreviewWidth = 267;
constexpr int kPreviewHeight = 157;
// No box grows beyond this, even across a wide screen at twice the pixel
// density: a larger picture is kept at this size, proportions kept.
constexpr QSize kLargestPreview(4096, 1024);
// The box property that holds the real size of the picture it shows.
const char kPictureSize[] = "pictureSize";

// The decoded picture and its real size.
struct DecodedPreview {
  img::Bitmap picture;
  QSize realSize;
};

void ShowPicture(QLabel* box, const DecodedPreview& decoded) {
  const QImage image = ToQImage(decoded.picture);
  if (image.isNull()) throw std::runtime_error("empty picture");
  // The box draws it fitted inside itself, proportions kept.
  const bool large = image.width() > kLargestPreview.width() || image.height() > kLargestPreview.height();
  box->setPixmap(QPixmap::fromImage(
      large ? image.scaled(kLargestPreview, Qt::KeepAspectRatio, Qt::SmoothTransformation) : image));
  box->setProperty(kPictureSize, decoded.realSize);
}

std::string SizeLabel(const std::string& path, QSize size) {
  return img::FileNamePart(path) + " [" + text::TxtWidth + ":" + std::to_string(size.width()) +
         "," + text::TxtHeight + ":" + std::to_string(size.height()) + "]";
}

}  // namespace

bool ShowPicturePreview(QLabel* box, const std::string& path) {
  try {
    box->show();
    const engine::PictureFormat* format =
        FindWindowFormat(img::ExtensionOf(path));
    if (!format) return true;  // the lists hold pictures only
    DecodedPreview d;
    try {
      // A picture larger than the box may be decoded smaller, never below
      // it; it is shown upright, with its upright size.
      const engine::PictureSize size =
          engine::LoadUprightPicture(path, d.picture, {kPreviewWidth, kPreviewHeight});
      d.realSize = QSize(size.width, size.height);
      ShowPicture(box, d);
    } catch (...) {
      if (engine::SameKind(*format, engine::FormatNamed("jpg"))) {
        // Perhaps a program of the desktop can show what we cannot.
        CurrentShell().OpenDocument(path);
        return false;
      }
      if (engine::SameKind(*format, engine::FormatNamed("bmp"))) throw;  // the box is hidden
      return false;  // the box keeps what it showed
    }
    return true;
  } catch (...) {
    box->hide();
    return false;
  }
}

void ShowPictureSizeLabel(QLabel* label, const QLabel* box, const std::string& path, bool shown) {
  // A name too long for the pane is shortened on screen; the tooltip gives it whole.
  if (shown) {
    label->setText(QString::fromStdString(SizeLabel(path, box->property(kPictureSize).toSize())));
    label->setToolTip(label->text());
  } else if (box->isHidden()) {
    label->clear();
    label->setToolTip(QString());
  }
}

}  // namespace ui

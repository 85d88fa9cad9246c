#include "ui/PicturePreview.h"

#include <QLabel>
#include <QPixmap>
#include <utility>

#include "engine/formats/PictureFormats.h"
#include "platform/PathNames.h"
#include "text/InterfaceText.h"
#include "ui/core/Shell.h"
#include "ui/core/WindowEdge.h"
#include "ui/core/WindowFormats.h"

namespace ui {

namespace {

// The preview boxes' design size: a JPEG is decoded at least this large,
// so that a box not laid out yet still gets a picture worth showing.
constexpr QSize kDesignSize(267, 157);
// The box property that holds the real size of the picture it shows.
const char kPictureSize[] = "pictureSize";

std::string SizeLabel(const std::string& path, QSize size) {
  return img::FileNamePart(path) + " [" + text::TxtWidth + ":" + std::to_string(size.width()) +
         "," + text::TxtHeight + ":" + std::to_string(size.height()) + "]";
}

// The box's drawing area in device pixels, never below the design size.
QSize DevicePixels(const QLabel* box) {
  const qreal ratio = box->devicePixelRatioF();
  const QSize area = box->contentsRect().size().expandedTo(kDesignSize);
  return QSize(qRound(area.width() * ratio), qRound(area.height() * ratio));
}

}  // namespace

PicturePreview::PicturePreview(QLabel* box, QLabel* sizeLabel)
    : box_(box), label_(sizeLabel), decoder_([this](PreviewDecoder::Result result) { Take(std::move(result)); }) {}

void PicturePreview::Show(const std::string& path, bool handBackMemory) {
  if (!FindWindowFormat(img::ExtensionOf(path))) {
    // The lists hold pictures only: nothing to decode, the box as it is.
    decoder_.Drop();
    asked_.clear();
    box_->show();
    SetSizeLabel(path, true);
    shown_ = path;
    return;
  }
  decoder_.Ask({path, DevicePixels(box_), handBackMemory});
  asked_ = path;
}

void PicturePreview::KeepListed(const std::function<bool(const std::string& path)>& listed) {
  if (!asked_.empty() && !listed(asked_)) {
    decoder_.Drop();
    asked_.clear();
  }
  if (!shown_.empty() && !listed(shown_)) {
    shown_.clear();
    box_->clear();
    label_->clear();
    label_->setToolTip(QString());
  }
}

void PicturePreview::Take(PreviewDecoder::Result result) {
  asked_.clear();
  const std::string& path = result.path;
  bool shown = false;
  try {
    box_->show();
    if (!result.picture.isNull()) {
      // The box draws it fitted inside itself, proportions kept.
      box_->setPixmap(QPixmap::fromImage(std::move(result.picture)));
      box_->setProperty(kPictureSize, result.realSize);
      shown = true;
    } else if (const engine::PictureFormat* format = FindWindowFormat(img::ExtensionOf(path))) {
      if (engine::SameKind(*format, engine::FormatNamed("jpg"))) {
        // Perhaps a program of the desktop can show what we cannot.
        CurrentShell().OpenDocument(path);
      } else if (engine::SameKind(*format, engine::FormatNamed("bmp"))) {
        box_->hide();
      }
      // Any other keeps what the box showed.
    }
  } catch (...) {
    box_->hide();
    shown = false;
  }
  try {
    SetSizeLabel(path, shown);
    if (shown) shown_ = path;
  } catch (...) {
    SwallowAtEdge("PicturePreview::Take");
  }
}

void PicturePreview::SetSizeLabel(const std::string& path, bool shown) {
  // A name too long for the pane is shortened on screen; the tooltip gives it whole.
  if (shown) {
    label_->setText(QString::fromStdString(SizeLabel(path, box_->property(kPictureSize).toSize())));
    label_->setToolTip(label_->text());
  } else if (box_->isHidden()) {
    label_->clear();
    label_->setToolTip(QString());
  }
}

}  // namespace ui

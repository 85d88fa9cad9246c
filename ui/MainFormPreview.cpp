// The two picture lists' clicks and the previews: the clicked picture
// becomes its list's current picture and, with the preview on, is drawn
// into the list's preview box with its name and size.

#include <QLabel>
#include <QListWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <filesystem>
#include <stdexcept>

#include "engine/JpegImage.h"
#include "engine/PngImage.h"
#include "engine/TextUtil.h"
#include "imaging/Bitmap.h"
#include "imaging/FileIO.h"
#include "imaging/MemoryReuse.h"
#include "text/InterfaceText.h"
#include "ui/core/Shell.h"
#include "ui/TMainForm.h"
#include "ui/UserInputHooks.h"
#include "ui/WindowHelpers.h"
#include "ui_MainForm.h"

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

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(img::PathFromUtf8(path), ec);
}

// The largest DCT scale (1/8, 1/4, 1/2) that still decodes at least the
// box's size, so a large JPEG is decoded in a fraction of the time.
int PreviewScaleDenominator(int width, int height) {
  for (int denom : {8, 4, 2}) {
    const int w = (width + denom - 1) / denom, h = (height + denom - 1) / denom;
    if (w >= kPreviewWidth && h >= kPreviewHeight) return denom;
  }
  return 1;
}

// The decoded picture and its real size; throws when it cannot be decoded.
struct DecodedPreview {
  img::Bitmap picture;
  QSize realSize;
};

DecodedPreview DecodeJpeg(const std::filesystem::path& path) {
  const auto [width, height] = engine::JpegImage::ReadSize(path);
  DecodedPreview d;
  engine::JpegImage codec;
  codec.Load(path, d.picture, PreviewScaleDenominator(width, height));
  d.realSize = QSize(width, height);
  return d;
}

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
  return engine::FileNamePart(path) + " [" + text::TxtWidth + ":" + std::to_string(size.width()) +
         "," + text::TxtHeight + ":" + std::to_string(size.height()) + "]";
}

}  // namespace

void TMainForm::ConnectPreview() {
  OnUserPick(form_->LbDocList, [this] { LbDocListClick(); });
  OnUserPick(form_->LbTarget, [this] { LbTargetClick(); });
}

bool TMainForm::LoadPreview(QLabel* box, const std::string& path) {
  // The full-size decode is gone once shown: outside a run, whose next
  // picture reuses it, hand its memory back.
  struct HandBack {
    bool inRun;
    ~HandBack() {
      if (!inRun) img::ReturnFreedMemory();
    }
  } handBack{runUnderWay_};
  try {
    box->show();
    const std::string ext = engine::AsciiUpper(engine::ExtensionOf(path));
    const std::filesystem::path file = img::PathFromUtf8(path);
    if (ext == ".JPG" || ext == ".JPEG") {
      try {
        ShowPicture(box, DecodeJpeg(file));
      } catch (...) {
        // Perhaps a program of the desktop can show what we cannot.
        CurrentShell().OpenDocument(path);
        return false;
      }
    } else if (ext == ".BMP") {
      DecodedPreview d;
      d.picture.LoadFromFile(file);
      d.realSize = QSize(d.picture.width(), d.picture.height());
      ShowPicture(box, d);
    } else if (ext == ".PNG") {
      try {
        DecodedPreview d;
        engine::PngImage().Load(file, d.picture);
        d.realSize = QSize(d.picture.width(), d.picture.height());
        ShowPicture(box, d);
      } catch (...) {
        return false;
      }
    }
    return true;
  } catch (...) {
    box->hide();
    return false;
  }
}

void TMainForm::ShowSizeLabel(QLabel* label, QLabel* box, const std::string& path, bool shown) {
  // The label names the picture the box shows: a picture that could not be
  // shown leaves it as it was, and a hidden box leaves nothing to name.
  // A name too long for the pane is shortened on screen; the tooltip
  // gives it whole.
  if (shown) {
    label->setText(QString::fromStdString(SizeLabel(path, box->property(kPictureSize).toSize())));
    label->setToolTip(label->text());
  } else if (box->isHidden()) {
    label->clear();
    label->setToolTip(QString());
  }
}

void TMainForm::LbDocListClick() {
  try {
    QListWidget* list = form_->LbDocList;
    const int index = list->currentRow();
    if (list->count() == 0 || index < 0) return;
    CurrentSourcePicture = engine::TrimBlanks(SourcePathValue()) + list->item(index)->text().toStdString();
    form_->LblHint->setText(QStringLiteral("源图片：") + QString::fromStdString(CurrentSourcePicture));
    if (form_->CbPreviewSourceImg->isChecked() && FileExists(CurrentSourcePicture)) {
      const bool shown = LoadPreview(form_->ImgSource, CurrentSourcePicture);
      ShowSizeLabel(form_->LblWHSource, form_->ImgSource, CurrentSourcePicture, shown);
    }
    settings::Write(Settings(), settings::kLbDocListInd, index);
  } catch (...) {
  }
}

void TMainForm::LbTargetClick() {
  try {
    QListWidget* list = form_->LbTarget;
    const int index = list->currentRow();
    if (list->count() == 0 || index < 0) return;
    CurrentTargetPicture = engine::TrimBlanks(TargetPathValue()) + list->item(index)->text().toStdString();
    form_->LblHint->setText(QStringLiteral("当前图片：") + QString::fromStdString(CurrentTargetPicture));
    if (form_->CbTargetImgPreview->isChecked() && FileExists(CurrentTargetPicture)) {
      const bool shown = LoadPreview(form_->ImgOutput, CurrentTargetPicture);
      ShowSizeLabel(form_->LblWHTarget, form_->ImgOutput, CurrentTargetPicture, shown);
    }
  } catch (...) {
  }
}

}  // namespace ui

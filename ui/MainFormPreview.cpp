// The two picture lists' clicks and the previews: the clicked picture
// becomes its list's current picture and, with the preview on, is drawn
// into the list's preview box with its name and size.

#include <QLabel>
#include <QListWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <filesystem>
#include <stdexcept>

#include "engine/PictureFormats.h"
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
    const engine::PictureFormat* format =
        engine::FindFormatByExtension(engine::ExtensionOf(path), engine::FormatSet::Window);
    if (!format) return true;  // the lists hold pictures only
    DecodedPreview d;
    try {
      // A picture larger than the box may be decoded smaller, never below it.
      const engine::PictureSize size =
          engine::LoadPicture(path, d.picture, {kPreviewWidth, kPreviewHeight});
      d.realSize = QSize(size.width, size.height);
      ShowPicture(box, d);
    } catch (...) {
      if (format->kind == engine::PictureKind::Jpeg) {
        // Perhaps a program of the desktop can show what we cannot.
        CurrentShell().OpenDocument(path);
        return false;
      }
      if (format->kind == engine::PictureKind::Bmp) throw;  // the box is hidden
      return false;  // the box keeps what it showed
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

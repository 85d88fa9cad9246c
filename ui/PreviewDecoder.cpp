#include "ui/PreviewDecoder.h"

#include <exception>
#include <utility>

#include "engine/convert/UprightPicture.h"
#include "imaging/Bitmap.h"
#include "platform/MemoryReuse.h"

namespace ui {

namespace {

// No box grows beyond this, even across a wide screen at twice the pixel
// density: a larger picture is kept at this size, proportions kept.
constexpr QSize kLargestPreview(4096, 1024);

// The picture as the box draws it: laid over white where it has alpha, no
// larger than kLargestPreview, in the pixmap's own format so that the
// window's thread takes it as it is. Read from the picture's own rows: a
// full-size PNG is copied once, into its smaller or converted image.
QImage PreviewImage(img::Bitmap& picture) {
  if (picture.empty()) return {};
  picture.ConvertTo24();
  const QImage rows(static_cast<const uchar*>(picture.ScanLine(0)), picture.width(), picture.height(), static_cast<qsizetype>(picture.stride()),
                    QImage::Format_BGR888);
  if (rows.width() > kLargestPreview.width() || rows.height() > kLargestPreview.height())
    return rows.scaled(kLargestPreview, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
  return rows.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

PreviewDecoder::PreviewDecoder(Deliver deliver) : deliver_(std::move(deliver)) {}

PreviewDecoder::~PreviewDecoder() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    next_.reset();
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void PreviewDecoder::Ask(Request request) {
  {
    std::lock_guard lock(mutex_);
    next_ = std::move(request);
    ++latest_;
  }
  // Started with the first picture: most windows' boxes never show one.
  if (!thread_.joinable()) thread_ = std::thread([this] { Work(); });
  wake_.notify_one();
}

void PreviewDecoder::Drop() {
  std::lock_guard lock(mutex_);
  next_.reset();
  ++latest_;
}

void PreviewDecoder::Work() {
  for (;;) {
    Request request;
    std::uint64_t number = 0;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || next_.has_value(); });
      if (stop_) return;
      request = std::move(*next_);
      next_.reset();
      number = latest_;
    }
    Result result = Decode(request);
    // Superseded while it was decoded: dropped here, and again on the
    // window's thread for one superseded while its delivery waits there.
    if (number != latest_) continue;
    QMetaObject::invokeMethod(
        &context_,
        [this, number, result = std::move(result)]() mutable {
          if (number == latest_) deliver_(std::move(result));
        },
        Qt::QueuedConnection);
  }
}

PreviewDecoder::Result PreviewDecoder::Decode(const Request& request) {
  Result result{request.path, {}, {}};
  try {
    img::Bitmap picture;
    const engine::PictureSize size =
        engine::LoadUprightPicture(request.path, picture, {request.fit.width(), request.fit.height()});
    result.realSize = QSize(size.width, size.height);
    result.picture = PreviewImage(picture);
  } catch (...) {
    // A file that cannot be decoded is a result too: the box says so.
    result.picture = QImage();
  }
  if (request.handBackMemory) img::ReturnFreedMemory();
  return result;
}

}  // namespace ui

#include "update/Downloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

#include <utility>

#include "update/NetworkProblem.h"
#include "text/WindowText.h"

namespace update {

namespace {

// A server that stops sending for this long ends the download as failed.
constexpr int kTransferTimeoutMs = 30000;

}  // namespace

Downloader::Downloader(QUrl source, QString target, DownloadLimits limits, QObject* parent)
    : QObject(parent), source_(std::move(source)), target_(std::move(target)), limits_(limits) {}

Downloader::~Downloader() {
  // Destroying the file object without a commit removes the temporary file.
  if (reply_) {
    reply_->disconnect(this);
    reply_->abort();
  }
}

void Downloader::Run() {
  file_ = std::make_unique<QSaveFile>(target_);
  if (!file_->open(QIODevice::WriteOnly)) {
    Fail(QString::fromUtf8(text::kCannotWrite).arg(target_, file_->errorString()));
    return;
  }
  manager_ = new QNetworkAccessManager(this);
  QNetworkRequest request(source_);
  request.setTransferTimeout(kTransferTimeoutMs);
  // Qt follows redirects between http and https only (never to a local file).
  reply_ = manager_->get(request);
  // A size said too large fails before any of it is fetched.
  connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
    const qint64 length = DeclaredLength();
    if (!finished_ && StatusIsSuccess() && length > limits_.max_bytes)
      Fail(QString::fromUtf8(text::kFileTooLarge).arg(limits_.max_bytes));
  });
  connect(reply_, &QNetworkReply::readyRead, this, &Downloader::WriteAvailable);
  connect(reply_, &QNetworkReply::finished, this, &Downloader::Done);
  // The idle bound never ends a server that sends a byte now and then.
  QTimer::singleShot(limits_.max_time, this, [this] {
    if (!finished_) Fail(QString::fromUtf8(text::kDownloadTooLong));
  });
}

bool Downloader::StatusIsSuccess() const {
  const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid()) return true;  // not known yet
  const int code = status.toInt();
  return code >= 200 && code < 300;
}

void Downloader::WriteAvailable() {
  if (finished_) return;
  const QByteArray data = reply_->readAll();
  // An error page is not the program file.
  if (!StatusIsSuccess()) return;
  if (written_ + data.size() > AllowedLength()) {
    Fail(QString::fromUtf8(text::kFileTooLarge).arg(AllowedLength()));
    return;
  }
  if (file_->write(data) != data.size()) {
    Fail(QString::fromUtf8(text::kCannotWrite).arg(target_, file_->errorString()));
    return;
  }
  written_ += data.size();
  // Reported per block written: Qt's own progress signal holds back reports
  // that come sooner than 100 ms after the request.
  if (!data.isEmpty()) emit Progress(written_, DeclaredLength());
}

qint64 Downloader::DeclaredLength() const {
  // Compressed transfers are unpacked by Qt, so their length header does not
  // count the bytes written here.
  const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
  const QByteArray encoding = reply_->rawHeader("Content-Encoding").trimmed().toLower();
  if (!length.isValid() || !(encoding.isEmpty() || encoding == "identity")) return -1;
  return length.toLongLong();
}

qint64 Downloader::AllowedLength() const {
  const qint64 length = DeclaredLength();
  return length >= 0 ? qMin(length, limits_.max_bytes) : limits_.max_bytes;
}

void Downloader::Done() {
  if (finished_) return;
  WriteAvailable();
  if (finished_) return;
  const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if ((status.isValid() && !StatusIsSuccess()) || reply_->error() != QNetworkReply::NoError) {
    // Qt's own error texts are English: the status line says it in Chinese.
    Fail(NetworkProblemText(reply_->error(), status.isValid() ? status.toInt() : 0));
    return;
  }
  // A connection closed early must not pass for the whole file.
  const qint64 length = DeclaredLength();
  if (length >= 0 && length != written_) {
    Fail(QString::fromUtf8(text::kFileIncomplete).arg(written_).arg(length));
    return;
  }
  if (!file_->commit()) {
    Fail(QString::fromUtf8(text::kCannotWrite).arg(target_, file_->errorString()));
    return;
  }
  finished_ = true;
  file_.reset();
  reply_->deleteLater();
  reply_ = nullptr;
  emit Finished(true, QString());
}

void Downloader::Fail(const QString& problem) {
  finished_ = true;
  if (reply_) {
    reply_->disconnect(this);
    reply_->abort();
    reply_->deleteLater();
    reply_ = nullptr;
  }
  // The temporary file goes before anyone looks at the folder.
  if (file_) file_->cancelWriting();
  file_.reset();
  emit Finished(false, problem);
}

}  // namespace update

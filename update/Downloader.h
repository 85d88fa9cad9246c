#pragma once
// The download of the new program file. It runs on its own worker thread:
// Run() starts it there, progress and the outcome leave as signals, which Qt
// delivers to the window on the interface thread.

#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

namespace update {

// Bounds of one download, whatever the server does: a program file is some
// tens of MB, so a larger one (or one larger than the server said) is not
// it, and the time bound lets the largest file arrive over a line of about
// 1.2 Mbit/s. A server that sends nothing for 30 s ends it as well.
struct DownloadLimits {
  qint64 max_bytes = 256LL << 20;
  std::chrono::milliseconds max_time = std::chrono::minutes(30);
};

class Downloader : public QObject {
  Q_OBJECT

 public:
  // The file is written next to target under a temporary name and takes the
  // name target only when it is complete; a failure leaves nothing behind.
  Downloader(QUrl source, QString target, DownloadLimits limits = {}, QObject* parent = nullptr);
  ~Downloader() override;

 public slots:
  void Run();

 signals:
  // Bytes so far and the total (-1 while the server has not said).
  void Progress(qint64 received, qint64 total);
  // Once per run; problem says why when ok is false.
  void Finished(bool ok, const QString& problem);

 private:
  bool StatusIsSuccess() const;
  void WriteAvailable();
  qint64 DeclaredLength() const;
  // The most bytes this download may bring: the bound, or less when the
  // server said less.
  qint64 AllowedLength() const;
  void Done();
  void Fail(const QString& problem);

  QUrl source_;
  QString target_;
  DownloadLimits limits_;
  QNetworkAccessManager* manager_ = nullptr;
  QNetworkReply* reply_ = nullptr;
  std::unique_ptr<QSaveFile> file_;
  qint64 written_ = 0;
  bool finished_ = false;
};

}  // namespace update

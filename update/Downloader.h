#pragma once
// The download of the new program file. It runs on its own worker thread:
// Run() starts it there, progress and the outcome leave as signals, which Qt
// delivers to the window on the interface thread.

#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

namespace update {

class Downloader : public QObject {
  Q_OBJECT

 public:
  // The file is written next to target under a temporary name and takes the
  // name target only when it is complete; a failure leaves nothing behind.
  Downloader(QUrl source, QString target, QObject* parent = nullptr);
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
  void Done();
  void Fail(const QString& problem);

  QUrl source_;
  QString target_;
  QNetworkAccessManager* manager_ = nullptr;
  QNetworkReply* reply_ = nullptr;
  std::unique_ptr<QSaveFile> file_;
  qint64 written_ = 0;
  bool finished_ = false;
};

}  // namespace update

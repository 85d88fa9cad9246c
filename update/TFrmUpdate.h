#pragma once
// The online update window: loads the update information page, decides once
// per showing whether a newer version exists, then either reports that the
// program is up to date and closes, or shows the page, downloads the new
// program file on a worker thread and offers the restart. Where the system
// cannot start that file, it opens the download in the browser instead.

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "update/DownloadedProgram.h"
#include "update/Downloader.h"
#include "update/core/UpdateInfo.h"

class QNetworkAccessManager;
class QNetworkReply;
class QThread;
class QTimer;

namespace Ui {
class FrmUpdate;
}

namespace update {

class TFrmUpdate : public QWidget {
  Q_OBJECT

 public:
  // update_url: the update information page; program_folder: the folder the
  // new program file "update.exe" is written to and started from (empty when
  // there is none: then no update is downloaded).
  TFrmUpdate(const QString& update_url, const QString& program_folder, QWidget* parent = nullptr);
  ~TFrmUpdate() override;

  void SetUpdateUrl(const QString& update_url);
  const QString& UpdateTarget() const { return update_target_; }
  // Runs after the restart has started "update.exe"; the default ends the application.
  void SetQuitHandler(std::function<void()> quit);
  // From the start of an update to the end of its download.
  bool IsUpdating() const { return updating_; }
  // For the downloads started after the call (tests shorten them).
  void SetDownloadLimits(const DownloadLimits& limits) { download_limits_ = limits; }
  // Whether the downloaded program can be started here; the system's answer
  // unless set (tests of either behaviour).
  void SetRunsDownloadedProgram(bool runs) { runs_downloaded_program_ = runs; }
  // The pause between the start of an update and its download (tests shorten it).
  void SetPauseBeforeDownload(std::chrono::milliseconds pause) { pause_before_download_ = pause; }

 public slots:
  // A page load has completed (successfully or not): the decision follows
  // 250 ms later, once however many loads complete in between.
  void WebBrowser1NavigateComplete2();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void PageLoaded(QNetworkReply* reply);
  void Timer1Timer();
  bool ShowUpdatePage();
  void ReportUpToDate();
  void StartUpdate();
  void OpenDownloadInBrowser();
  // url: the download address; page_address: the page that named it.
  void StartDownload(const std::string& url, const std::string& page_address);
  void ShowDownloadProgress(qint64 received, qint64 total);
  void DownloadFinished(bool ok, const QString& problem);
  void Button1Click();
  void Button2Click();
  void SpeedButton3Click();

  std::unique_ptr<Ui::FrmUpdate> ui_;
  QTimer* Timer1 = nullptr;
  QNetworkAccessManager* page_loader_ = nullptr;
  QString update_url_;
  QString update_target_;
  QPoint message_point_;
  LoadedPage page_;
  QString page_html_;
  QPointer<QThread> worker_thread_;
  DownloadLimits download_limits_;
  std::chrono::milliseconds pause_before_download_ = std::chrono::seconds(1);
  bool runs_downloaded_program_ = SystemRunsDownloadedProgram();
  bool updating_ = false;
  std::function<void()> quit_;
};

}  // namespace update

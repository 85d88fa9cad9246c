#include "update/TFrmUpdate.h"

#include <QApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPalette>
#include <QShowEvent>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <climits>
#include <utility>

#include "text/Notices.h"
#include "text/WebAddresses.h"
#include "ui/core/Dialogs.h"
#include "ui/core/Shell.h"
#include "ui_FrmUpdate.h"
#include "update/ShownPage.h"
#include "update/UpdateBanner.h"
#include "update/core/PageView.h"
#include "text/WindowText.h"

namespace update {

namespace {

constexpr int kDecisionDelayMs = 250;
// A page that does not arrive within this time counts as not loaded.
constexpr int kPageTimeoutMs = 15000;
// The information page is a small HTML page; anything far larger is not it.
constexpr qint64 kMaxPageBytes = 4 * 1024 * 1024;

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

QFont CjkFont(const QString& first, int pixel_size) {
  QFont font;
  font.setFamilies({first, QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("WenQuanYi Micro Hei")});
  font.setPixelSize(pixel_size);
  return font;
}

// The page's own charset when it names one Qt knows, else UTF-8.
QString DecodePage(const QByteArray& data) {
  QStringDecoder decoder = QStringDecoder::decoderForHtml(data);
  if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Utf8);
  return decoder.decode(data);
}

}  // namespace

TFrmUpdate::TFrmUpdate(const QString& update_url, const QString& program_folder, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::FrmUpdate>()), update_url_(update_url) {
  ui_->setupUi(this);
  setFixedSize(651, 165);
  move(106, 130);
  setFont(CjkFont(QStringLiteral("宋体"), 15));
  QPalette background = palette();
  background.setColor(QPalette::Window, QColor(245, 250, 254));
  setPalette(background);
  setAutoFillBackground(true);
  ui_->LblHint->setFont(CjkFont(QStringLiteral("MS Sans Serif"), 13));

  ui_->SpeedButton1->hide();
  ui_->SpeedButton2->hide();
  ui_->SpeedButton3->hide();
  ui_->WebBrowser1->hide();
  ui_->Image1->setPixmap(DrawUpdateBanner(QSize(651, 165 - 13 - 16 - 37)));

  message_point_ = QPoint(x() + 80, y() + 30);
  // Never the working folder, which may be anybody's.
  if (!program_folder.isEmpty())
    update_target_ = QDir::toNativeSeparators(QDir(program_folder).filePath(QStringLiteral("update.exe")));

  Timer1 = new QTimer(this);
  Timer1->setSingleShot(true);
  Timer1->setInterval(kDecisionDelayMs);
  connect(Timer1, &QTimer::timeout, this, &TFrmUpdate::Timer1Timer);

  page_loader_ = new QNetworkAccessManager(this);
  connect(page_loader_, &QNetworkAccessManager::finished, this, &TFrmUpdate::PageLoaded);

  // Links on the shown page open in the user's browser, never inside this
  // window, and only when they lead to a web page.
  connect(ui_->WebBrowser1, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    const QUrl link = PageLink(QUrl(QString::fromStdString(page_.address)), url);
    if (!link.isEmpty()) ui::CurrentShell().OpenDocument(link.toString(QUrl::FullyEncoded).toStdString());
  });
  connect(ui_->SpeedButton1, &QToolButton::clicked, this, &TFrmUpdate::Button1Click);
  connect(ui_->SpeedButton2, &QToolButton::clicked, this, &TFrmUpdate::Button2Click);
  connect(ui_->SpeedButton3, &QToolButton::clicked, this, &TFrmUpdate::SpeedButton3Click);
}

TFrmUpdate::~TFrmUpdate() {
  // The worker's downloader removes its temporary file when its thread ends.
  if (worker_thread_) {
    worker_thread_->quit();
    worker_thread_->wait();
  }
}

void TFrmUpdate::SetUpdateUrl(const QString& update_url) { update_url_ = update_url; }

void TFrmUpdate::SetQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }

void TFrmUpdate::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TFrmUpdate::FormShow() {
  // A download under way goes on; showing the window again only shows it.
  if (updating_) return;
  if (update_url_.isEmpty()) ui::CurrentDialogs().ShowMessage("TarnwelCOMUpdate is null");
  QNetworkRequest request{QUrl(update_url_)};
  request.setTransferTimeout(kPageTimeoutMs);
  QNetworkReply* reply = page_loader_->get(request);
  connect(reply, &QNetworkReply::readyRead, reply, [reply] {
    if (reply->bytesAvailable() > kMaxPageBytes) reply->abort();
  });
}

void TFrmUpdate::PageLoaded(QNetworkReply* reply) {
  reply->deleteLater();
  page_ = {};
  page_html_.clear();
  if (reply->error() == QNetworkReply::NoError) {
    page_html_ = DecodePage(reply->readAll());
    page_.address = reply->url().toString().toStdString();
    page_.body = ExtractBody(page_html_.toStdString());
  }
  WebBrowser1NavigateComplete2();
}

void TFrmUpdate::WebBrowser1NavigateComplete2() {
  if (!Timer1->isActive()) Timer1->start();
}

void TFrmUpdate::Timer1Timer() {
  Timer1->stop();
  if (!ShowUpdatePage()) {
    ReportUpToDate();
    return;
  }
  if (!HasNewerVersion(page_))
    ReportUpToDate();
  else if (runs_downloaded_program_)
    StartUpdate();
  else
    OpenDownloadInBrowser();
}

bool TFrmUpdate::ShowUpdatePage() {
  const bool recognised = IsUpdatePage(page_);
  if (recognised) {
    // Its text and web links only: the view loads nothing the page names.
    // Markup past the view's bound would hold the window in the HTML reader
    // for minutes: its plain text then.
    if (FitsPageView(page_html_.toStdString()))
      ui_->WebBrowser1->setHtml(ShownPageHtml(page_html_, QUrl(QString::fromStdString(page_.address))));
    else
      ui_->WebBrowser1->setPlainText(QString::fromStdString(PageText(page_.body)));
    ui_->WebBrowser1->show();
    ui_->Image1->hide();
  } else {
    ui_->WebBrowser1->hide();
    ui_->Image1->show();
    ui_->PnlMain->show();
  }
  return recognised;
}

void TFrmUpdate::ReportUpToDate() {
  ui_->LblHint->setText(Text(text::kAlreadyNewest));
  ui::CurrentDialogs().ShowMessage(text::kAlreadyNewest, message_point_.x(), message_point_.y());
  close();
}

void TFrmUpdate::StartUpdate() {
  // Two downloads must never write the target at the same time.
  if (updating_) return;
  updating_ = true;
  ui_->SpeedButton3->hide();
  ui_->ProgressBar1->setRange(0, 100);
  ui_->ProgressBar1->setValue(0);
  ui_->LblHint->setText(Text(text::kUpdating));
  // The address is taken now; a later check cannot change the download under way.
  const std::string url = DownloadUrl;
  const std::string page_address = page_.address;
  QTimer::singleShot(pause_before_download_, this,
                     [this, url, page_address] { StartDownload(url, page_address); });
}

void TFrmUpdate::OpenDownloadInBrowser() {
  ui_->LblHint->setText(Text(text::kNewVersionInBrowser));
  // The browser gets a web address only; the product's page when the one
  // named is none, or would not be fetched from this page.
  const std::string url = DownloadUrl;
  ui::CurrentShell().OpenDocument(IsDownloadableUrl(url) && IsDownloadableFrom(url, page_.address)
                                      ? url
                                      : text::MakerPageAddress(text::kPathProductHome));
}

void TFrmUpdate::StartDownload(const std::string& url, const std::string& page_address) {
  if (update_target_.isEmpty()) {
    DownloadFinished(false, Text(text::kNoUpdateFolder.data()));
    return;
  }
  // The file is started as a program afterwards: only web addresses are fetched.
  const QUrl source(QString::fromStdString(url), QUrl::StrictMode);
  if (!IsDownloadableUrl(url) || !source.isValid() || source.host().isEmpty()) {
    DownloadFinished(false, Text(text::kDownloadAddressInvalid));
    return;
  }
  if (!IsDownloadableFrom(url, page_address)) {
    DownloadFinished(false, Text(text::kDownloadNeedsHttps));
    return;
  }
  auto* thread = new QThread;
  auto* downloader = new Downloader(source, update_target_, download_limits_);
  downloader->moveToThread(thread);
  connect(thread, &QThread::started, downloader, &Downloader::Run);
  connect(downloader, &Downloader::Progress, this, &TFrmUpdate::ShowDownloadProgress);
  connect(downloader, &Downloader::Finished, this, &TFrmUpdate::DownloadFinished);
  connect(downloader, &Downloader::Finished, thread, &QThread::quit);
  connect(thread, &QThread::finished, downloader, &QObject::deleteLater);
  connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  worker_thread_ = thread;
  thread->start();
}

void TFrmUpdate::ShowDownloadProgress(qint64 received, qint64 total) {
  if (total <= 0) return;  // size not known yet
  // The bar counts in int: large files are shown in coarser steps.
  const qint64 scale = total / INT_MAX + 1;
  ui_->ProgressBar1->setMaximum(static_cast<int>(total / scale));
  ui_->ProgressBar1->setValue(static_cast<int>(qMin(received, total) / scale));
}

void TFrmUpdate::DownloadFinished(bool ok, const QString& problem) {
  updating_ = false;
  if (ok) {
    // A server that never told the size has not moved the bar.
    ui_->ProgressBar1->setValue(ui_->ProgressBar1->maximum());
    ui_->LblHint->setText(Text(text::kUpdateDone));
    ui_->SpeedButton3->show();
  } else {
    ui_->LblHint->setText(Text(text::kUpdateFailed).arg(problem));
  }
}

void TFrmUpdate::Button1Click() { StartUpdate(); }

void TFrmUpdate::Button2Click() { close(); }

void TFrmUpdate::SpeedButton3Click() {
  // The program ends even when the new file could not be started.
  ui::CurrentShell().StartProgram(update_target_.toStdString(), /*hidden=*/true);
  if (quit_)
    quit_();
  else
    QApplication::quit();
}

}  // namespace update

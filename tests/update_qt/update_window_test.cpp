#include "update/TFrmUpdate.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QProgressBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ParamNames.h"
#include "RecordingDialogs.h"
#include "RecordingShell.h"
#include "TestHttpServer.h"
#include "update/NetworkProblem.h"
#include "update/ShownPage.h"
#include "update/core/UpdateInfo.h"

namespace {

using testsupport::RecordingDialogs;
using testsupport::RecordingShell;
using testsupport::TestHttpServer;
using update::TFrmUpdate;

const char* const kUpToDate = "已经是最新版本";
const char* const kUpdating = "软件正在更新中，请稍候...";
const char* const kDone = "更新完成，关闭后将自动重启软件";

bool WaitFor(const std::function<bool()>& done, int timeout_ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) return false;
    QTest::qWait(10);
  }
  return true;
}

QByteArray Html(const QByteArray& inner) {
  return "<html><head><meta charset=\"utf-8\"><title>Lom</title></head><body><div>" + inner +
         "</div></body></html>";
}

QByteArray Signature() { return QByteArray(update::UpdateSignature.data(), update::UpdateSignature.size()); }

QByteArray UpdatePage(const QByteArray& version, const QString& url = QString()) {
  QByteArray inner = "<p>" + Signature() + "</p><p>softversion_" + version + "_softversion</p>";
  if (!url.isNull()) inner += "<p>softurl_" + url.toUtf8() + "_softurl</p>";
  return Html(inner);
}

QByteArray Payload(int size) {
  QByteArray data(size, Qt::Uninitialized);
  for (int i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
  return data;
}

// The pause before a download, shortened: still long enough that the
// tests' polls every 10 ms see the update under way.
constexpr std::chrono::milliseconds kShortPause(100);

class UpdateWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    ASSERT_TRUE(folder_.isValid());
    previous_dialogs_ = ui::InstallDialogs(&dialogs_);
    previous_shell_ = ui::InstallShell(&shell_);
    shell_.startSucceeds = false;  // nothing could be started
    update::ResetUpdateInfo();
  }
  void TearDown() override {
    ui::InstallDialogs(previous_dialogs_);
    ui::InstallShell(previous_shell_);
    update::ResetUpdateInfo();
  }

  void ServePage(const QString& path, const QByteArray& html) {
    server_.Set(path, {.body = html, .content_type = "text/html; charset=utf-8"});
  }

  std::unique_ptr<TFrmUpdate> MakeWindow(const QString& page_path) {
    auto window = std::make_unique<TFrmUpdate>(page_path.isEmpty() ? QString() : server_.Url(page_path),
                                               folder_.path());
    window->SetQuitHandler([this] { ++quits_; });
    window->SetPauseBeforeDownload(kShortPause);
    // The download as a system that starts it does it; the other way has its own cases.
    window->SetRunsDownloadedProgram(true);
    return window;
  }

  template <typename T>
  static T* Control(TFrmUpdate& window, const char* name) {
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  static QString Hint(TFrmUpdate& window) { return Control<QLabel>(window, "LblHint")->text(); }

  QStringList FolderContent() const { return QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden); }
  bool WaitForMessages(std::size_t count) {
    return WaitFor([&] { return dialogs_.messages.size() >= count; });
  }

  TestHttpServer server_;
  QTemporaryDir folder_;
  RecordingDialogs dialogs_;
  RecordingShell shell_;
  int quits_ = 0;

 private:
  ui::Dialogs* previous_dialogs_ = nullptr;
  ui::Shell* previous_shell_ = nullptr;
};

TEST_F(UpdateWindowTest, UpToDateReportsAtMessagePointAndCloses) {
  ServePage("/update/ic/", UpdatePage("2.2", server_.Url("/files/new.exe")));
  auto window = MakeWindow("/update/ic/");
  window->show();
  ASSERT_TRUE(WaitForMessages(1));
  QTest::qWait(50);

  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0], kUpToDate);
  EXPECT_EQ(dialogs_.messagePlaces[0].x, 106 + 80);
  EXPECT_EQ(dialogs_.messagePlaces[0].y, 130 + 30);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(Hint(*window), QString::fromUtf8(kUpToDate));
  EXPECT_FLOAT_EQ(update::LatestVersion, 2.2f);
  EXPECT_EQ(Control<QProgressBar>(*window, "ProgressBar1")->value(), 0);
  EXPECT_EQ(server_.Requests("/files/new.exe"), 0);
  EXPECT_TRUE(FolderContent().isEmpty());
}

TEST_F(UpdateWindowTest, NewerVersionDownloadsAndRestarts) {
  const QByteArray payload = Payload(300000);
  server_.Set("/files/ic-new.exe", {.body = payload});
  ServePage("/update/ic/", UpdatePage("3.0", server_.Url("/files/ic-new.exe")));
  auto window = MakeWindow("/update/ic/");
  window->show();

  ASSERT_TRUE(WaitFor([&] { return Hint(*window) == QString::fromUtf8(kUpdating); }));
  EXPECT_TRUE(window->IsUpdating());
  EXPECT_TRUE(Control<QTextBrowser>(*window, "WebBrowser1")->isVisibleTo(window.get()));
  EXPECT_FALSE(Control<QLabel>(*window, "Image1")->isVisibleTo(window.get()));
  EXPECT_TRUE(Control<QTextBrowser>(*window, "WebBrowser1")->toPlainText().contains(QString::fromUtf8(Signature())));

  auto* restart = Control<QToolButton>(*window, "SpeedButton3");
  EXPECT_FALSE(restart->isVisibleTo(window.get()));
  ASSERT_TRUE(WaitFor([&] { return restart->isVisibleTo(window.get()); }, 8000)) << Hint(*window).toStdString();
  EXPECT_EQ(Hint(*window), QString::fromUtf8(kDone));
  EXPECT_FALSE(window->IsUpdating());
  EXPECT_TRUE(dialogs_.messages.empty());

  auto* bar = Control<QProgressBar>(*window, "ProgressBar1");
  EXPECT_EQ(bar->maximum(), payload.size());
  EXPECT_EQ(bar->value(), payload.size());

  EXPECT_EQ(FolderContent(), QStringList{"update.exe"});
  QFile file(QDir(folder_.path()).filePath("update.exe"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll() == payload);
  EXPECT_EQ(server_.Requests("/files/ic-new.exe"), 1);

  // The program ends even though the fake shell could not start the file.
  QTest::mouseClick(restart, Qt::LeftButton);
  ASSERT_EQ(shell_.started.size(), 1u);
  EXPECT_EQ(shell_.started[0].first, QDir::toNativeSeparators(file.fileName()).toStdString());
  EXPECT_TRUE(shell_.started[0].second);
  EXPECT_EQ(quits_, 1);
}

#ifndef Q_OS_WIN
// The page names a picture, a style sheet and a background that are pipes:
// reading any of them would block the test for ever.
TEST_F(UpdateWindowTest, ShownPageLoadsNothingAndLinksOnlyToTheWeb) {
  const QByteArray pipe = QFile::encodeName(QDir(folder_.path()).filePath("pipe"));
  ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
  const QByteArray file_url = "file://" + pipe;
  ServePage("/update/ic/",
            "<html><head><meta charset=\"utf-8\"><link rel=\"stylesheet\" href=\"" + file_url +
                "\"></head><body background=\"" + file_url + "\"><p>" + Signature() +
                "</p><p>softversion_2.2_softversion</p><p><img src=\"" + file_url +
                "\"><img src=\"pic.png\"><a href=\"readme.txt\">说明</a> <a href=\"" + file_url +
                "\">管道</a> <a href=\"https://www.example.com/x\">主页</a></p></body></html>");
  auto window = MakeWindow("/update/ic/");
  window->show();
  ASSERT_TRUE(WaitForMessages(1));

  auto* view = Control<QTextBrowser>(*window, "WebBrowser1");
  EXPECT_TRUE(view->toPlainText().contains(QString::fromUtf8("说明 管道 主页"))) << view->toPlainText().toStdString();
  EXPECT_FALSE(view->toHtml().contains("<img"));
  QStringList links;
  for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isAnchor()) links << it.fragment().charFormat().anchorHref();
  EXPECT_EQ(links, QStringList({server_.Url("/update/ic/readme.txt"), "https://www.example.com/x"}));
  EXPECT_EQ(server_.Requests("/update/ic/pic.png"), 0);

  // A click opens web addresses only, resolved against the page's address.
  emit view->anchorClicked(QUrl("readme.txt"));
  emit view->anchorClicked(QUrl(QString::fromUtf8(file_url)));
  emit view->anchorClicked(QUrl("javascript:alert(1)"));
  EXPECT_EQ(shell_.opened, std::vector<std::string>{server_.Url("/update/ic/readme.txt").toStdString()});
}
#endif

// A host is not enough: only the web's schemes make a link.
TEST(PageLink, OnlyHttpAndHttpsAddressesWithAHostAreLinks) {
  const QUrl page("http://www.example.com/update/");
  for (const char* refused : {"ftp://host/x.exe", "file://server/share/x.exe", "http:///x.exe"})
    EXPECT_TRUE(update::PageLink(page, QUrl(refused)).isEmpty()) << refused;
  EXPECT_EQ(update::PageLink(page, QUrl("x.exe")), QUrl("http://www.example.com/update/x.exe"));
  EXPECT_EQ(update::PageLink(page, QUrl("https://host/x.exe")), QUrl("https://host/x.exe"));
}

// The status line is Chinese whatever Qt reports; a time-out reaches the
// download as a cancelled reply.
TEST(NetworkProblemText, EveryFailureIsToldInChinese) {
  EXPECT_EQ(update::NetworkProblemText(QNetworkReply::OperationCanceledError, 0), QString::fromUtf8("连接超时"));
  const QMetaEnum errors = QMetaEnum::fromType<QNetworkReply::NetworkError>();
  for (int i = 0; i < errors.keyCount(); ++i) {
    const auto error = static_cast<QNetworkReply::NetworkError>(errors.value(i));
    if (error == QNetworkReply::NoError) continue;
    const QString text = update::NetworkProblemText(error, 0);
    EXPECT_FALSE(text.contains(QRegularExpression("[A-Za-z]"))) << errors.key(i) << ": " << text.toStdString();
  }
}

// 30,000 nested tables once held the window in the HTML reader for minutes:
// such a page is shown as its plain text, at once, and the update goes on.
TEST_F(UpdateWindowTest, DeeplyNestedPageIsShownAsPlainTextAndTheWindowStaysUsable) {
  server_.Set("/files/ic-new.exe", {.body = Payload(1000)});
  QByteArray nested = "<p>" + Signature() + "</p><p>softversion_3.0_softversion</p><p>softurl_" +
                      server_.Url("/files/ic-new.exe").toUtf8() + "_softurl</p>";
  nested += QByteArray("<table><tr><td>").repeated(30000) + "末尾";
  ServePage("/update/ic/", Html(nested));
  auto window = MakeWindow("/update/ic/");
  auto* view = Control<QTextBrowser>(*window, "WebBrowser1");
  window->show();
  // A guard, not a measure: only a view that never returns misses it.
  ASSERT_TRUE(WaitFor([&] { return view->isVisibleTo(window.get()); }, 20000));
  const QString shown = view->toPlainText();
  EXPECT_TRUE(shown.startsWith(QString::fromUtf8(Signature()))) << shown.left(200).toStdString();
  EXPECT_TRUE(shown.endsWith(QString::fromUtf8("末尾")));

  auto* restart = Control<QToolButton>(*window, "SpeedButton3");
  ASSERT_TRUE(WaitFor([&] { return restart->isVisibleTo(window.get()); }, 8000)) << Hint(*window).toStdString();
  EXPECT_EQ(Hint(*window), QString::fromUtf8(kDone));
}

TEST_F(UpdateWindowTest, PageWithoutSignatureIsNotShown) {
  ServePage("/update/ic/", Html("softversion_9.0_softversion softurl_" + server_.Url("/files/x.exe").toUtf8() +
                                "_softurl"));
  auto window = MakeWindow("/update/ic/");
  window->show();
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_EQ(dialogs_.messages[0], kUpToDate);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(Control<QLabel>(*window, "Image1")->isVisibleTo(window.get()));
  EXPECT_FALSE(Control<QTextBrowser>(*window, "WebBrowser1")->isVisibleTo(window.get()));
  EXPECT_EQ(update::LatestVersion, 0.0f);
  QTest::qWait(100);
  EXPECT_EQ(server_.Requests("/files/x.exe"), 0);
}

TEST_F(UpdateWindowTest, PageThatDoesNotLoadCountsAsUpToDate) {
  auto window = MakeWindow("/update/missing/");
  window->show();
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_EQ(dialogs_.messages[0], kUpToDate);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(UpdateWindowTest, OversizedPageIsNotRead) {
  server_.Set("/files/new.exe", {.body = Payload(10)});
  ServePage("/update/ic/", UpdatePage("3.0", server_.Url("/files/new.exe")) + QByteArray(5 << 20, ' '));
  auto window = MakeWindow("/update/ic/");
  window->show();
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_EQ(dialogs_.messages[0], kUpToDate);
  EXPECT_FALSE(window->IsUpdating());
}

TEST_F(UpdateWindowTest, EmptyAddressIsReportedAndTriedAnyway) {
  auto window = MakeWindow(QString());
  window->show();
  ASSERT_TRUE(WaitForMessages(2));
  EXPECT_EQ(dialogs_.messages[0], "TarnwelCOMUpdate is null");
  EXPECT_EQ(dialogs_.messages[1], kUpToDate);
}

TEST_F(UpdateWindowTest, EachShowingLoadsAndDecidesAgain) {
  ServePage("/update/ic/", UpdatePage("2.2"));
  auto window = MakeWindow("/update/ic/");
  window->show();
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_FALSE(window->isVisible());
  window->show();
  ASSERT_TRUE(WaitForMessages(2));
  QTest::qWait(400);
  EXPECT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[1], kUpToDate);
  EXPECT_EQ(server_.Requests("/update/ic/"), 2);
}

TEST_F(UpdateWindowTest, SeveralCompletionsLeadToOneDecision) {
  ServePage("/update/ic/", UpdatePage("2.2"));
  auto window = MakeWindow("/update/ic/");
  window->show();
  ASSERT_TRUE(WaitForMessages(1));
  window->WebBrowser1NavigateComplete2();
  QTest::qWait(100);
  window->WebBrowser1NavigateComplete2();
  window->WebBrowser1NavigateComplete2();
  QTest::qWait(600);
  EXPECT_EQ(dialogs_.messages.size(), 2u);
}

TEST_F(UpdateWindowTest, ShowingAgainDuringUpdateStartsNoSecondDownload) {
  server_.Set("/files/ic-new.exe", {.body = Payload(1000)});
  ServePage("/update/ic/", UpdatePage("3.0", server_.Url("/files/ic-new.exe")));
  auto window = MakeWindow("/update/ic/");
  window->show();
  ASSERT_TRUE(WaitFor([&] { return window->IsUpdating(); }));
  window->close();
  EXPECT_FALSE(window->isVisible());
  window->show();
  EXPECT_TRUE(window->isVisible());
  auto* restart = Control<QToolButton>(*window, "SpeedButton3");
  ASSERT_TRUE(WaitFor([&] { return restart->isVisibleTo(window.get()); }, 8000));
  QTest::qWait(400);
  EXPECT_EQ(server_.Requests("/update/ic/"), 1);
  EXPECT_EQ(server_.Requests("/files/ic-new.exe"), 1);
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(FolderContent(), QStringList{"update.exe"});
}

TEST_F(UpdateWindowTest, UnwritableProgramFolderFailsCleanly) {
  server_.Set("/files/ic-new.exe", {.body = Payload(1000)});
  ServePage("/update/ic/", UpdatePage("3.0", server_.Url("/files/ic-new.exe")));
  TFrmUpdate window(server_.Url("/update/ic/"), QDir(folder_.path()).filePath("gone"));
  window.SetRunsDownloadedProgram(true);
  window.SetPauseBeforeDownload(kShortPause);
  window.show();
  ASSERT_TRUE(WaitFor([&] { return window.IsUpdating(); }));
  ASSERT_TRUE(WaitFor([&] { return !window.IsUpdating(); }, 8000));
  EXPECT_TRUE(Hint(window).startsWith(QString::fromUtf8("更新下载失败"))) << Hint(window).toStdString();
  EXPECT_FALSE(Control<QToolButton>(window, "SpeedButton3")->isVisibleTo(&window));
  EXPECT_TRUE(FolderContent().isEmpty());
}

// A user with no folder of their own gets no download, least of all into
// the working folder.
TEST_F(UpdateWindowTest, NoProgramFolderDownloadsNothing) {
  server_.Set("/files/ic-new.exe", {.body = Payload(1000)});
  ServePage("/update/ic/", UpdatePage("3.0", server_.Url("/files/ic-new.exe")));
  TFrmUpdate window(server_.Url("/update/ic/"), QString());
  window.SetRunsDownloadedProgram(true);
  window.SetPauseBeforeDownload(kShortPause);
  window.show();
  ASSERT_TRUE(WaitFor([&] { return window.IsUpdating(); }));
  ASSERT_TRUE(WaitFor([&] { return !window.IsUpdating(); }, 8000));
  EXPECT_EQ(Hint(window), QString::fromUtf8("更新下载失败（没有可保存更新文件的文件夹），请稍后再试"));
  EXPECT_EQ(server_.Requests("/files/ic-new.exe"), 0);
  EXPECT_FALSE(QFile::exists(QStringLiteral("update.exe")));
}

TEST_F(UpdateWindowTest, WindowDestroyedDuringDownloadLeavesNoFile) {
  server_.Set("/files/ic-new.exe", {.body = Payload(4000), .declared_length = 100000, .hold_open = true});
  ServePage("/update/ic/", UpdatePage("3.0", server_.Url("/files/ic-new.exe")));
  auto window = MakeWindow("/update/ic/");
  window->show();
  auto* bar = Control<QProgressBar>(*window, "ProgressBar1");
  ASSERT_TRUE(WaitFor([&] { return bar->value() == 4000; }, 8000)) << bar->value() << "/" << bar->maximum();
  EXPECT_EQ(bar->maximum(), 100000);
  EXPECT_TRUE(window->IsUpdating());
  window.reset();
  QTest::qWait(50);
  EXPECT_TRUE(FolderContent().isEmpty()) << FolderContent().join(' ').toStdString();
}

// A port on 127.0.0.1 where nothing listens.
quint16 ClosedPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

enum class FileServed {
  NotFound, CutOff, Refused, FileScheme, FtpScheme, RedirectToFile,
  // Past the size bound (shortened but for the last), told or not, and a
  // server that never stops sending a byte now and then (the time bound shortened).
  LongerThanTheBound, SaidLongerThanTheBound, SaidLongerThanTheProgramsBound, NeverEnds
};

void PrintTo(FileServed served, std::ostream* os) {
  static const char* const names[] = {"NotFound",           "CutOff",          "Refused",
                                      "FileScheme",         "FtpScheme",       "RedirectToFile",
                                      "LongerThanTheBound", "SaidLongerThanTheBound", "SaidLongerThanTheProgramsBound",
                                      "NeverEnds"};
  *os << names[static_cast<int>(served)];
}

std::string FileServedName(const ::testing::TestParamInfo<FileServed>& info) {
  return ::testing::PrintToString(info.param);
}

class FailedDownload : public UpdateWindowTest, public ::testing::WithParamInterface<FileServed> {};

TEST_P(FailedDownload, ShowsStatusAndLeavesNothingBehind) {
  QString url = server_.Url("/files/ic-new.exe");
  update::DownloadLimits limits;
  switch (GetParam()) {
    case FileServed::NotFound:
      break;
    case FileServed::CutOff:
      server_.Set("/files/ic-new.exe", {.body = Payload(5000), .declared_length = 9000});
      break;
    case FileServed::Refused:
      url = QStringLiteral("http://127.0.0.1:%1/ic-new.exe").arg(ClosedPort());
      break;
    case FileServed::FileScheme:
      url = QStringLiteral("file://") + folder_.path() + "/../ic-new.exe";
      break;
    case FileServed::FtpScheme:
      url = QStringLiteral("ftp://127.0.0.1/ic-new.exe");
      break;
    case FileServed::RedirectToFile:
      server_.Set("/files/ic-new.exe", {.status = 302, .location = "file:///etc/hostname"});
      break;
    case FileServed::LongerThanTheBound:
      limits.max_bytes = 64 * 1024;
      server_.Set("/files/ic-new.exe", {.body = Payload(200000), .no_length = true});
      break;
    case FileServed::SaidLongerThanTheBound:
      // Only the length said: the rest would never come.
      limits.max_bytes = 64 * 1024;
      server_.Set("/files/ic-new.exe", {.body = Payload(1000), .declared_length = 64 * 1024 + 1, .hold_open = true});
      break;
    case FileServed::SaidLongerThanTheProgramsBound:
      server_.Set("/files/ic-new.exe", {.body = Payload(1000), .declared_length = 300000000, .hold_open = true});
      break;
    case FileServed::NeverEnds:
      limits.max_time = std::chrono::milliseconds(1500);
      server_.Set("/files/ic-new.exe", {.body = Payload(1000), .no_length = true, .hold_open = true, .drip_ms = 20});
      break;
  }
  ServePage("/update/ic/", UpdatePage("3.0", url));
  auto window = MakeWindow("/update/ic/");
  window->SetDownloadLimits(limits);
  window->show();
  ASSERT_TRUE(WaitFor([&] { return window->IsUpdating(); }));
  ASSERT_TRUE(WaitFor([&] { return !window->IsUpdating(); }, 8000));

  static const char* const reasons[] = {"服务器返回错误 404",        "连接被服务器中断",
                                        "无法连接到服务器",          "下载地址无效",
                                        "下载地址无效",              "下载地址被拒绝",
                                        "文件过大（超过 65536 字节）", "文件过大（超过 65536 字节）",
                                        "文件过大（超过 268435456 字节）", "下载用时过长"};
  const QString expected = QString::fromUtf8("更新下载失败（") + QString::fromUtf8(reasons[static_cast<int>(GetParam())]);
  EXPECT_TRUE(Hint(*window).startsWith(expected)) << Hint(*window).toStdString();
  EXPECT_FALSE(Control<QToolButton>(*window, "SpeedButton3")->isVisibleTo(window.get()));
  EXPECT_TRUE(FolderContent().isEmpty()) << FolderContent().join(' ').toStdString();
  EXPECT_TRUE(dialogs_.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(UpdateWindow, FailedDownload,
                         ::testing::Values(FileServed::NotFound, FileServed::CutOff, FileServed::Refused,
                                           FileServed::FileScheme, FileServed::FtpScheme,
                                           FileServed::RedirectToFile, FileServed::LongerThanTheBound,
                                           FileServed::SaidLongerThanTheBound,
                                           FileServed::SaidLongerThanTheProgramsBound, FileServed::NeverEnds),
                         FileServedName);

// A system that cannot start the downloaded program is sent to the download
// in the browser: nothing is fetched, only a web address is opened, and the
// program goes on.
struct BrowserCase {
  const char* name;
  const char* download;  // a path on the test server, or a whole address
  bool opensTheDownload;  // else the product's page
};

void PrintTo(const BrowserCase& c, std::ostream* os) { *os << c.name; }

class NewVersionInTheBrowser : public UpdateWindowTest, public ::testing::WithParamInterface<BrowserCase> {};

TEST_P(NewVersionInTheBrowser, NothingIsDownloadedAndTheProgramGoesOn) {
  const BrowserCase& c = GetParam();
  const QString url = c.download[0] == '/' ? server_.Url(c.download) : QString::fromUtf8(c.download);
  server_.Set("/files/ic-new.exe", {.body = Payload(1000)});
  ServePage("/update/ic/", UpdatePage("3.0", url));
  auto window = MakeWindow("/update/ic/");
  window->SetRunsDownloadedProgram(false);
  window->show();
  ASSERT_TRUE(WaitFor([&] { return !shell_.opened.empty(); })) << Hint(*window).toStdString();
  QTest::qWait(2 * kShortPause.count());

  EXPECT_EQ(shell_.opened, std::vector<std::string>{c.opensTheDownload ? url.toStdString()
                                                                         : "https://www.example.com/ic/"});
  EXPECT_EQ(Hint(*window), QString::fromUtf8("发现新版本，已在浏览器中打开下载地址"));
  EXPECT_FALSE(window->IsUpdating());
  EXPECT_EQ(server_.Requests("/files/ic-new.exe"), 0);
  EXPECT_TRUE(FolderContent().isEmpty()) << FolderContent().join(' ').toStdString();
  EXPECT_TRUE(shell_.started.empty());
  EXPECT_EQ(quits_, 0);
  EXPECT_TRUE(dialogs_.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(UpdateWindow, NewVersionInTheBrowser,
                         ::testing::Values(BrowserCase{"NamedDownload", "/files/ic-new.exe", true},
                                           BrowserCase{"FileAddress", "file:///etc/hostname", false},
                                           BrowserCase{"NoAddress", "", false}),
                         testsupport::ByName{});

}  // namespace

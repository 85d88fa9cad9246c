#pragma once
// A tiny HTTP server on 127.0.0.1 for the update window tests: fixed answers
// per path, one request per connection, a count of requests per path.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace testsupport {

class TestHttpServer {
 public:
  struct Answer {
    int status = 200;
    QByteArray body{};
    QByteArray content_type = "application/octet-stream";
    // Content-Length sent when >= 0 (a larger value than the body gives a cut-off file).
    qint64 declared_length = -1;
    // No Content-Length at all: the body ends when the connection does.
    bool no_length = false;
    // Keeps the connection open after the body: a download that never ends.
    bool hold_open = false;
    // With hold_open: one more byte every this many milliseconds, for ever.
    int drip_ms = 0;
    // Sent as a Location header (with a 3xx status).
    QByteArray location{};
  };

  TestHttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) Serve(socket);
    });
  }

  bool IsListening() const { return server_.isListening(); }
  QString Url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
  }
  void Set(const QString& path, Answer answer) { answers_[path] = std::move(answer); }
  int Requests(const QString& path) const { return requests_.value(path); }

 private:
  void Serve(QTcpSocket* socket) {
    auto request = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
      if (request->contains("\r\n\r\n")) return;  // answered already
      request->append(socket->readAll());
      if (!request->contains("\r\n\r\n")) return;
      const QList<QByteArray> line = request->left(request->indexOf("\r\n")).split(' ');
      const QString path = line.size() > 1 ? QString::fromUtf8(line[1]) : QString();
      ++requests_[path];
      Answer answer = answers_.value(path, Answer{.status = 404, .body = "not found", .content_type = "text/plain"});
      const qint64 length = answer.declared_length >= 0 ? answer.declared_length : answer.body.size();
      QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) +
                         (answer.status == 200 ? " OK" : " Error") + "\r\nContent-Type: " +
                         answer.content_type + "\r\n" +
                         (answer.no_length ? QByteArray() : "Content-Length: " + QByteArray::number(length) + "\r\n") +
                         "Connection: close\r\n" +
                         (answer.location.isEmpty() ? QByteArray() : "Location: " + answer.location + "\r\n") +
                         "\r\n" + answer.body;
      socket->write(reply);
      if (!answer.hold_open) {
        socket->disconnectFromHost();
      } else if (answer.drip_ms > 0) {
        auto* drip = new QTimer(socket);
        QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write("\0", 1); });
        drip->start(answer.drip_ms);
      }
    });
  }

  QTcpServer server_;
  QHash<QString, Answer> answers_;
  QHash<QString, int> requests_;
};

}  // namespace testsupport

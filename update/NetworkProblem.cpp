#include "update/NetworkProblem.h"

namespace update {

namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

QString NetworkProblemText(QNetworkReply::NetworkError error, int http_status) {
  // A redirect still standing at the end is one that was not followed: to a
  // local file, or from https to http.
  if (http_status >= 300 && http_status <= 399) return Text("下载地址被拒绝");
  if (http_status != 0 && (http_status < 200 || http_status > 299))
    return Text("服务器返回错误 %1").arg(http_status);
  switch (error) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
      return Text("找不到服务器");
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
      return Text("无法连接到服务器");
    case QNetworkReply::RemoteHostClosedError:
      return Text("连接被服务器中断");
    // A transfer time-out ends the reply as cancelled.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::ProxyTimeoutError:
      return Text("连接超时");
    case QNetworkReply::SslHandshakeFailedError:
      return Text("安全连接失败");
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
      return Text("下载地址被拒绝");
    default:
      return Text("网络错误（代码 %1）").arg(static_cast<int>(error));
  }
}

}  // namespace update

#include "update/NetworkProblem.h"
#include "text/WindowText.h"

namespace update {

namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

QString NetworkProblemText(QNetworkReply::NetworkError error, int http_status) {
  // A redirect still standing at the end is one that was not followed: to a
  // local file, or from https to http.
  if (http_status >= 300 && http_status <= 399) return Text(text::kDownloadRefused);
  if (http_status != 0 && (http_status < 200 || http_status > 299))
    return Text(text::kServerError).arg(http_status);
  switch (error) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
      return Text(text::kServerNotFound);
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
      return Text(text::kCannotConnect);
    case QNetworkReply::RemoteHostClosedError:
      return Text(text::kConnectionClosed);
    // A transfer time-out ends the reply as cancelled.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::ProxyTimeoutError:
      return Text(text::kConnectionTimedOut);
    case QNetworkReply::SslHandshakeFailedError:
      return Text(text::kSecureConnectionFailed);
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
      return Text(text::kDownloadRefused);
    default:
      return Text(text::kNetworkError).arg(static_cast<int>(error));
  }
}

}  // namespace update

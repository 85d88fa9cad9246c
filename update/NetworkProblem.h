#pragma once
// Why a download failed, in the words of the update window's Chinese status
// line, for the failures users meet: no connection, time-out, an error
// answer of the server, an address that is refused.

#include <QNetworkReply>
#include <QString>

namespace update {

// http_status: the server's answer (0 when none came). A redirect (3xx) left
// at the end was refused; any other answer outside 200-299 is reported as the
// server's error with its code.
QString NetworkProblemText(QNetworkReply::NetworkError error, int http_status);

}  // namespace update

#pragma once
// What the update window shows of the update information page: its text and
// its web links, nothing else. The page comes from the network, so nothing
// it names (pictures, style sheets, local files) is ever loaded for it, and
// its links lead only to web pages.

#include <QString>
#include <QUrl>

namespace update {

// link resolved against the page's address; empty unless the result is an
// http or https address with a host.
QUrl PageLink(const QUrl& page_address, const QUrl& link);

// HTML of the page's text, paragraph by paragraph, with the links that
// PageLink accepts (absolute) and no pictures, styles or other links. The
// page is read by Qt's HTML reader: callers keep to FitsPageView.
QString ShownPageHtml(const QString& page_html, const QUrl& page_address);

}  // namespace update

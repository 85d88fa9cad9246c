#include "update/ShownPage.h"

#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

namespace update {

namespace {

// Parses the page without loading anything it names: every resource comes
// back empty, never from a file or the network.
class NothingLoadedDocument : public QTextDocument {
 protected:
  QVariant loadResource(int type, const QUrl&) override {
    // A blank picture rather than none: for a null one Qt reads the file itself.
    if (type == QTextDocument::ImageResource) {
      QImage blank(1, 1, QImage::Format_ARGB32_Premultiplied);
      blank.fill(Qt::transparent);
      return blank;
    }
    return QString();
  }
};

}  // namespace

QUrl PageLink(const QUrl& page_address, const QUrl& link) {
  const QUrl resolved = page_address.resolved(link);
  const QString scheme = resolved.scheme().toLower();
  if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || resolved.host().isEmpty())
    return {};
  return resolved;
}

QString ShownPageHtml(const QString& page_html, const QUrl& page_address) {
  NothingLoadedDocument page;
  page.setHtml(page_html);
  QString shown;
  for (QTextBlock block = page.begin(); block.isValid(); block = block.next()) {
    QString paragraph;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QTextCharFormat format = fragment.charFormat();
      if (format.isImageFormat()) continue;
      QString text = fragment.text();
      text.remove(QChar::ObjectReplacementCharacter);
      text = text.toHtmlEscaped().replace(QChar::LineSeparator, QLatin1String("<br>"));
      const QUrl link = format.isAnchor() ? PageLink(page_address, QUrl(format.anchorHref())) : QUrl();
      if (link.isEmpty())
        paragraph += text;
      else
        paragraph += QLatin1String("<a href=\"") + link.toString(QUrl::FullyEncoded).toHtmlEscaped() +
                     QLatin1String("\">") + text + QLatin1String("</a>");
    }
    if (!paragraph.trimmed().isEmpty()) shown += QLatin1String("<p>") + paragraph + QLatin1String("</p>");
  }
  return shown;
}

}  // namespace update

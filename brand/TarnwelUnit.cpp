#include "brand/TarnwelUnit.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdint>
#include <span>
#include <string>

#include "ui/core/ShellActions.h"
#include "brand/aboutus.h"
#include "imaging/Bitmap.h"
#include "platform/FileIO.h"
#include "text/InterfaceText.h"
#include "text/WebAddresses.h"
#include "ui/core/ProgramFolders.h"
#include "ui/WindowHelpers.h"
#include "update/TFrmUpdate.h"
#include "text/WindowText.h"
#include "ui/core/WindowEdge.h"

namespace brand {

namespace {

// Colour values hold red in the low byte and blue in the high byte.
QColor ColorValue(std::uint32_t value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

constexpr std::uint32_t kPanelColor = 16777209;
constexpr std::uint32_t kLinkAreaColor = 16710389;
constexpr std::uint32_t kHeadingColor = 6376473;
constexpr std::uint32_t kLinkColor = 8547141;
constexpr std::uint32_t kLinkHighlightColor = 32768;

constexpr int kPanelWidth = 120;
constexpr int kPanelHeight = 152;
constexpr int kLinkAreaHeight = 85;
constexpr int kButtonWidth = 122;
constexpr int kLinkLeft = 18;
constexpr int kLinkTops[4] = {17, 34, 51, 68};

const char* const kTagProperty = "tag";

struct PartnerLink {
  const char* caption;
  int tag;
};
constexpr PartnerLink kPartnerLinks[4] = {
    {text::kLinkNews, 1}, {text::kLinkGames, 2}, {text::kLinkShopping, 3}, {text::kLinkForum, 4}};

struct MenuItem {
  const char* caption;  // nullptr: a separator
  int tag;
};
constexpr MenuItem kMenuItems[5] = {
    {text::kMenuDemo, 1}, {text::kMenuHomePage, 2}, {nullptr, 0}, {text::kMenuDonate, 3}, {text::kMenuAbout, 4}};

// The side bar's font ("新宋体", or the installed CJK font) at a size in points.
QFont LinkFont(int points, bool bold, bool underline) {
  QFont font = ui::CjkFont(QStringLiteral("新宋体"), 13);
  font.setPointSize(points);
  font.setBold(bold);
  font.setUnderline(underline);
  return font;
}

void SetTextColor(QWidget* widget, QColor colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

}  // namespace

TPnlTarnwel::TPnlTarnwel(QWidget* host, const std::filesystem::path& data_folder) : QFrame(host) {
  setObjectName(QStringLiteral("PnlTarnwel"));
  try {
    BuildPanel();
    BuildButtons(host);
    BuildLinksMenu();
    ArrangeSideButtons(0, 3, 3);
    WriteUpdateNote(data_folder);
  } catch (...) {
    // The side bar is an extra: whatever was built stays, the rest is left out.
  }
}

TPnlTarnwel::~TPnlTarnwel() = default;

void TPnlTarnwel::BuildPanel() {
  setFrameShape(QFrame::NoFrame);
  setFixedSize(kPanelWidth, kPanelHeight);
  ui::SetBackgroundColor(this, ColorValue(kPanelColor));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  picture_ = new QLabel(this);
  picture_->setObjectName(QStringLiteral("ImgTarnwel"));
  picture_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  picture_->setToolTip(QString::fromUtf8(text::kLinksPictureTip));
  img::Bitmap jpeg;
  if (ui::LoadJpegResource(jpeg, "Tarnwel")) picture_->setPixmap(QPixmap::fromImage(ui::ToQImage(jpeg)));
  picture_->installEventFilter(this);
  layout->addWidget(picture_, 1);

  auto* linkArea = new QWidget(this);
  linkArea->setObjectName(QStringLiteral("PnlLinks"));
  linkArea->setFixedHeight(kLinkAreaHeight);
  ui::SetBackgroundColor(linkArea, ColorValue(kLinkAreaColor));
  layout->addWidget(linkArea);

  auto* heading = new QLabel(QString::fromUtf8(text::kLinksHeading), linkArea);
  heading->setObjectName(QStringLiteral("LblHeading"));
  heading->setFont(LinkFont(10, true, false));
  SetTextColor(heading, ColorValue(kHeadingColor));
  heading->move(20, 0);
  heading->adjustSize();

  for (int i = 0; i < 4; ++i) {
    auto* link = new QLabel(QString::fromUtf8(kPartnerLinks[i].caption), linkArea);
    link->setObjectName(QStringLiteral("LblLink%1").arg(kPartnerLinks[i].tag));
    link->setProperty(kTagProperty, kPartnerLinks[i].tag);
    link->move(kLinkLeft, kLinkTops[i]);
    UnhighlightLink(link);
    link->installEventFilter(this);
    links_[i] = link;
  }
}

void TPnlTarnwel::BuildButtons(QWidget* host) {
  if (!host) return;
  struct Button {
    QToolButton** field;
    const char* name;
    void (TPnlTarnwel::*click)();
  };
  const Button buttons[3] = {{&btnHelp_, "BtnHelp", &TPnlTarnwel::ShowLinksMenu},
                             {&btnOnlineUpdate_, "BtnOnlineUpdate", &TPnlTarnwel::OpenUpdateWindow},
                             {&btnExit_, "BtnExit", &TPnlTarnwel::ExitProgram}};
  for (const Button& b : buttons) {
    auto* button = new QToolButton(host);
    button->setObjectName(QString::fromLatin1(b.name));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(0, 0, kButtonWidth, text::SideButtonHeight);
    ui::SetButtonGlyph(button, b.name);
    connect(button, &QToolButton::clicked, this, b.click);
    button->show();
    *b.field = button;
  }
}

void TPnlTarnwel::BuildLinksMenu() {
  linksMenu_ = new QMenu(this);
  linksMenu_->setObjectName(QStringLiteral("PmLinks"));
  for (const MenuItem& item : kMenuItems) {
    QAction* action = item.caption ? linksMenu_->addAction(QString::fromUtf8(item.caption))
                                   : linksMenu_->addSeparator();
    action->setProperty(kTagProperty, item.tag);
  }
  // Qt never triggers a separator, so every other item reaches OpenMenuLink.
  connect(linksMenu_, &QMenu::triggered, this, &TPnlTarnwel::OpenMenuLink);
}

void TPnlTarnwel::WriteUpdateNote(const std::filesystem::path& data_folder) {
  try {
    const std::filesystem::path folder = data_folder.empty() ? ui::ProgramDataFolder() : data_folder;
    if (folder.empty()) return;  // no folder of the user's own: no note anywhere else
    const std::string line =
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString() + "\r\n";
    img::WriteFileAtomically(folder / "update.txt",
                             std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
    dataFolder_ = folder;
  } catch (...) {
    // The note is for the updater; without it the program runs as before.
  }
}

void TPnlTarnwel::ArrangeSideButtons(int x, int y, int gap) {
  int top = y;
  for (QToolButton* button : {btnHelp_, btnOnlineUpdate_, btnExit_}) {
    if (!button) continue;
    button->move(x, top);
    top = button->y() + button->height() + gap;
  }
  move(x + 3, top);
}

QLabel* TPnlTarnwel::Link(int tag) const {
  return tag >= 1 && tag <= 4 ? links_[tag - 1] : nullptr;
}

void TPnlTarnwel::ShowLinksMenu() {
  if (linksMenu_) linksMenu_->popup(QCursor::pos());
}

void TPnlTarnwel::OpenUpdateWindow() {
  try {
    if (!updateWindow_) {
      const std::filesystem::path folder = dataFolder_.empty() ? ui::ProgramDataFolder() : dataFolder_;
      updateWindow_ = new update::TFrmUpdate(QString::fromStdString(text::UrlUpdateInfo),
                                             QString::fromStdString(img::PathToUtf8(folder)), this);
      // The restart after a download ends the program the normal way.
      updateWindow_->SetQuitHandler([this] { ExitProgram(); });
    }
    updateWindow_->show();
    updateWindow_->raise();
    updateWindow_->activateWindow();
  } catch (...) {
    ui::SwallowAtEdge("TPnlTarnwel::OpenUpdateWindow");
  }
}

void TPnlTarnwel::ExitProgram() {
  // Closing the main window runs its normal shutdown, settings saved.
  if (QWidget* main = window(); main && main != this) main->close();
}

void TPnlTarnwel::OpenMenuLink(QAction* item) {
  if (!item) return;
  switch (item->property(kTagProperty).toInt()) {
    case 1:
      ui::RunProgram(text::UrlDemo + "#detail");
      break;
    case 2:
      ui::RunProgram(text::UrlProductHome);
      break;
    case 3:
      ui::RunProgram(text::UrlDonate);
      break;
    case 4:
      ShowAboutBox(window());
      break;
    default:
      break;
  }
}

void TPnlTarnwel::OpenPartnerLink(int tag) {
  const std::string address = text::PartnerLinkAddress(tag);
  if (tag == 3)
    ui::RunProgram(address);
  else
    ui::OpenWebAddress(address);
}

void TPnlTarnwel::OpenMakerSite() { ui::RunProgram(text::MakerSiteRoot()); }

void TPnlTarnwel::HighlightLink(QLabel* link) {
  if (!link) return;
  SetTextColor(link, ColorValue(kLinkHighlightColor));
  link->setFont(LinkFont(9, true, true));
  link->setCursor(Qt::PointingHandCursor);
  link->adjustSize();
}

void TPnlTarnwel::UnhighlightLink(QLabel* link) {
  if (!link) return;
  SetTextColor(link, ColorValue(kLinkColor));
  link->setFont(LinkFont(9, false, true));
  link->unsetCursor();
  link->adjustSize();
}

bool TPnlTarnwel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picture_ && event->type() == QEvent::MouseButtonPress) {
    OpenMakerSite();
    return true;
  }
  auto* link = qobject_cast<QLabel*>(watched);
  if (link && link != picture_ && link->property(kTagProperty).isValid()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
        OpenPartnerLink(link->property(kTagProperty).toInt());
        return true;
      case QEvent::Enter:
        HighlightLink(link);
        break;
      case QEvent::Leave:
        UnhighlightLink(link);
        break;
      default:
        break;
    }
  }
  return QFrame::eventFilter(watched, event);
}

}  // namespace brand

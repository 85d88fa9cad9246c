#include "brand/aboutus.h"

#include <QMouseEvent>
#include <QPointer>
#include <QToolButton>

#include <string>

#include "ui/core/ShellActions.h"
#include "text/InterfaceText.h"
#include "text/Version.h"
#include "ui/WindowHelpers.h"
#include "ui_FrmVersion.h"

namespace brand {

namespace {

const char* const kAboutBoxName = "FrmVersion";

// Arial as designed; the CJK font draws the Chinese characters Arial lacks.
QFont ArialFont(int pixelHeight, bool bold = false) {
  QFont font;
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("WenQuanYi Micro Hei")});
  font.setPixelSize(pixelHeight);
  font.setBold(bold);
  return font;
}

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TFrmVersion::TFrmVersion(QWidget* owner)
    : QWidget(owner, Qt::Window), form_(std::make_unique<Ui::FrmVersion>()) {
  form_->setupUi(this);
  setObjectName(QString::fromLatin1(kAboutBoxName));
  setFixedSize(394, 354);
  move(194, 105);
  ui::SetBackgroundColor(this, QColor(245, 250, 254));
  setFont(ArialFont(21));
  form_->Label1->setFont(ArialFont(28, true));
  // Colour value 2236962: red, green and blue 34 each.
  QPalette version = form_->LblVersion->palette();
  version.setColor(QPalette::WindowText, QColor(34, 34, 34));
  form_->LblVersion->setPalette(version);
  connect(form_->BtnClose, &QToolButton::clicked, this, &TFrmVersion::BtnCloseClick);
  FormCreate();
}

TFrmVersion::~TFrmVersion() = default;

void TFrmVersion::FormCreate() {
  try {
    ui::SetButtonGlyph(form_->BtnClose, "BtnClose");
    setWindowTitle(Utf8(text::TxtAbout + " " + text::TxtProductName));
    form_->LblVersion->setText(Utf8(text::ProgramVersionText()));
    form_->Label1->setText(Utf8("     " + text::TxtProductName));
    form_->Label2->setText(Utf8(text::TxtVersionLabel));
    form_->Label3->setText(Utf8(text::TxtAuthor));
    form_->Label4->setText(Utf8(text::TxtHomePage));
    form_->Label2->adjustSize();
    form_->LblVersion->adjustSize();
  } catch (...) {
    // The controls keep what they had.
  }
}

void TFrmVersion::BtnCloseClick() { close(); }

bool TFrmVersion::OpensHomePage(const QWidget* hit) const {
  // The frame pictures and the close button are not part of the text.
  return hit == nullptr || hit == form_->Label1 || hit == form_->Label2 ||
         hit == form_->LblVersion || hit == form_->Label3 || hit == form_->Label4;
}

void TFrmVersion::mousePressEvent(QMouseEvent* event) {
  // Labels pass their presses on to the window, so one handler sees them all.
  if (OpensHomePage(childAt(event->position().toPoint()))) ui::OpenWebAddress(text::UrlProductHome);
  event->accept();
}

TFrmVersion* ShowAboutBox(QWidget* owner) {
  try {
    QWidget* keeper = owner ? owner->window() : nullptr;
    TFrmVersion* box = nullptr;
    if (keeper)
      box = keeper->findChild<TFrmVersion*>(QString::fromLatin1(kAboutBoxName), Qt::FindDirectChildrenOnly);
    // Without an owner the box is kept here for the rest of the run.
    static QPointer<TFrmVersion> unowned;
    if (!keeper) box = unowned;
    if (!box) {
      box = new TFrmVersion(keeper);
      if (!keeper) unowned = box;
    }
    ui::ShowAnimated(box);
    return box;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace brand

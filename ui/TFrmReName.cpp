#include "ui/TFrmReName.h"

#include <QLineEdit>
#include <QToolButton>

#include "text/InterfaceText.h"
#include "ui/WindowHelpers.h"
#include "ui_FrmReName.h"
#include "ui/core/WindowEdge.h"

namespace ui {

TFrmReName::TFrmReName(QWidget* parent) : QDialog(parent), form_(std::make_unique<Ui::FrmReName>()) {
  form_->setupUi(this);
  connect(form_->BtnConfirm, &QToolButton::clicked, this, &TFrmReName::BtnConfirmClick);
  connect(form_->BtnClose, &QToolButton::clicked, this, &TFrmReName::BtnCloseClick);
  // Enter in the name field confirms.
  connect(form_->EdtName, &QLineEdit::returnPressed, this, &TFrmReName::BtnConfirmClick);
  FormCreate();
}

TFrmReName::~TFrmReName() = default;

void TFrmReName::FormCreate() {
  try {
    SetBackgroundColor(this, QColor::fromRgb(kWindowBackground));
    setFont(CjkFont(QStringLiteral("新宋体"), 13));
    setWindowTitle(QString::fromStdString(text::TxtRenameCaption));
    form_->Label1->setText(QString::fromStdString(text::TxtName));
    SetButtonGlyph(form_->BtnConfirm, "confirm");
    SetButtonGlyph(form_->BtnClose, "BtnClose");
  } catch (...) {
    SwallowAtEdge("TFrmReName::FormCreate");
  }
}

void TFrmReName::SetName(const std::string& text) {
  name_ = text;
  form_->EdtName->setText(QString::fromStdString(text));
  form_->EdtName->selectAll();
  form_->EdtName->setFocus();
}

void TFrmReName::BtnConfirmClick() {
  name_ = form_->EdtName->text().toStdString();
  accept();
}

void TFrmReName::BtnCloseClick() { reject(); }

}  // namespace ui

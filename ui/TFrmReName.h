#pragma once
// The rename dialog: one name field with a confirm and a close button. It
// keeps the chosen name: confirming takes the field's text, closing leaves
// the name that was set.

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class FrmReName;
}

namespace ui {

class TFrmReName : public QDialog {
  Q_OBJECT

 public:
  explicit TFrmReName(QWidget* parent = nullptr);
  ~TFrmReName() override;

  // Stores text as the chosen name and puts it into EdtName.
  void SetName(const std::string& text);
  const std::string& ChosenName() const { return name_; }

  void BtnConfirmClick();
  void BtnCloseClick();

 private:
  void FormCreate();

  std::unique_ptr<Ui::FrmReName> form_;
  std::string name_;
};

}  // namespace ui

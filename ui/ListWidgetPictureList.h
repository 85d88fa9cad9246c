#pragma once
// A window list box as the conversion's picture list: the items' texts are
// the file names, its selection and current row those of the list.

#include "engine/PictureList.h"

class QListWidget;

namespace ui {

class ListWidgetPictureList : public engine::PictureList {
 public:
  explicit ListWidgetPictureList(QListWidget* list) : list_(list) {}

  int Count() const override;
  std::string Item(int index) const override;
  void Append(const std::string& name) override;
  void Clear() override;
  bool IsSelected(int index) const override;
  void SetSelected(int index, bool selected) override;
  int CurrentIndex() const override;
  // Moves the current row without touching the selection.
  void SetCurrentIndex(int index) override;

 private:
  QListWidget* list_;
};

}  // namespace ui

#pragma once
// A list widget seen as the engine's picture list: the item texts are the
// file names, the current row is the current index (-1 for none).

#include "engine/PictureList.h"

class QListWidget;

namespace ui {

class ListWidgetPictureList : public engine::PictureList {
 public:
  explicit ListWidgetPictureList(QListWidget* list = nullptr) : list_(list) {}
  void Attach(QListWidget* list) { list_ = list; }
  QListWidget* Widget() const { return list_; }

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

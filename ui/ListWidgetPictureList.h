#pragma once
// A list widget seen as the engine's picture list: the item texts are the
// file names, the current row is the current index (-1 for none).

#include <QMetaObject>

#include <string>
#include <unordered_map>
#include <vector>

#include "engine/convert/PictureList.h"

class QListWidget;

namespace ui {

class ListWidgetPictureList : public engine::PictureList {
 public:
  explicit ListWidgetPictureList(QListWidget* list = nullptr);
  ~ListWidgetPictureList() override;
  ListWidgetPictureList(const ListWidgetPictureList&) = delete;
  ListWidgetPictureList& operator=(const ListWidgetPictureList&) = delete;

  void Attach(QListWidget* list);

  int Count() const override;
  std::string Item(int index) const override;
  void Append(const std::string& name) override;
  void Clear() override;
  bool IsSelected(int index) const override;
  void SetSelected(int index, bool selected) override;
  int CurrentIndex() const override;
  // Moves the current row without touching the selection.
  void SetCurrentIndex(int index) override;
  // Answered from an index of the names, so that a run adding each of its
  // targets does not scan the list once per target.
  bool Holds(const std::string& text) const override;

 private:
  // Keeps the index in step with whatever changes the widget's rows,
  // through this object or straight on the widget.
  void Watch();
  void Unwatch();
  void CountRows(int first, int last, int change) const;

  QListWidget* list_ = nullptr;
  std::vector<QMetaObject::Connection> watching_;
  // How many items have each engine::ListItemKey. Built at the first look-up
  // and kept while rows come and go; a changed text or a reset drops it, to
  // be built again at the next look-up.
  mutable std::unordered_map<std::string, int> keys_;
  mutable bool indexed_ = false;
};

}  // namespace ui

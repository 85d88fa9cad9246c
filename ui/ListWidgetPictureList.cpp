#include "ui/ListWidgetPictureList.h"

#include <QListWidget>
#include <stdexcept>

namespace ui {

namespace {

QListWidgetItem* ItemAt(QListWidget* list, int index) {
  QListWidgetItem* item = list ? list->item(index) : nullptr;
  if (!item) throw std::out_of_range("list index out of range");
  return item;
}

}  // namespace

int ListWidgetPictureList::Count() const { return list_ ? list_->count() : 0; }

std::string ListWidgetPictureList::Item(int index) const {
  return ItemAt(list_, index)->text().toStdString();
}

void ListWidgetPictureList::Append(const std::string& name) {
  if (list_) list_->addItem(QString::fromStdString(name));
}

void ListWidgetPictureList::Clear() {
  if (list_) list_->clear();
}

bool ListWidgetPictureList::IsSelected(int index) const { return ItemAt(list_, index)->isSelected(); }

void ListWidgetPictureList::SetSelected(int index, bool selected) {
  ItemAt(list_, index)->setSelected(selected);
}

int ListWidgetPictureList::CurrentIndex() const { return list_ ? list_->currentRow() : -1; }

void ListWidgetPictureList::SetCurrentIndex(int index) {
  if (!list_) return;
  if (index < 0 || index >= list_->count()) index = -1;
  list_->setCurrentRow(index, QItemSelectionModel::NoUpdate);
}

}  // namespace ui

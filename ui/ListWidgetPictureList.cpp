#include "ui/ListWidgetPictureList.h"

#include <QListWidget>
#include <stdexcept>

namespace ui {

namespace {

QListWidgetItem* ItemAt(QListWidget* list, int index) {
  QListWidgetItem* item = list->item(index);
  if (!item) throw std::out_of_range("list index");
  return item;
}

}  // namespace

int ListWidgetPictureList::Count() const { return list_->count(); }

std::string ListWidgetPictureList::Item(int index) const {
  return ItemAt(list_, index)->text().toStdString();
}

void ListWidgetPictureList::Append(const std::string& name) {
  list_->addItem(QString::fromStdString(name));
}

void ListWidgetPictureList::Clear() { list_->clear(); }

bool ListWidgetPictureList::IsSelected(int index) const { return ItemAt(list_, index)->isSelected(); }

void ListWidgetPictureList::SetSelected(int index, bool selected) {
  ItemAt(list_, index)->setSelected(selected);
}

int ListWidgetPictureList::CurrentIndex() const { return list_->currentRow(); }

void ListWidgetPictureList::SetCurrentIndex(int index) {
  if (index < 0 || index >= list_->count()) index = -1;
  list_->setCurrentRow(index, QItemSelectionModel::NoUpdate);
}

}  // namespace ui

#include "ui/ListWidgetPictureList.h"

#include <QAbstractItemModel>
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

ListWidgetPictureList::ListWidgetPictureList(QListWidget* list) : list_(list) { Watch(); }

ListWidgetPictureList::~ListWidgetPictureList() { Unwatch(); }

void ListWidgetPictureList::Attach(QListWidget* list) {
  Unwatch();
  list_ = list;
  indexed_ = false;
  Watch();
}

void ListWidgetPictureList::Watch() {
  if (!list_) return;
  QAbstractItemModel* model = list_->model();
  auto drop = [this] {
    indexed_ = false;
    keys_.clear();
  };
  watching_ = {
      QObject::connect(model, &QAbstractItemModel::rowsInserted, list_,
                       [this](const QModelIndex&, int first, int last) { CountRows(first, last, +1); }),
      QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, list_,
                       [this](const QModelIndex&, int first, int last) { CountRows(first, last, -1); }),
      QObject::connect(model, &QAbstractItemModel::dataChanged, list_,
                       [drop](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                         if (roles.isEmpty() || roles.contains(Qt::DisplayRole) || roles.contains(Qt::EditRole))
                           drop();
                       }),
      QObject::connect(model, &QAbstractItemModel::modelReset, list_, drop),
  };
}

void ListWidgetPictureList::Unwatch() {
  for (const QMetaObject::Connection& connection : watching_) QObject::disconnect(connection);
  watching_.clear();
}

void ListWidgetPictureList::CountRows(int first, int last, int change) const {
  if (!indexed_) return;
  for (int row = first; row <= last; ++row) {
    const QListWidgetItem* item = list_->item(row);
    if (!item) continue;
    const std::string key = engine::ListItemKey(item->text().toStdString());
    if ((keys_[key] += change) <= 0) keys_.erase(key);
  }
}

bool ListWidgetPictureList::Holds(const std::string& text) const {
  if (!list_) return false;
  if (!indexed_) {
    keys_.clear();
    indexed_ = true;
    CountRows(0, list_->count() - 1, +1);
  }
  return keys_.contains(engine::ListItemKey(text));
}

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

#include "engine/convert/PictureList.h"

#include "platform/PathNames.h"

namespace engine {

VectorPictureList::VectorPictureList(std::vector<std::string> names)
    : items_(std::move(names)), selected_(items_.size(), false) {}

void VectorPictureList::Append(const std::string& name) {
  items_.push_back(name);
  selected_.push_back(false);
}

void VectorPictureList::Clear() {
  items_.clear();
  selected_.clear();
  current_ = -1;
}

void VectorPictureList::SetCurrentIndex(int index) {
  current_ = index >= 0 && index < Count() ? index : -1;
}

bool PictureList::Holds(const std::string& text) const { return FindListItem(text, this) >= 0; }

std::string ListItemKey(std::string_view text) { return img::AsciiLower(img::TrimBlanks(text)); }

int FindListItem(const std::string& text, const PictureList* list) {
  if (!list) return -1;
  const std::string wanted = ListItemKey(text);
  for (int i = 0; i < list->Count(); ++i)
    if (ListItemKey(list->Item(i)) == wanted) return i;
  return -1;
}

void SelectOnlyItem(PictureList* list, int index) {
  if (!list || list->Count() == 0) return;
  for (int i = 0; i < list->Count(); ++i) list->SetSelected(i, i == index);
  if (index >= 0 && index < list->Count()) list->SetCurrentIndex(index);
}

void AddFileNameIfAbsent(const std::string& path, PictureList* list) {
  if (!list) return;
  const std::string name = img::FileNamePart(path);
  if (!list->Holds(name)) list->Append(name);
}

}  // namespace engine

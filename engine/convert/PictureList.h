#pragma once
// A picture list as the conversion sees it: bare file names with a multiple
// selection and a current index. The window's list boxes implement it; the
// batch tool and the tests use the in-memory VectorPictureList.

#include <string>
#include <string_view>
#include <vector>

namespace engine {

class PictureList {
 public:
  virtual ~PictureList() = default;
  virtual int Count() const = 0;
  virtual std::string Item(int index) const = 0;
  virtual void Append(const std::string& name) = 0;
  virtual void Clear() = 0;
  virtual bool IsSelected(int index) const = 0;
  virtual void SetSelected(int index, bool selected) = 0;
  virtual int CurrentIndex() const = 0;  // -1 for none
  virtual void SetCurrentIndex(int index) = 0;
  // Whether FindListItem finds text here. This one scans the list; a list
  // that many names join one by one (a run's converted list) keeps an index.
  virtual bool Holds(const std::string& text) const;
};

class VectorPictureList : public PictureList {
 public:
  VectorPictureList() = default;
  explicit VectorPictureList(std::vector<std::string> names);

  int Count() const override { return static_cast<int>(items_.size()); }
  std::string Item(int index) const override { return items_.at(index); }
  void Append(const std::string& name) override;
  void Clear() override;
  bool IsSelected(int index) const override { return selected_.at(index); }
  void SetSelected(int index, bool selected) override { selected_.at(index) = selected; }
  int CurrentIndex() const override { return current_; }
  void SetCurrentIndex(int index) override;

 private:
  std::vector<std::string> items_;
  std::vector<bool> selected_;
  int current_ = -1;
};

// The form in which list items are compared: trimmed of blanks, in lower case.
std::string ListItemKey(std::string_view text);

// Index of the first item whose ListItemKey equals text's; -1 when there is
// no list or no match. A list that fails to give its items throws to the
// caller, whose handler keeps it quiet.
int FindListItem(const std::string& text, const PictureList* list);

// Selects the item at index alone; an index outside the list clears every
// selection; an absent or empty list is left alone.
void SelectOnlyItem(PictureList* list, int index);

// Appends the file-name part of path unless the list Holds it already.
void AddFileNameIfAbsent(const std::string& path, PictureList* list);

}  // namespace engine

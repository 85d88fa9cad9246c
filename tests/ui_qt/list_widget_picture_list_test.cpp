// The window's picture lists answer Holds from an index of their names. The
// index must follow every change to the widget's rows, made through the
// list or straight on the widget, so that it always agrees with
// FindListItem's scan: a stale name would keep a written target out of the
// converted list, or list one twice.

#include <gtest/gtest.h>

#include <QListWidget>

#include <functional>

#include "engine/convert/PictureList.h"
#include "ui/ListWidgetPictureList.h"

namespace {

struct WidgetChange {
  const char* name;
  std::function<void(QListWidget&, ui::ListWidgetPictureList&)> change;
};

void PrintTo(const WidgetChange& c, std::ostream* os) { *os << c.name; }

class ListIndex : public ::testing::TestWithParam<WidgetChange> {};

TEST_P(ListIndex, AgreesWithTheScanAfterTheChange) {
  QListWidget widget;
  ui::ListWidgetPictureList list(&widget);
  for (const char* name : {"a.jpg", " B.PNG ", "c.bmp", "a.jpg"}) widget.addItem(QString::fromUtf8(name));
  ASSERT_TRUE(list.Holds("b.png"));  // the index is made here, before the change

  GetParam().change(widget, list);
  for (const char* probe : {"a.jpg", " A.JPG", "b.png", "c.bmp", "d.gif", "照片.jpg", ""})
    EXPECT_EQ(list.Holds(probe), engine::FindListItem(probe, &list) >= 0) << '"' << probe << '"';
}

INSTANTIATE_TEST_SUITE_P(
    WidgetChanges, ListIndex,
    ::testing::Values(
        WidgetChange{"RowTaken", [](QListWidget& w, auto&) { delete w.takeItem(2); }},
        WidgetChange{"OneOfTwoLikeNamesTaken", [](QListWidget& w, auto&) { delete w.takeItem(3); }},
        WidgetChange{"BothLikeNamesTaken",
                     [](QListWidget& w, auto&) {
                       delete w.takeItem(3);
                       delete w.takeItem(0);
                     }},
        WidgetChange{"ItemRenamed", [](QListWidget& w, auto&) { w.item(2)->setText(QString::fromUtf8("照片.jpg")); }},
        WidgetChange{"InsertedInTheMiddle", [](QListWidget& w, auto&) { w.insertItem(1, QStringLiteral("D.GIF")); }},
        WidgetChange{"AppendedThroughTheList", [](QListWidget&, auto& l) { l.Append("d.gif "); }},
        WidgetChange{"Sorted", [](QListWidget& w, auto&) { w.sortItems(Qt::DescendingOrder); }},
        WidgetChange{"ClearedAndRefilled",
                     [](QListWidget& w, auto& l) {
                       l.Clear();
                       l.Holds("a.jpg");
                       w.addItem(QString::fromUtf8("照片.jpg"));
                     }},
        WidgetChange{"ClearedOnTheWidget", [](QListWidget& w, auto&) { w.clear(); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

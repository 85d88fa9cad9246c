#include "ui/UserInputHooks.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

namespace ui {

namespace {

// Calls a function for every event of the object it filters; the function
// never consumes the event. Owned by that object.
class EventHook : public QObject {
 public:
  EventHook(QObject* watched, std::function<void(QEvent*)> onEvent)
      : QObject(watched), onEvent_(std::move(onEvent)) {
    watched->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == parent()) onEvent_(event);
    return false;
  }

 private:
  std::function<void(QEvent*)> onEvent_;
};

}  // namespace

void OnEditClick(QLineEdit* edit, std::function<void()> handler) {
  new EventHook(edit, [handler = std::move(handler)](QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) handler();
  });
}

void OnEditExit(QLineEdit* edit, std::function<void()> handler) {
  new EventHook(edit, [handler = std::move(handler)](QEvent* event) {
    if (event->type() != QEvent::FocusOut) return;
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) handler();
  });
}

void OnUserPick(QListWidget* list, std::function<void()> handler) {
  QObject::connect(list, &QListWidget::itemClicked, list, [handler](QListWidgetItem*) { handler(); });
  // The key moves the current item while the list handles it, after this
  // filter: compare once the event is done.
  new EventHook(list, [list, handler](QEvent* event) {
    if (event->type() != QEvent::KeyPress) return;
    const int before = list->currentRow();
    QTimer::singleShot(0, list, [list, before, handler] {
      if (list->currentRow() != before) handler();
    });
  });
}

}  // namespace ui

#include "ui/PacedListAdditions.h"

#include <QListWidget>
#include <QThread>

#include <algorithm>

namespace ui {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kLeastGap = std::chrono::milliseconds(100);
// The list's share of the window's time stays under 1 / (1 + kCostFactor).
constexpr int kCostFactor = 24;

}  // namespace

PacedListAdditions::PacedListAdditions(engine::PictureList& list, QListWidget* widget, QObject* parent)
    : QObject(parent), list_(list), widget_(widget) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &PacedListAdditions::Flush);
}

void PacedListAdditions::Add(const std::string& path) {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    first = pending_.empty();
    pending_.push_back(path);
  }
  if (!first) return;  // a batch is on its way already
  if (QThread::currentThread() == thread())
    Schedule();
  else
    QMetaObject::invokeMethod(this, [this] { Schedule(); }, Qt::QueuedConnection);
}

void PacedListAdditions::Schedule() {
  if (timer_.isActive()) return;
  const Clock::duration gap = std::max<Clock::duration>(kLeastGap, kCostFactor * lastCost_);
  const Clock::duration wait = std::max<Clock::duration>(Clock::duration::zero(), lastBatch_ + gap - Clock::now());
  timer_.start(std::chrono::ceil<std::chrono::milliseconds>(wait));
}

void PacedListAdditions::Flush() {
  timer_.stop();
  std::vector<std::string> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(pending_);
  }
  if (batch.empty()) return;
  const Clock::time_point start = Clock::now();
  for (const std::string& path : batch) engine::AddFileNameIfAbsent(path, &list_);
  // The layout the additions call for, done now so that its cost is counted.
  if (widget_) widget_->doItemsLayout();
  lastBatch_ = Clock::now();
  lastCost_ = lastBatch_ - start;
}

}  // namespace ui

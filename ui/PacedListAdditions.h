#pragma once
// The names of the targets a run writes, on their way into the window's
// converted list. A list widget lays out every one of its rows again after
// each addition, so a name added as soon as it is written keeps the
// window's thread laying out a long list over and over: a run of many
// thousand targets left the window deaf. The names go in batches instead,
// the next batch no sooner than 100 ms after the last, nor than 24 times as
// long as the last took: the list's updates take at most a twenty-fifth of
// the window's time, and a long list is brought up to date less often.

#include <QObject>
#include <QTimer>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "engine/convert/PictureList.h"

class QListWidget;

namespace ui {

class PacedListAdditions : public QObject {
 public:
  // list: the picture list shown by widget; both used on this object's thread.
  PacedListAdditions(engine::PictureList& list, QListWidget* widget, QObject* parent = nullptr);

  // Any thread: the file-name part of path joins the list, unless the list
  // holds it already by then.
  void Add(const std::string& path);
  // On this object's thread: every name added so far is in the list now.
  void Flush();

 private:
  void Schedule();

  engine::PictureList& list_;
  QListWidget* widget_;
  QTimer timer_;
  std::mutex mutex_;
  std::vector<std::string> pending_;
  std::chrono::steady_clock::time_point lastBatch_{};
  std::chrono::steady_clock::duration lastCost_{};
};

}  // namespace ui

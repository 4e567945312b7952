// Folds frequent updates from worker threads into at most one repaint per interval: a worker
// keeps its latest value where the page can read it and calls Request(); `show` then runs
// on the page's thread once, `interval_ms` after the first request since the last showing,
// and reads whatever is latest by then. A fast run cannot flood the event loop.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>

namespace vexa {

class ThrottledUpdate {
 public:
  // `owner` is the page: `show` runs on its thread, and not after it is gone.
  ThrottledUpdate(QObject* owner, int interval_ms, std::function<void()> show)
      : owner_(owner), interval_ms_(interval_ms), show_(std::move(show)) {}
  ThrottledUpdate(const ThrottledUpdate&) = delete;
  ThrottledUpdate& operator=(const ThrottledUpdate&) = delete;

  // Any thread.
  void Request();

 private:
  QObject* owner_;
  int interval_ms_;
  std::function<void()> show_;
  std::atomic<bool> posted_ = false;
};

}  // namespace vexa

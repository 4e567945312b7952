// A read-only memo fed with whole lines from any thread. The lines live in a buffer owned
// here (the log is written from it); the widget shows them in batches on the GUI thread,
// so a worker producing lines fast never floods the event loop or freezes the window.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "core/memo_sink.h"

namespace vexa {

class MemoWidget : public QPlainTextEdit, public MemoSink {
  Q_OBJECT

 public:
  // How long lines wait before the widget shows them (at most ~30 repaints a second).
  static constexpr int kRepaintIntervalMs = 33;
  // The longest the widget appends lines at a time before the window gets its turn again.
  static constexpr int kSliceBudgetMs = 8;

  explicit MemoWidget(QWidget* parent = nullptr);

  // Any thread. The line shows in the widget within kRepaintIntervalMs.
  void AppendLine(const std::string& line) override;
  // Any thread: empties the buffer, and the widget (at once on the GUI thread, else with
  // the next repaint).
  void Clear();
  // All lines so far, in order (what a log file receives).
  std::vector<std::string> Lines() const;
  // GUI thread: shows the lines that are still waiting, now, all of them.
  void Flush();

 private:
  void ScheduleFlush();
  // Shows waiting lines for at most kSliceBudgetMs, then lets the event loop run.
  void FlushSlice();
  void ShowWaitingLines(int budget_ms);

  mutable std::mutex mutex_;
  // A deque: growing never moves the lines already there, so appending stays cheap under the
  // lock the GUI thread also takes.
  std::deque<std::string> lines_;  // guarded by mutex_
  std::uint64_t clears_ = 0;       // guarded by mutex_; counts Clear calls
  std::size_t shown_ = 0;          // lines_ already in the widget; guarded by mutex_
  bool cleared_ = false;           // guarded by mutex_; empty the widget on the next flush
  bool flush_scheduled_ = false;   // guarded by mutex_; a flush is on its way
  QTimer* repaint_timer_;
};

}  // namespace vexa

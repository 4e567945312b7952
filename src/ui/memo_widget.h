// A read-only memo fed with whole lines from any thread. The lines live in a buffer owned
// here (the log is written from it); the widget shows them in batches on the GUI thread,
// so a worker producing lines fast never floods the event loop or freezes the window.
// Optionally the buffer keeps only the newest lines (a run that streams its log elsewhere),
// and a tap receives every line as it arrives, in order.
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

  // Shown once in the widget when a line limit starts dropping lines; never in Lines() nor
  // given to the tap.
  static constexpr const char* kDroppingNote =
      "(older lines are no longer shown here; the log keeps every line)";

  explicit MemoWidget(QWidget* parent = nullptr);

  // Any thread. The line shows in the widget within kRepaintIntervalMs, and goes to the tap.
  void AppendLine(const std::string& line) override;
  // Any thread: empties the buffer, and the widget (at once on the GUI thread, else with
  // the next repaint). The tap receives nothing.
  void Clear();
  // The lines kept, in order (all lines so far unless a line limit is set). `end`, when
  // given, receives the sequence number after the last line copied (see SetTap).
  std::vector<std::string> Lines(std::uint64_t* end = nullptr) const;
  // GUI thread: shows the lines that are still waiting, now, all of them.
  void Flush();

  // GUI thread, before lines arrive: keep only the newest `limit` lines in the buffer and the
  // widget; 0 (the default) keeps every line.
  void SetLineLimit(std::size_t limit);
  std::size_t LineLimit() const;

  // Any thread: every line appended from now on also goes to `tap`, in the order the memo
  // receives them (the tap is called under the memo's lock, so it must not call back into
  // the memo). nullptr detaches; once SetTap returns, the old tap receives nothing more.
  // With `since` (a sequence number from Lines), the lines appended after that copy and still
  // kept go to the tap first, so a copy followed by a tap misses no line in between.
  void SetTap(MemoSink* tap);
  void SetTap(MemoSink* tap, std::uint64_t since);

 private:
  void ScheduleFlush();
  // Shows waiting lines for at most kSliceBudgetMs, then lets the event loop run.
  void FlushSlice();
  void ShowWaitingLines(int budget_ms);
  // Drops the oldest lines from the widget beyond `limit`, keeping the dropping note on top.
  void TrimWidget(std::size_t limit);
  // Puts the dropping note on top of the widget.
  void ShowDroppingNote();
  // Drops the oldest buffered lines beyond the limit; under mutex_.
  void DropBeyondLimit();

  mutable std::mutex mutex_;
  // A deque: growing never moves the lines already there, so appending stays cheap under the
  // lock the GUI thread also takes.
  std::deque<std::string> lines_;  // guarded by mutex_
  std::uint64_t appended_ = 0;     // guarded by mutex_; lines ever appended (sequence numbers)
  std::size_t limit_ = 0;          // guarded by mutex_; 0: no limit
  bool dropping_ = false;          // guarded by mutex_; the limit dropped lines since the clear
  bool note_pending_ = false;      // guarded by mutex_; kDroppingNote waits for the widget
  MemoSink* tap_ = nullptr;        // guarded by mutex_
  std::uint64_t clears_ = 0;       // guarded by mutex_; counts Clear calls
  std::size_t shown_ = 0;          // lines_ already in the widget; guarded by mutex_
  bool cleared_ = false;           // guarded by mutex_; empty the widget on the next flush
  bool flush_scheduled_ = false;   // guarded by mutex_; a flush is on its way
  bool note_shown_ = false;        // GUI thread: the widget's first line is kDroppingNote
  QTimer* repaint_timer_;
};

}  // namespace vexa

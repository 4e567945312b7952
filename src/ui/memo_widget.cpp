#include "ui/memo_widget.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>
#include <utility>

namespace vexa {

MemoWidget::MemoWidget(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  // A log, not an editor: no undo history growing with every line.
  setUndoRedoEnabled(false);
  repaint_timer_ = new QTimer(this);
  repaint_timer_->setSingleShot(true);
  repaint_timer_->setInterval(kRepaintIntervalMs);
  connect(repaint_timer_, &QTimer::timeout, this, &MemoWidget::FlushSlice);
}

void MemoWidget::AppendLine(const std::string& line) {
  bool schedule = false;
  {
    const std::lock_guard lock(mutex_);
    lines_.push_back(line);
    ++appended_;
    // Under the lock: lines from several threads reach the tap in the memo's own order.
    if (tap_)
      tap_->AppendLine(line);
    DropBeyondLimit();
    schedule = !flush_scheduled_;
    flush_scheduled_ = true;
  }
  if (schedule)
    ScheduleFlush();
}

void MemoWidget::Clear() {
  bool schedule = false;
  {
    const std::lock_guard lock(mutex_);
    lines_.clear();
    ++clears_;
    shown_ = 0;
    dropping_ = false;
    note_pending_ = false;
    cleared_ = true;
    schedule = !flush_scheduled_;
    flush_scheduled_ = true;
  }
  if (QThread::currentThread() == thread())
    Flush();
  else if (schedule)
    ScheduleFlush();
}

// Starts the repaint timer on the GUI thread. Only the first change after a flush posts
// this, so a worker's burst of lines costs one event, not one per line.
void MemoWidget::ScheduleFlush() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!repaint_timer_->isActive())
          repaint_timer_->start();
      },
      Qt::AutoConnection);
}

std::vector<std::string> MemoWidget::Lines(std::uint64_t* end) const {
  // Copied a slice at a time, so that a long memo (a scan run's half a million lines) never
  // holds the lock the GUI thread and the workers need for long; a Clear in between starts
  // the copy over. Lines are addressed by sequence number, so lines a limit drops meanwhile
  // are skipped rather than shifting the copy.
  static constexpr std::size_t kSlice = 4096;
  std::vector<std::string> copy;
  std::uint64_t clears = 0;
  std::uint64_t next = 0;  // sequence number of the next line to copy
  bool started = false;
  for (bool first = true;; first = false) {
    // Between slices the copier steps aside for a moment: a mutex does not hand itself over,
    // and without the pause this thread would take it back before the GUI thread, waiting
    // for it, ever got its turn (a half-million-line copy held the window for 60 ms).
    if (!first)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    const std::lock_guard lock(mutex_);
    const std::uint64_t front = appended_ - lines_.size();
    if (!started || clears != clears_) {
      copy.clear();
      clears = clears_;
      next = front;
      started = true;
    }
    next = std::max(next, front);
    const auto begin = static_cast<std::size_t>(next - front);
    const std::size_t stop = std::min(lines_.size(), begin + kSlice);
    copy.insert(copy.end(), lines_.begin() + static_cast<std::ptrdiff_t>(begin),
                lines_.begin() + static_cast<std::ptrdiff_t>(stop));
    next = front + stop;
    if (stop == lines_.size()) {
      if (limit_ > 0 && copy.size() > limit_)
        copy.erase(copy.begin(), copy.end() - static_cast<std::ptrdiff_t>(limit_));
      if (end)
        *end = appended_;
      return copy;
    }
  }
}

void MemoWidget::SetLineLimit(std::size_t limit) {
  {
    const std::lock_guard lock(mutex_);
    limit_ = limit;
    DropBeyondLimit();
  }
  if (limit > 0)
    TrimWidget(limit);
}

std::size_t MemoWidget::LineLimit() const {
  const std::lock_guard lock(mutex_);
  return limit_;
}

void MemoWidget::SetTap(MemoSink* tap) {
  const std::lock_guard lock(mutex_);
  tap_ = tap;
}

void MemoWidget::SetTap(MemoSink* tap, std::uint64_t since) {
  const std::lock_guard lock(mutex_);
  if (tap) {
    const std::uint64_t front = appended_ - lines_.size();
    for (std::uint64_t line = std::max(since, front); line < appended_; ++line)
      tap->AppendLine(lines_[static_cast<std::size_t>(line - front)]);
  }
  tap_ = tap;
}

void MemoWidget::DropBeyondLimit() {
  while (limit_ > 0 && lines_.size() > limit_) {
    lines_.pop_front();
    // The dropped line was the oldest: shown already, or never to be shown.
    if (shown_ > 0)
      --shown_;
    if (!dropping_) {
      dropping_ = true;
      note_pending_ = true;
    }
  }
}

void MemoWidget::Flush() {
  ShowWaitingLines(-1);
}

void MemoWidget::FlushSlice() {
  ShowWaitingLines(kSliceBudgetMs);
}

// Appends the waiting lines in chunks. With a budget, stops once the budget is spent and
// comes back after the event loop had its turn, so a flood of lines never holds the window
// for longer than about one slice.
void MemoWidget::ShowWaitingLines(int budget_ms) {
  static constexpr std::size_t kChunkLines = 256;
  bool clear = false;
  std::size_t limit = 0;
  {
    const std::lock_guard lock(mutex_);
    flush_scheduled_ = false;
    clear = cleared_;
    cleared_ = false;
    limit = limit_;
  }
  if (clear) {
    QPlainTextEdit::clear();
    note_shown_ = false;
  }
  QElapsedTimer spent;
  spent.start();
  bool appended = false;
  for (;;) {
    QStringList chunk;
    bool note = false;
    {
      const std::lock_guard lock(mutex_);
      if (cleared_)
        break;  // a Clear from another thread: the next flush starts over
      note = std::exchange(note_pending_, false);
      for (; shown_ < lines_.size() && static_cast<std::size_t>(chunk.size()) < kChunkLines;
           ++shown_)
        chunk << QString::fromLatin1(lines_[shown_]);
    }
    if (note && !note_shown_)
      ShowDroppingNote();
    if (chunk.isEmpty())
      break;
    appendPlainText(chunk.join(QLatin1Char('\n')));
    if (limit > 0)
      TrimWidget(limit);
    appended = true;
    if (budget_ms >= 0 && spent.elapsed() >= budget_ms) {
      bool more = false;
      {
        const std::lock_guard lock(mutex_);
        more = shown_ < lines_.size() && !flush_scheduled_;
        flush_scheduled_ = flush_scheduled_ || more;
      }
      if (more)
        QTimer::singleShot(0, this, &MemoWidget::FlushSlice);
      break;
    }
  }
  if (appended)
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void MemoWidget::ShowDroppingNote() {
  const QString note = QString::fromLatin1(kDroppingNote);
  if (document()->isEmpty()) {
    appendPlainText(note);
  } else {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(note);
    cursor.insertBlock();
  }
  note_shown_ = true;
}

void MemoWidget::TrimWidget(std::size_t limit) {
  const int first = note_shown_ ? 1 : 0;
  const auto keep = static_cast<int>(std::min<std::size_t>(limit, INT_MAX - 1)) + first;
  const int excess = document()->blockCount() - keep;
  if (excess <= 0)
    return;
  QTextCursor cursor(document()->findBlockByNumber(first));
  cursor.setPosition(document()->findBlockByNumber(first + excess).position(),
                     QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

}  // namespace vexa

#include "ui/memo_widget.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QScrollBar>
#include <QThread>

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

std::vector<std::string> MemoWidget::Lines() const {
  // Copied a slice at a time, so that a long memo (a scan run's half a million lines) never
  // holds the lock the GUI thread and the workers need for long; a Clear in between starts
  // the copy over.
  static constexpr std::size_t kSlice = 4096;
  std::vector<std::string> copy;
  std::uint64_t clears = 0;
  for (;;) {
    const std::lock_guard lock(mutex_);
    if (copy.empty() || clears != clears_) {
      copy.clear();
      clears = clears_;
    }
    const std::size_t end = std::min(lines_.size(), copy.size() + kSlice);
    copy.insert(copy.end(), lines_.begin() + static_cast<std::ptrdiff_t>(copy.size()),
                lines_.begin() + static_cast<std::ptrdiff_t>(end));
    if (end == lines_.size())
      return copy;
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
  {
    const std::lock_guard lock(mutex_);
    flush_scheduled_ = false;
    clear = cleared_;
    cleared_ = false;
  }
  if (clear)
    QPlainTextEdit::clear();
  QElapsedTimer spent;
  spent.start();
  bool appended = false;
  for (;;) {
    QStringList chunk;
    {
      const std::lock_guard lock(mutex_);
      if (cleared_)
        break;  // a Clear from another thread: the next flush starts over
      for (; shown_ < lines_.size() && static_cast<std::size_t>(chunk.size()) < kChunkLines;
           ++shown_)
        chunk << QString::fromLatin1(lines_[shown_]);
    }
    if (chunk.isEmpty())
      break;
    appendPlainText(chunk.join(QLatin1Char('\n')));
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

}  // namespace vexa

#include "ui/memo_widget.h"

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
  repaint_timer_ = new QTimer(this);
  repaint_timer_->setSingleShot(true);
  repaint_timer_->setInterval(kRepaintIntervalMs);
  connect(repaint_timer_, &QTimer::timeout, this, &MemoWidget::Flush);
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
  const std::lock_guard lock(mutex_);
  return lines_;
}

void MemoWidget::Flush() {
  QStringList batch;
  bool clear = false;
  {
    const std::lock_guard lock(mutex_);
    flush_scheduled_ = false;
    clear = cleared_;
    cleared_ = false;
    for (; shown_ < lines_.size(); ++shown_)
      batch << QString::fromLatin1(lines_[shown_]);
  }
  if (clear)
    QPlainTextEdit::clear();
  if (batch.isEmpty())
    return;
  appendPlainText(batch.join(QLatin1Char('\n')));
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace vexa

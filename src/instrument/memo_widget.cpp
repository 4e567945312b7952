#include "instrument/memo_widget.h"

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
  {
    const std::lock_guard lock(mutex_);
    lines_.push_back(line);
  }
  // Start the repaint timer on the GUI thread; a running timer already covers this line.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!repaint_timer_->isActive())
          repaint_timer_->start();
      },
      Qt::AutoConnection);
}

void MemoWidget::Clear() {
  {
    const std::lock_guard lock(mutex_);
    lines_.clear();
    shown_ = 0;
    cleared_ = true;
  }
  if (QThread::currentThread() == thread())
    Flush();
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

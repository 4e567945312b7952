#include "instrument/pages/instrument_page_parts.h"

#include <algorithm>

#include "ui/guard.h"
#include "ui/labeled_edit.h"

namespace vexa {

MemoWidget* MakeMemo(QWidget* page, const char* name) {
  auto* memo = new MemoWidget(page);
  memo->setObjectName(QLatin1String(name));
  memo->setGeometry(0, 0, kMemoWidth, kMemoHeight);
  return memo;
}

QLineEdit* MakeCommandLine(QWidget* page, const char* name) {
  auto* edit = new QLineEdit(QStringLiteral("*IDN?"), page);
  edit->setObjectName(QLatin1String(name));
  edit->setGeometry(kRightColumn, 0, kControlWidth, 21);
  return edit;
}

QPushButton* MakeButton(QWidget* page, const char* name, const QString& caption, int top,
                        bool enabled) {
  auto* button = new QPushButton(caption, page);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(kRightColumn, top, kControlWidth, 25);
  button->setEnabled(enabled);
  return button;
}

QLabel* MakeLabel(QWidget* page, const char* name, const QString& caption, int left, int top) {
  auto* label = new QLabel(caption, page);
  label->setObjectName(QLatin1String(name));
  label->move(left, top);
  label->adjustSize();
  return label;
}

ElidedPathLabel* MakeDriverNote(QWidget* page) {
  auto* label = new ElidedPathLabel(page);
  label->setObjectName(QStringLiteral("DriverNote"));
  label->setGeometry(0, kMemoHeight + kNoteGap, kMemoWidth, kNoteHeight);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(0x55, 0x55, 0x55));
  label->setPalette(palette);
  return label;
}

}  // namespace vexa

namespace vexa {

int RightColumnLeft(int sheet_width) {
  return sheet_width - (kDesignSheetWidth - kRightColumn);
}

void PlaceMemoAndNote(MemoWidget* memo, ElidedPathLabel* note, int sheet_width, int sheet_height) {
  const int width = sheet_width - (kDesignSheetWidth - kMemoWidth);
  const int memo_height = std::max(kNoteHeight, sheet_height - kNoteGap - kNoteHeight);
  memo->resize(width, memo_height);
  note->setGeometry(0, memo_height + kNoteGap, width, kNoteHeight);
}

void MoveLeft(std::initializer_list<QWidget*> controls, int left) {
  for (QWidget* control : controls) {
    control->move(left, control->y());
    if (auto* labeled = qobject_cast<LabeledEdit*>(control))
      labeled->PlaceLabel();
  }
}

CommandQueue::~CommandQueue() {
  Cancel();
  Join();
}

bool CommandQueue::Push(std::function<void()> job) {
  {
    const std::lock_guard lock(mutex_);
    if (cancelled_)
      return false;
    jobs_.push_back(std::move(job));
  }
  if (!thread_.joinable())
    thread_ = std::thread([this] { Loop(); });
  wake_.notify_one();
  return true;
}

std::size_t CommandQueue::Cancel() {
  std::deque<std::function<void()>> dropped;
  {
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
    ending_ = true;
    dropped.swap(jobs_);
  }
  wake_.notify_one();
  return dropped.size();
}

void CommandQueue::Join() {
  if (thread_.joinable())
    thread_.join();
}

void CommandQueue::Loop() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
      if (ending_)
        return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

bool PageCommands::Push(std::function<void()> job) {
  const auto post = [this](std::function<void()> update) {
    QMetaObject::invokeMethod(page_, std::move(update), Qt::QueuedConnection);
  };
  const bool queued = queue_.Push([this, post, job = std::move(job)] {
    try {
      job();
    } catch (...) {
      post([error = std::current_exception()] { Guarded([&] { std::rethrow_exception(error); }); });
    }
    post([this] {
      --pending_;
      changed_();
    });
  });
  if (queued) {
    ++pending_;
    changed_();
  }
  return queued;
}

}  // namespace vexa

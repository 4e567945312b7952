// Building blocks shared by the two instrument pages.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <thread>

#include "ui/elided_path_label.h"
#include "ui/memo_widget.h"

namespace vexa {

// Design geometry of the instrument pages: the memo along the left, a column of controls
// on the right starting at kRightColumn, the driver note under the memo.
inline constexpr int kRightColumn = 448;
inline constexpr int kMemoWidth = 441;
// The sheet's height at the design size; the memo fills it above the driver note.
inline constexpr int kDesignSheetHeight = 354;
inline constexpr int kNoteHeight = 16;
inline constexpr int kNoteGap = 2;
inline constexpr int kMemoHeight = kDesignSheetHeight - kNoteGap - kNoteHeight;
inline constexpr int kControlWidth = 121;
// The sheet width at the design size, against which the layout rule is written.
inline constexpr int kDesignSheetWidth = 594;

MemoWidget* MakeMemo(QWidget* page, const char* name);
QLineEdit* MakeCommandLine(QWidget* page, const char* name);
QPushButton* MakeButton(QWidget* page, const char* name, const QString& caption, int top,
                        bool enabled);
QLabel* MakeLabel(QWidget* page, const char* name, const QString& caption, int left, int top);
// The line under the memo naming the instrument's connection (its text comes from the
// page's ConnectionControl).
ElidedPathLabel* MakeDriverNote(QWidget* page);

// The layout rule shared by both pages for a sheet of the given size: the memo and the note
// under it take the width the right-hand column leaves, and the column keeps its distance to
// the sheet's right edge; the memo takes the sheet's height above the note.
void PlaceMemoAndNote(MemoWidget* memo, ElidedPathLabel* note, int sheet_width, int sheet_height);
int RightColumnLeft(int sheet_width);
void MoveLeft(std::initializer_list<QWidget*> controls, int left);

// A page's own worker for the work the window must never wait for: console commands and the
// test-set configuration run here, one after the other in the order they were given. The
// thread starts with the first job and ends with the queue.
class CommandQueue {
 public:
  CommandQueue() = default;
  // Cancels and waits for the job in progress.
  ~CommandQueue();
  CommandQueue(const CommandQueue&) = delete;
  CommandQueue& operator=(const CommandQueue&) = delete;

  // Adds `job` after the jobs given before it and returns true. After Cancel nothing more
  // runs: the job is dropped (false).
  bool Push(std::function<void()> job);
  // For good (the page is closing): drops the jobs not started and raises the flag that the
  // job in progress looks at. Returns how many jobs were dropped.
  std::size_t Cancel();
  const std::atomic<bool>& cancelled() const { return cancelled_; }
  // Waits until the job in progress (if any) has returned and the thread has ended. Call
  // after Cancel.
  void Join();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;  // guarded by mutex_
  bool ending_ = false;                     // guarded by mutex_
  std::atomic<bool> cancelled_ = false;
  std::thread thread_;  // started by the first Push, on the owner's thread
};

// A page's CommandQueue as the page drives it from the GUI thread: an exception a job throws
// goes to the page's guard on the GUI thread, and `changed` runs there whenever the number of
// jobs given and not yet ended changes (the page shows its connection as busy meanwhile).
class PageCommands {
 public:
  PageCommands(QObject* page, std::function<void()> changed)
      : page_(page), changed_(std::move(changed)) {}

  // Queues `job` after the ones given before it; false once the page is closing.
  bool Push(std::function<void()> job);
  // Jobs given and not yet seen to end.
  int pending() const { return pending_; }
  // The page is closing: the jobs not started are dropped and the job in progress sees
  // cancelled(). `changed` is not called.
  void Cancel() { pending_ -= static_cast<int>(queue_.Cancel()); }
  const std::atomic<bool>& cancelled() const { return queue_.cancelled(); }
  // After Cancel: waits until the job in progress has returned.
  void Join() { queue_.Join(); }

 private:
  QObject* page_;
  std::function<void()> changed_;
  CommandQueue queue_;
  int pending_ = 0;
};

}  // namespace vexa

// Stop and cancel of one instrument run, shared by the run's worker and whoever asks it to end
// (the page's Stop button, the window closing, a signal in vexa-cli).
//
// "Stop" ends the run in order: before its next bus call, with whatever the run writes at a
// stop. "Cancel" ends it at once, writing nothing more, and ends a bus call in progress where
// the session's transport allows it. Both wake a wait of the run at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vexa {

class InstrumentSession;

class RunControl {
 public:
  // Thrown by the run's checks and caught by its procedure.
  struct Stopped {};
  struct Cancelled {};

  // `session`: the instrument whose calls Cancel aborts.
  explicit RunControl(InstrumentSession& session) : session_(session) {}
  RunControl(const RunControl&) = delete;
  RunControl& operator=(const RunControl&) = delete;

  // Any thread.
  void RequestStop();
  void Cancel();

  // A new start: a stop asked before it no longer counts (the run that was stopped has ended).
  void ClearStop();

  bool stop_requested() const { return stop_.load(); }
  bool cancelled() const { return cancelled_.load(); }
  // Either of the two.
  bool ending() const { return stop_.load() || cancelled_.load(); }
  // The flags themselves, for a view that watches them while it waits for the user.
  const std::atomic<bool>& stop_flag() const { return stop_; }
  const std::atomic<bool>& cancel_flag() const { return cancelled_; }

  // Throws Cancelled after Cancel.
  void ThrowIfCancelled() const;

  // Waits `ms` milliseconds, or less when the run is cancelled or, with `wake_on_stop`, asked
  // to stop. Returns true when the wait was cut short.
  bool Wait(std::chrono::duration<double, std::milli> ms, bool wake_on_stop = true);

 private:
  InstrumentSession& session_;
  std::atomic<bool> stop_ = false;
  std::atomic<bool> cancelled_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
};

}  // namespace vexa

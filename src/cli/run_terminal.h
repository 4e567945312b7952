// What the commands of vexa-cli share on a terminal: a standard output that may go away (a
// pipe whose reader ended, a closed terminal, a full disk) without taking the program with it;
// SIGINT, SIGTERM and SIGHUP as the page's stop button for the instrument commands; and the
// runs' progress line on stderr.
#pragma once

#include <csignal>
#include <functional>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

namespace vexa::cli {

// The message for a failed write to standard output: "vexa-cli: cannot write to standard
// output: No space left on device".
std::string OutputFailureMessage(int error);

// Standard output as the commands write it: buffered write(2) calls on a descriptor, made when
// the buffer fills or the stream is flushed. A write that fails (with SIGPIPE ignored, a
// closed pipe fails like a full disk) is reported once on `err`, and from then on everything
// written is dropped: the command carries on (a run finishes and writes its log) and failed()
// tells the caller to end with exit status 1. The stream itself never goes bad.
class OutputBuffer : public std::streambuf {
 public:
  OutputBuffer(int descriptor, std::ostream& err);
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  // True once a write failed.
  bool failed() const { return error_ != 0; }

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  // Writes out what the buffer holds (or drops it after a failure) and empties it.
  void Drain();

  const int descriptor_;
  std::ostream& err_;
  int error_ = 0;
  std::vector<char> buffer_;
};

// While it lives, SIGINT, SIGTERM and SIGHUP (the terminal closed) ask the command to stop, as
// the page's stop button would. A watcher thread takes them (they are blocked in every other
// thread, so no call is interrupted and a driver read in progress never turns into a bus
// error). At the first it writes "vexa-cli: stopping (interrupt again to end at once)" on
// stderr and at once runs the stop action the command set (a run's RequestStop), also while
// the command's own thread is blocked in a bus call. After that a SIGINT or SIGTERM ends the
// program at once with exit status 128 + the signal's number; another SIGHUP changes nothing.
// A signal the program was started to ignore stays ignored. Construct it on the main thread
// before any other thread starts; the previous signal mask comes back when it goes. One at a
// time.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Runs `action` (on the watcher thread) when the first signal comes while the returned
  // object lives, or at once (on this thread) when it has already come. When the object goes,
  // no call of the action is in progress any more, so what it uses may then go too.
  class ActionScope {
   public:
    ActionScope(StopSignals& signals, std::function<void()> action);
    ~ActionScope();
    ActionScope(const ActionScope&) = delete;
    ActionScope& operator=(const ActionScope&) = delete;

   private:
    StopSignals& signals_;
  };
  [[nodiscard]] ActionScope OnStop(std::function<void()> action) {
    return ActionScope(*this, std::move(action));
  }

  // True once the first signal arrived.
  bool StopRequested() const;

 private:
  void SetAction(std::function<void()> action);
  void Watch();

  sigset_t previous_mask_{};
  int signal_fd_ = -1;      // the stop signals, read by the watcher
  int quit_[2] = {-1, -1};  // the destructor writes to [1] to end the watcher
  std::mutex mutex_;
  std::function<void()> action_;  // guarded by mutex_
  bool stopped_ = false;          // guarded by mutex_: the watcher saw the first signal
  std::string notice_;
  std::thread watcher_;
};

// True once a stop signal arrived under the StopSignals that lives now.
bool Interrupted();

// "01m:05s" for a time in milliseconds, rounded to the second.
std::string MinutesAndSeconds(double ms);

// The run's progress on stderr: one line redrawn in place (at most ten times a second) when
// stderr is a terminal, otherwise a plain line each time the run passes a tenth.
class ProgressLine {
 public:
  explicit ProgressLine(std::ostream& err);

  // `text` for a run `fraction` (0 to 1) done after `elapsed_ms`.
  void Show(const std::string& text, double fraction, double elapsed_ms);
  // Takes the line away before something else is written to the terminal.
  void Erase();
  // The run ended: the last line stays, and the next run starts afresh.
  void End();

 private:
  std::ostream& err_;
  const bool interactive_;
  bool shown_ = false;
  double last_draw_ms_ = 0;
  int last_tenth_ = -1;
};

}  // namespace vexa::cli

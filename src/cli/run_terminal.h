// What the instrument runs of vexa-cli (gsm-test, current-test) share on a terminal: SIGINT
// and SIGTERM as the page's stop button, and the progress line on stderr.
#pragma once

#include <csignal>
#include <ostream>
#include <string>

namespace vexa::cli {

// While it lives, SIGINT and SIGTERM only set a flag that the run's view polls (Interrupted);
// the previous handlers come back when it goes. Interrupted system calls restart, so a driver
// read in progress is not turned into a bus error.
class InterruptHandlers {
 public:
  InterruptHandlers();
  ~InterruptHandlers();
  InterruptHandlers(const InterruptHandlers&) = delete;
  InterruptHandlers& operator=(const InterruptHandlers&) = delete;

 private:
  struct sigaction previous_int_ {};
  struct sigaction previous_term_ {};
};

// True once SIGINT or SIGTERM arrived under the current InterruptHandlers.
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

#include "cli/run_terminal.h"

#include <signal.h>
#include <unistd.h>

#include "core/text_format.h"

namespace vexa::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int /*signal*/) {
  g_interrupted = 1;
}

}  // namespace

InterruptHandlers::InterruptHandlers() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &previous_int_);
  sigaction(SIGTERM, &action, &previous_term_);
}

InterruptHandlers::~InterruptHandlers() {
  sigaction(SIGINT, &previous_int_, nullptr);
  sigaction(SIGTERM, &previous_term_, nullptr);
}

bool Interrupted() {
  return g_interrupted != 0;
}

std::string MinutesAndSeconds(double ms) {
  const auto seconds = static_cast<long long>(ms / 1000.0 + 0.5);
  return Format("%02lldm:%02llds", seconds / 60, seconds % 60);
}

ProgressLine::ProgressLine(std::ostream& err)
    : err_(err), interactive_(isatty(STDERR_FILENO) != 0) {}

void ProgressLine::Show(const std::string& text, double fraction, double elapsed_ms) {
  if (interactive_) {
    if (shown_ && fraction < 1.0 && elapsed_ms - last_draw_ms_ < 100)
      return;
    last_draw_ms_ = elapsed_ms;
    err_ << "\r\x1b[K" << text << std::flush;
    shown_ = true;
  } else if (const int tenth = static_cast<int>(fraction * 10.0); tenth != last_tenth_) {
    last_tenth_ = tenth;
    err_ << text << '\n' << std::flush;
  }
}

void ProgressLine::Erase() {
  if (shown_) {
    err_ << "\r\x1b[K" << std::flush;
    shown_ = false;
  }
}

void ProgressLine::End() {
  if (shown_) {
    err_ << '\n' << std::flush;
    shown_ = false;
  }
  last_tenth_ = -1;
}

}  // namespace vexa::cli

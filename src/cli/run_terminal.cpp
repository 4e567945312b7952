#include "cli/run_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "core/text_format.h"

namespace vexa::cli {
namespace {

// What the handler shares with the rest: plain lock-free atomics, safe in a signal handler.
std::atomic<int> g_first_signal{0};  // the first stop signal's number, 0 before it came
std::atomic<int> g_wake_fd{-1};      // the write end of the watcher's pipe
static_assert(std::atomic<int>::is_always_lock_free);

// The first signal wakes the watcher; a later SIGINT or SIGTERM ends the program at once.
// Only async-signal-safe calls.
void OnStopSignal(int signal_number) {
  const int saved_errno = errno;
  int expected = 0;
  if (g_first_signal.compare_exchange_strong(expected, signal_number)) {
    const int wake = g_wake_fd.load();
    const char byte = 1;
    if (wake >= 0) {
      [[maybe_unused]] const ssize_t written = write(wake, &byte, 1);
    }
  } else if (signal_number != SIGHUP) {
    _exit(128 + signal_number);
  }
  errno = saved_errno;
}

void WriteAll(int descriptor, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = write(descriptor, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return;
    done += static_cast<std::size_t>(written);
  }
}

}  // namespace

std::string OutputFailureMessage(int error) {
  return std::string("vexa-cli: cannot write to standard output: ") + std::strerror(error);
}

OutputBuffer::OutputBuffer(int descriptor, std::ostream& err)
    : descriptor_(descriptor), err_(err), buffer_(16384) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

OutputBuffer::int_type OutputBuffer::overflow(int_type c) {
  Drain();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int OutputBuffer::sync() {
  Drain();
  return 0;
}

void OutputBuffer::Drain() {
  const char* data = pbase();
  auto left = static_cast<std::size_t>(pptr() - pbase());
  // Empty before writing: the message below flushes this buffer again (stderr is tied to
  // standard output), which must then find nothing.
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  while (left > 0 && error_ == 0) {
    const ssize_t written = write(descriptor_, data, left);
    if (written > 0) {
      data += written;
      left -= static_cast<std::size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A non-blocking descriptor that is full: wait until it takes more.
      pollfd ready{descriptor_, POLLOUT, 0};
      poll(&ready, 1, -1);
    } else {
      error_ = written < 0 ? errno : EIO;
      err_ << OutputFailureMessage(error_) << '\n' << std::flush;
    }
  }
}

StopSignals::StopSignals() {
  g_first_signal = 0;
  if (pipe2(wake_, O_CLOEXEC) == 0) {
    fcntl(wake_[1], F_SETFL, fcntl(wake_[1], F_GETFL) | O_NONBLOCK);
    g_wake_fd = wake_[1];
  }
  // On a terminal the notice starts on a line of its own, after "^C" or the progress line.
  notice_ = std::string(isatty(STDERR_FILENO) ? "\n" : "") +
            "vexa-cli: stopping (interrupt again to end at once)\n";

  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  // The watcher never takes the signals itself: it starts with them blocked.
  sigset_t previous_mask;
  pthread_sigmask(SIG_BLOCK, &stop_signals, &previous_mask);
  watcher_ = std::thread(&StopSignals::Watch, this);
  pthread_sigmask(SIG_SETMASK, &previous_mask, nullptr);

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  action.sa_mask = stop_signals;
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &previous_int_);
  sigaction(SIGTERM, &action, &previous_term_);
  sigaction(SIGHUP, &action, &previous_hup_);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &previous_int_, nullptr);
  sigaction(SIGTERM, &previous_term_, nullptr);
  sigaction(SIGHUP, &previous_hup_, nullptr);
  g_wake_fd = -1;
  if (wake_[1] >= 0) {
    const char quit = 0;
    [[maybe_unused]] const ssize_t written = write(wake_[1], &quit, 1);
  }
  watcher_.join();
  for (int descriptor : wake_) {
    if (descriptor >= 0)
      close(descriptor);
  }
}

StopSignals::ActionScope::ActionScope(StopSignals& signals, std::function<void()> action)
    : signals_(signals) {
  signals_.SetAction(std::move(action));
}

StopSignals::ActionScope::~ActionScope() {
  signals_.SetAction(nullptr);
}

bool StopSignals::StopRequested() const {
  return g_first_signal.load() != 0;
}

void StopSignals::SetAction(std::function<void()> action) {
  const std::lock_guard lock(mutex_);
  action_ = std::move(action);
  if (action_ && (stopped_ || g_first_signal.load() != 0))
    action_();
}

void StopSignals::Watch() {
  for (;;) {
    char byte = 0;
    const ssize_t received = read(wake_[0], &byte, 1);
    if (received < 0 && errno == EINTR)
      continue;
    if (received <= 0 || byte == 0)
      return;
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    WriteAll(STDERR_FILENO, notice_);
    if (action_)
      action_();
  }
}

bool Interrupted() {
  return g_first_signal.load() != 0;
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

#include "cli/run_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "core/text_format.h"

namespace vexa::cli {
namespace {

// The first stop signal's number, 0 before it came. Set by the watcher; read by any thread.
std::atomic<int> g_first_signal{0};

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
  // On a terminal the notice starts on a line of its own, after "^C" or the progress line.
  notice_ = std::string(isatty(STDERR_FILENO) ? "\n" : "") +
            "vexa-cli: stopping (interrupt again to end at once)\n";

  // The signals stay blocked in this thread and in every thread started from now on (they
  // inherit the mask), so they interrupt no call and queue for the watcher, which takes them
  // from a signalfd. Nothing depends on which thread the kernel would have picked, nor on a
  // handler being run while a thread waits (a sanitizer runtime may hold such a handler back
  // until the wait ends).
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop_signals, &previous_mask_);
  signal_fd_ = signalfd(-1, &stop_signals, SFD_CLOEXEC);
  if (pipe2(quit_, O_CLOEXEC) != 0)
    quit_[0] = quit_[1] = -1;
  watcher_ = std::thread(&StopSignals::Watch, this);
}

StopSignals::~StopSignals() {
  if (quit_[1] >= 0) {
    const char quit = 0;
    [[maybe_unused]] const ssize_t written = write(quit_[1], &quit, 1);
  }
  watcher_.join();
  for (int descriptor : {quit_[0], quit_[1], signal_fd_}) {
    if (descriptor >= 0)
      close(descriptor);
  }
  // A signal that comes from here on has its usual effect again.
  pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
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
  if (signal_fd_ < 0 || quit_[0] < 0)
    return;
  for (;;) {
    pollfd ready[2] = {{signal_fd_, POLLIN, 0}, {quit_[0], POLLIN, 0}};
    if (poll(ready, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      return;
    }
    if (ready[1].revents != 0)
      return;
    signalfd_siginfo info{};
    if (read(signal_fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
      continue;
    const int signal_number = static_cast<int>(info.ssi_signo);
    int expected = 0;
    if (!g_first_signal.compare_exchange_strong(expected, signal_number)) {
      // A later SIGINT or SIGTERM ends the program at once; a closing terminal may send
      // SIGHUP twice, which changes nothing.
      if (signal_number != SIGHUP)
        _exit(128 + signal_number);
      continue;
    }
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

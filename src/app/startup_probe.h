// Start-up probe for the start-up benchmark (bench/startup.py). With VEXA_STARTUP_PROBE=1 in
// the environment, the program writes one line to stdout once its main window has been
// exposed and painted for the first time, and ends at once (teardown is not measured):
//
//   startup-probe mapped_ns=<CLOCK_MONOTONIC ns> cpu_ns=<CPU time of all threads so far>
//                 vmhwm_kb=<peak RSS> vmrss_kb=<RSS>
//
// Without the variable it does nothing. Header-only, so that the bare Qt window the benchmark
// compares against reports in exactly the same way.
#pragma once

#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace vexa {

class StartupProbe : public QObject {
 public:
  // Watches `window` when VEXA_STARTUP_PROBE is set; call before showing it.
  static void InstallIfRequested(QWidget* window) {
    const char* value = std::getenv("VEXA_STARTUP_PROBE");
    if (!value || std::strcmp(value, "1") != 0)
      return;
    // An application-wide filter, because the window's QWindow does not exist before show().
    QCoreApplication::instance()->installEventFilter(new StartupProbe(window));
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && !reported_ && window_->windowHandle() == watched &&
        window_->windowHandle()->isExposed()) {
      reported_ = true;
      // The expose event paints and flushes the window while it is handled; report after it.
      QMetaObject::invokeMethod(
          this, [this] { Report(); }, Qt::QueuedConnection);
    }
    return false;
  }

 private:
  explicit StartupProbe(QWidget* window) : QObject(QCoreApplication::instance()), window_(window) {}

  static long StatusKb(const char* key) {
    long kb = -1;
    if (std::FILE* file = std::fopen("/proc/self/status", "r")) {
      char line[256];
      const std::size_t length = std::strlen(key);
      while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, key, length) == 0) {
          kb = std::strtol(line + length, nullptr, 10);
          break;
        }
      }
      std::fclose(file);
    }
    return kb;
  }

  static long long Nanoseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
  }

  void Report() {
    const long long mapped = Nanoseconds(CLOCK_MONOTONIC);
    const long long cpu = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
    std::printf("startup-probe mapped_ns=%lld cpu_ns=%lld vmhwm_kb=%ld vmrss_kb=%ld\n", mapped, cpu,
                StatusKb("VmHWM:"), StatusKb("VmRSS:"));
    std::fflush(stdout);
    _exit(0);
  }

  QWidget* window_;
  bool reported_ = false;
};

}  // namespace vexa

// Current drain test benchmark, run by hand (bench/current_run.sh builds it in build-bench and
// runs it).
//
//   current_run_bench [-n ROUNDS] [--readings N] [--long N | --no-long] [--breakdown]
//
// Loads the instrument simulator as the GPIB driver ($VEXA_GPIB_LIBRARY, by default the
// libvexa-gpib-sim.so of this build) with no latency and no acquisition time (speed 0), so
// that only the program's own work and the driver calls count, then:
//
//  1. Engine against raw bus: ROUNDS times (default 7) a run of N readings (default 100,000;
//     the page's settings, sample lines on) through CurrentTestRun with a view like the
//     page's (a bounded tail of the memo, every line forwarded to the log while attached; the
//     log written into a temporary directory), alternating with a raw loop of the same bus
//     calls on one InstrumentSession::Link (write "MEAS:CURR?", read 40 bytes; no parsing, no
//     lines, no log). A clock that moves 1 ms per reading of it makes the run end after exactly N /
//     50 batches. Prints the readings per second of each (median and fastest round) and the
//     engine's time over the raw loop's (the goal: 1.2 or less). --breakdown adds a run with
//     the sample lines off in every round (what the lines and the log cost).
//  2. Long run: one run of N readings (default 2,000,000) with sample lines on through the
//     same view; prints its time, the log's size and the peak resident memory of the process
//     (getrusage ru_maxrss), which must not grow with the number of readings.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "instrument/bus/instrument_session.h"
#include "instrument/runs/current_test_run.h"
#include "instrument/runs/instrument_station.h"
#include "instrument/runs/run_log.h"
#include "sim/vexa_gpib_sim.h"

namespace {

// The bench's instruments, for the whole process.
std::unique_ptr<vexa::InstrumentStation> g_station = std::make_unique<vexa::InstrumentStation>();

using Clock = std::chrono::steady_clock;

constexpr std::size_t kTailLines = 1000;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The page as the run sees it: the last kTailLines memo lines (the widget keeps a bounded
// tail), each line also to the attached log, under one lock as the page's view holds it.
class TailView : public vexa::CurrentRunView, public vexa::MemoSink {
 public:
  void AppendLine(const std::string& line) override {
    const std::lock_guard lock(mutex_);
    tail_.push_back(line);
    if (tail_.size() > kTailLines)
      tail_.pop_front();
    if (log_)
      log_->AppendLine(line);
  }
  void ClearMemo() override {
    const std::lock_guard lock(mutex_);
    tail_.clear();
  }
  std::vector<std::string> MemoLines() override {
    const std::lock_guard lock(mutex_);
    return {tail_.begin(), tail_.end()};
  }
  void AttachLog(vexa::MemoSink* log) override {
    const std::lock_guard lock(mutex_);
    log_ = log;
  }
  void SetTestTime(const std::string& caption) override { test_time_ = caption; }
  void SetAverage(const std::string& caption) override { average_ = caption; }
  void SetRunning(bool) override {}
  bool DemoMode() override { return false; }
  void BatchFinished(const vexa::CurrentBatch& batch) override { batches_ = batch.batches; }

 private:
  std::mutex mutex_;
  std::deque<std::string> tail_;
  vexa::MemoSink* log_ = nullptr;
  std::string test_time_;
  std::string average_;
  long batches_ = 0;
};

// 1 ms per reading of the millisecond clock: the run reads it once at the start and once per
// batch, so a test time of B ms ends after B batches. The log is named by the real time.
class BatchClock : public vexa::RunClock {
 public:
  double NowMs() override { return ms_ += 1; }
  vexa::UtcTime NowUtc() override { return vexa::CurrentUtcTime(); }

 private:
  double ms_ = 0;
};

struct EngineRun {
  double seconds = 0;
  long readings = 0;
  long log_bytes = 0;
};

EngineRun RunEngine(long readings, const std::string& log_directory, bool samples = true) {
  TailView view;
  g_station->DcSourceDevice.SetMemo(&view);
  BatchClock clock;
  vexa::CurrentRunOptions options;
  options.log_directory = log_directory;
  options.settle_ms = 0;
  vexa::CurrentSettings settings;
  settings.show_samples = samples;
  const long batches = std::max(1L, readings / vexa::kReadingsPerBatch);
  // Slightly less than the batches' time, so that rounding never adds a batch.
  char minutes[64];
  std::snprintf(minutes, sizeof minutes, "%.12g", (static_cast<double>(batches) - 0.5) / 60000.0);
  settings.minutes = minutes;
  EngineRun result;
  const Clock::time_point start = Clock::now();
  {
    vexa::CurrentTestRun run(g_station->DcSourceDevice, view, clock, options);
    if (!run.Configure(settings, false)) {
      std::fprintf(stderr, "current_run_bench: the DC source was not configured\n");
      std::exit(1);
    }
    run.Run();
    result.seconds = Seconds(start);
    result.readings = run.readings();
    if (run.log_failed()) {
      std::fprintf(stderr, "current_run_bench: the log was not written\n");
      std::exit(1);
    }
    result.log_bytes = static_cast<long>(std::filesystem::file_size(run.log_path()));
    std::filesystem::remove(run.log_path());
  }
  g_station->DcSourceDevice.DetachMemo(&view);
  return result;
}

// The same bus calls without the engine.
double RawLoop(long readings) {
  const Clock::time_point start = Clock::now();
  vexa::InstrumentSession::Link link = g_station->DcSourceDevice.CurrentLink();
  char answer[vexa::kCurrentAnswerSize + 1] = {};
  for (long i = 0; i < readings; ++i) {
    link.Write("MEAS:CURR?");
    link.Read(answer, vexa::kCurrentAnswerSize);
  }
  return Seconds(start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7;
  long readings = 100000;
  long long_readings = 2000000;
  bool breakdown = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-n" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--readings" && i + 1 < argc) {
      readings = std::max(50L, std::atol(argv[++i]));
    } else if (arg == "--long" && i + 1 < argc) {
      long_readings = std::max(0L, std::atol(argv[++i]));
    } else if (arg == "--breakdown") {
      breakdown = true;
    } else if (arg == "--no-long") {
      long_readings = 0;
    } else {
      std::fprintf(stderr,
                   "usage: current_run_bench [-n ROUNDS] [--readings N] "
                   "[--long N | --no-long] [--breakdown]\n");
      return 2;
    }
  }
  setenv("VEXA_GPIB_LIBRARY", VEXA_SIM_LIBRARY, 0);
  vexa_sim_reset();
  vexa_sim_set_latency_ms(0);
  vexa_sim_set_speed(0);
  // Millions of messages: the simulator's own log of them would swamp the memory figure.
  vexa_sim_set_command_log(0);

  // The logs go to $TMPDIR (default /tmp).
  const char* temp_base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(temp_base && *temp_base ? temp_base : "/tmp") + "/vexa-current-bench-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string temp = pattern;
  const std::string log_directory = temp + "/Current Log";

  std::printf("Current drain test, %ld readings per round, %d rounds, simulator at speed 0\n",
              readings, rounds);
  std::vector<double> engine, raw, quiet;
  long engine_readings = 0;
  RunEngine(readings / 10, log_directory);  // warm-up: driver loaded, files cached
  RawLoop(readings / 10);
  for (int round = 0; round < rounds; ++round) {
    const EngineRun run = RunEngine(readings, log_directory);
    engine_readings = run.readings;
    engine.push_back(run.seconds);
    raw.push_back(RawLoop(run.readings));
    if (breakdown)
      quiet.push_back(RunEngine(readings, log_directory, false).seconds);
  }
  const double engine_median = Median(engine);
  const double raw_median = Median(raw);
  const double engine_best = *std::min_element(engine.begin(), engine.end());
  const double raw_best = *std::min_element(raw.begin(), raw.end());
  const auto rate = [engine_readings](double seconds) {
    return static_cast<double>(engine_readings) / seconds;
  };
  std::printf("  engine (samples on):  %10.0f readings/s median, %10.0f fastest\n",
              rate(engine_median), rate(engine_best));
  std::printf("  raw bus loop:         %10.0f readings/s median, %10.0f fastest\n",
              rate(raw_median), rate(raw_best));
  std::printf("  engine / raw time:    %.3f median, %.3f fastest (goal <= 1.2)\n",
              engine_median / raw_median, engine_best / raw_best);

  if (breakdown) {
    std::printf("  engine, samples off:  %10.0f readings/s median (%.3f of the raw loop's time)\n",
                rate(Median(quiet)), Median(quiet) / raw_median);
  }

  if (long_readings > 0) {
    const long before = PeakKilobytes();
    const EngineRun run = RunEngine(long_readings, log_directory);
    std::printf(
        "Long run: %ld readings with sample lines in %.2f s (%.0f readings/s), log "
        "%.1f MB\n",
        run.readings, run.seconds, static_cast<double>(run.readings) / run.seconds,
        static_cast<double>(run.log_bytes) / 1e6);
    std::printf("  peak resident memory: %ld kB (%ld kB before the long run)\n", PeakKilobytes(),
                before);
  }
  std::filesystem::remove_all(temp);
  return 0;
}

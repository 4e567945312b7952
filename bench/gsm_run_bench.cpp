// GSM test run benchmark, run by hand (bench/gsm_run.sh builds it in build-bench and runs it).
//
//   gsm_run_bench [-n RUNS] [--no-scan] [--breakdown] [--cli VEXA_CLI | --no-cli]
//
// Loads the instrument simulator as the GPIB driver ($VEXA_GPIB_LIBRARY, by default the
// libvexa-gpib-sim.so of this build) with no latency, configures the test set with the plan
// of the test-plan window as it opens (as "Config" does), then:
//
//  1. Engine against raw bus: RUNS times (default 20) the whole run of that plan (Start Test,
//     then the worker's procedure, with a view like the page's: the newest 20,000 memo lines
//     and every line to the log, streamed into a temporary directory), alternating with a
//     replay of exactly the bus traffic of one such run: every message the simulator logged
//     during a recorded run, written in order through one InstrumentSession::Link, and read after
//     each query (a message ending in '?') with the engine's read sizes. No parsing, no formatting.
//     Prints the median and the fastest time of each and their ratios (the fastest runs are the
//     least disturbed by other work on the machine); the engine's overhead is the difference. With
//     --breakdown, also where the engine's own time goes: the measurements' parsing and result
//     lines alone (MeasureItem over the answers of the recorded run, no bus), the log file alone
//     (the run's lines through a StreamedLog), and the replay taking the session's current
//     descriptor and a command copy for every call, as the run's bus does; every part is timed in
//     every round, and the fastest of each is shown.
//  2. Scan mode: all four bands, every channel of each band (971), every level, all items,
//     one run. Prints its time, its result lines and the peak resident memory of the process
//     (getrusage ru_maxrss, which also holds the lines the view keeps).
//  3. The same scan through `vexa-cli gsm-test` (the vexa-cli of this build, or --cli PATH) on
//     a plan file of that plan, in a temporary directory, stdout to /dev/null: its exit code,
//     time, log lines and peak resident memory (ru_maxrss of the child; the goal: 32 MB).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "instrument/bus/instrument_session.h"
#include "instrument/runs/gsm_test_run.h"
#include "instrument/runs/instrument_station.h"
#include "instrument/runs/plan_file.h"
#include "instrument/runs/plan_form.h"
#include "instrument/runs/run_log.h"
#include "instrument/runs/test_plan.h"
#include "instrument/runs/testset_config.h"
#include "sim/vexa_gpib_sim.h"

namespace {

// The bench's instruments, for the whole process.
std::unique_ptr<vexa::InstrumentStation> g_station = std::make_unique<vexa::InstrumentStation>();

using vexa::GsmRunView;
using Clock = std::chrono::steady_clock;

constexpr int kTestSetAddress = 14;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The "8960" page reduced to its memo: the newest kGsmMemoLineLimit lines, as the page keeps
// them, each line also to the attached log, under one lock as the page's memo holds it;
// everything else ignored.
class PageView : public GsmRunView {
 public:
  void AppendLine(const std::string& line) override {
    const std::lock_guard lock(mutex_);
    ++lines;
    tail_.push_back(line);
    if (tail_.size() > vexa::kGsmMemoLineLimit)
      tail_.pop_front();
    if (log_)
      log_->AppendLine(line);
  }
  void ClearMemo() override {
    const std::lock_guard lock(mutex_);
    tail_.clear();
    log_.reset();
  }
  std::vector<std::string> MemoLines() override {
    const std::lock_guard lock(mutex_);
    return {tail_.begin(), tail_.end()};
  }
  void AttachLog(std::shared_ptr<vexa::StreamedLog> log) override {
    const std::lock_guard lock(mutex_);
    log_ = std::move(log);
  }
  std::shared_ptr<vexa::StreamedLog> AttachedLog() override {
    const std::lock_guard lock(mutex_);
    return log_;
  }
  void SetTestTime(const std::string&) override {}
  void SetRunning(bool) override {}
  void SetVerdictColour(vexa::VerdictColour) override {}
  void ShowProgress(long, long, double) override {}
  void Beep(int) override {}
  vexa::ReconnectAnswer AskToReconnect(const std::atomic<bool>&,
                                       const std::atomic<bool>&) override {
    return vexa::ReconnectAnswer::kStopTest;
  }

  std::size_t lines = 0;  // lines the memo received

 private:
  std::mutex mutex_;
  std::deque<std::string> tail_;
  std::shared_ptr<vexa::StreamedLog> log_;
};

class QuietPage : public vexa::MemoSink, public vexa::ConfigureView {
 public:
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  void ClearMemo() override {}
  void ResetCommandLineColour() override {}
  void EnableStartTest() override { start_test_enabled = true; }
  void CloseWindow() override {}
  std::vector<std::string> lines;
  bool start_test_enabled = false;
};

// "Config" with the window in `form`; exits when the test set was not configured.
void Configure(const vexa::PlanForm& form) {
  QuietPage page;
  g_station->TestSetDevice.SetMemo(&page);
  vexa::ConfigureTestSet(
      g_station->Plan, [&form](vexa::TestPlan& plan) { vexa::CaptureTestPlan(form, plan); },
      form.CheckBox1.checked, g_station->TestSetDevice, page);
  g_station->TestSetDevice.DetachMemo(&page);
  if (!page.start_test_enabled) {
    std::fprintf(stderr, "gsm_run_bench: the configuration failed\n");
    for (const std::string& line : page.lines)
      std::fprintf(stderr, "  %s\n", line.c_str());
    std::exit(1);
  }
}

struct EngineRun {
  double seconds = 0;
  std::size_t lines = 0;
  vexa::RunOutcome outcome = vexa::RunOutcome::kNotStarted;
};

EngineRun RunEngine(const std::string& log_directory) {
  PageView view;
  vexa::GsmRunOptions options;
  options.log_directory = log_directory;
  const Clock::time_point start = Clock::now();
  vexa::GsmTestRun run(g_station->Plan, g_station->TestSetDevice, view, vexa::SystemRunClock(),
                       options);
  EngineRun result;
  if (run.Start())
    result.outcome = run.Run();
  result.seconds = Seconds(start);
  result.lines = view.lines;
  // Runs within one minute get the same log name, and the log then takes the next free
  // numbered name, trying every taken one first; remove it so every run is the first.
  if (!run.log_path().empty())
    std::filesystem::remove(run.log_path());
  return result;
}

struct Message {
  std::string text;
  long read_size;      // 0: a command, nothing is read
  std::string answer;  // of a query, in the recorded run's replay
};

// The messages the test set received from entry `first` of its log on.
std::vector<Message> LoggedMessages(int first) {
  std::vector<Message> messages;
  const int count = vexa_sim_log_count(kTestSetAddress);
  for (int i = first; i < count; ++i) {
    std::string text(static_cast<std::size_t>(vexa_sim_log_entry(kTestSetAddress, i, nullptr, 0)),
                     '\0');
    vexa_sim_log_entry(kTestSetAddress, i, text.data(), static_cast<int>(text.size()) + 1);
    long size = 0;
    if (!text.empty() && text.back() == '?') {
      // The read sizes of the run: the call state 20 bytes, the cell band 100, others 1000.
      if (text == "CALL:CONNECTED:STATE?" || text == "CALL:CONN:STAT?")
        size = 20;
      else if (text == "CALL:CELL:BAND?")
        size = vexa::kCellBandQuerySize;
      else
        size = vexa::kAnswerSize;
    }
    messages.push_back({std::move(text), size, {}});
  }
  return messages;
}

// The same bus traffic without the engine; returns the seconds and the bytes read.
double Replay(const std::vector<Message>& messages, long& bytes_read) {
  const Clock::time_point start = Clock::now();
  vexa::InstrumentSession::Link link = g_station->TestSetDevice.CurrentLink();
  bytes_read = 0;
  for (const Message& message : messages) {
    link.Write(message.text);
    if (message.read_size > 0)
      bytes_read += static_cast<long>(link.ReadAnswer(message.read_size).size());
  }
  return Seconds(start);
}

// The replay as the run's bus makes its calls: the session's current descriptor and a copy of
// the text for every call, the read status asked for. Keeps the answers when `record` is set.
double ReplayLikeTheRun(std::vector<Message>& messages, bool record) {
  const Clock::time_point start = Clock::now();
  for (Message& message : messages) {
    const std::string_view text = message.text;
    vexa::InstrumentSession::Link link = g_station->TestSetDevice.CurrentLink();
    link.Write(std::string(text));
    if (message.read_size > 0) {
      vexa::bus::Status status;
      std::string answer = link.ReadAnswer(message.read_size, &status);
      if (record)
        message.answer = std::move(answer);
    }
  }
  return Seconds(start);
}

// The recorded run's answers to the measurements, handed out in order; commands go nowhere.
class CannedBus : public vexa::GsmBus {
 public:
  explicit CannedBus(const std::vector<Message>& messages) {
    for (const Message& message : messages) {
      if (message.read_size == vexa::kAnswerSize)
        answers_.push_back(&message.answer);
    }
  }
  void Write(std::string_view) override {}
  std::string Query(std::string_view, long, long& received) override {
    const std::string& answer = *answers_[next_++ % answers_.size()];
    received = static_cast<long>(answer.size()) + 1;
    return answer;
  }

 private:
  std::vector<const std::string*> answers_;
  std::size_t next_ = 0;
};

class VectorSink : public vexa::GsmResultSink {
 public:
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  void MarkFailure() override {}
  std::vector<std::string> lines;
};

// The run's measurements of the configured plan (the walk of GsmTestRun, without the bus
// commands between them), on the canned answers. Returns the seconds; the lines go to `sink`.
double MeasureOnly(const std::vector<Message>& messages, VectorSink& sink) {
  const vexa::TestPlan& plan = g_station->Plan;
  CannedBus bus(messages);
  float previous_tx_power = 0;
  const Clock::time_point start = Clock::now();
  for (int band = 0; band < vexa::kBandCount; ++band) {
    const auto b = static_cast<std::size_t>(band);
    if (!plan.bandEnabled[b])
      continue;
    const int rx_level = vexa::IsLowBand(band) ? 5 : 0;
    for (int c = 0; c < vexa::ListLength(plan.channels[b]); ++c) {
      const int channel = plan.channels[b][static_cast<std::size_t>(c)];
      for (int p = 0; p < vexa::ListLength(plan.levels[b]); ++p) {
        const vexa::ItemContext context{
            plan, band, channel, plan.levels[b][static_cast<std::size_t>(p)], p, previous_tx_power};
        for (int item = 0; item < 4; ++item) {
          if (plan.itemEnabled[static_cast<std::size_t>(item)])
            vexa::MeasureItem(bus, sink, context, item);
        }
      }
      const vexa::ItemContext context{plan, band, channel, rx_level, 0, previous_tx_power};
      for (int item = 4; item < vexa::kTestItemCount; ++item) {
        if (plan.itemEnabled[static_cast<std::size_t>(item)])
          vexa::MeasureItem(bus, sink, context, item);
      }
    }
  }
  return Seconds(start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The fastest of the runs: the least disturbed by other work on the machine.
double Fastest(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

const char* OutcomeText(vexa::RunOutcome outcome) {
  switch (outcome) {
    case vexa::RunOutcome::kFinished:
      return "finished";
    case vexa::RunOutcome::kStopped:
      return "stopped";
    case vexa::RunOutcome::kCancelled:
      return "cancelled";
    default:
      return "not started";
  }
}

void RequireFinished(const EngineRun& run, const char* what) {
  if (run.outcome != vexa::RunOutcome::kFinished) {
    std::fprintf(stderr, "gsm_run_bench: the %s run was %s\n", what, OutcomeText(run.outcome));
    std::exit(1);
  }
}

// Reads every field of every measurement answer with AnswerFields, as the items do.
double ParseOnly(const std::vector<Message>& messages, double& checksum) {
  const Clock::time_point start = Clock::now();
  for (const Message& message : messages) {
    if (message.read_size != vexa::kAnswerSize)
      continue;
    const long fields = 1 + std::count_if(message.answer.begin(), message.answer.end(),
                                          [](char c) { return c == ',' || c == ';'; });
    vexa::AnswerFields answer(message.answer);
    for (long i = 0; i < fields; ++i)
      checksum += answer.Next();
  }
  return Seconds(start);
}

// Every part in each round, so that all see the same load on the machine.
void Breakdown(std::vector<Message> messages, int runs, const std::string& log_directory) {
  ReplayLikeTheRun(messages, true);
  std::vector<double> engine, raw, like_run, measure, log, parse;
  double checksum = 0;
  std::size_t lines = 0;
  long bytes_read = 0;
  for (int i = 0; i < runs; ++i) {
    engine.push_back(RunEngine(log_directory).seconds);
    raw.push_back(Replay(messages, bytes_read));
    like_run.push_back(ReplayLikeTheRun(messages, false));
    VectorSink sink;
    measure.push_back(MeasureOnly(messages, sink));
    lines = sink.lines.size();
    const Clock::time_point start = Clock::now();
    vexa::SavedLog saved;
    {
      vexa::StreamedLog streamed(log_directory);
      for (const std::string& line : sink.lines)
        streamed.AppendLine(line);
      saved = streamed.Finish("breakdown", ".xls", vexa::kCreditLine);
    }
    log.push_back(Seconds(start));
    std::filesystem::remove(saved.path);
    parse.push_back(ParseOnly(messages, checksum));
  }
  const double engine_ms = Fastest(engine) * 1000;
  const double raw_ms = Fastest(raw) * 1000;
  const double like_run_ms = Fastest(like_run) * 1000;
  const double measure_ms = Fastest(measure) * 1000;
  const double log_ms = Fastest(log) * 1000;
  std::printf("breakdown, fastest of %d rounds each:\n", runs);
  std::printf("  engine run:                             %9.3f ms\n", engine_ms);
  std::printf("  bus traffic, one link:                  %9.3f ms\n", raw_ms);
  std::printf("  + descriptor and text copy per call:    %9.3f ms\n", like_run_ms - raw_ms);
  std::printf("  MeasureItem parsing and lines (%zu):  %9.3f ms\n", lines, measure_ms);
  std::printf("    of which AnswerFields on the answers: %9.3f ms (checksum %g)\n",
              Fastest(parse) * 1000, checksum);
  std::printf("  log file (StreamedLog, fsync):          %9.3f ms\n", log_ms);
  std::printf("  rest (view calls, walk, Start):         %9.3f ms\n",
              engine_ms - like_run_ms - measure_ms - log_ms);
}

void CompareWithRawBus(int runs, const std::string& log_directory, bool breakdown) {
  vexa::PlanForm form;
  form.FormCreate();
  Configure(form);

  // One recorded run gives the traffic to replay (and warms the caches of both sides).
  const int first = vexa_sim_log_count(kTestSetAddress);
  const EngineRun recorded = RunEngine(log_directory);
  RequireFinished(recorded, "recorded");
  const std::vector<Message> messages = LoggedMessages(first);
  long queries = 0;
  for (const Message& message : messages)
    queries += message.read_size > 0 ? 1 : 0;
  long bytes_read = 0;
  Replay(messages, bytes_read);

  std::vector<double> engine;
  std::vector<double> raw;
  for (int i = 0; i < runs; ++i) {
    const EngineRun run = RunEngine(log_directory);
    RequireFinished(run, "timed");
    engine.push_back(run.seconds);
    raw.push_back(Replay(messages, bytes_read));
  }
  const double engine_ms = Median(engine) * 1000;
  const double raw_ms = Median(raw) * 1000;
  const double engine_fastest_ms = Fastest(engine) * 1000;
  const double raw_fastest_ms = Fastest(raw) * 1000;
  std::printf("start-up plan: %zu messages (%ld queries, %ld answer bytes), %zu result lines\n",
              messages.size(), queries, bytes_read, recorded.lines);
  std::printf("  engine run (Start + Run, log written): %9.3f ms median, %9.3f ms fastest of %d\n",
              engine_ms, engine_fastest_ms, runs);
  std::printf("  raw bus replay, same traffic:          %9.3f ms median, %9.3f ms fastest\n",
              raw_ms, raw_fastest_ms);
  std::printf("  ratio engine / raw: %.3f median, %.3f fastest (goal <= 1.2)\n", engine_ms / raw_ms,
              engine_fastest_ms / raw_fastest_ms);
  std::printf("  engine's own time: %.1f us per message (fastest runs)\n",
              (engine_fastest_ms - raw_fastest_ms) * 1000 / static_cast<double>(messages.size()));
  if (breakdown)
    Breakdown(messages, runs, log_directory);
}

// The test-plan window with every band in scan mode, every level and every item.
void ScanForm(vexa::PlanForm& form) {
  form.FormCreate();
  for (int band = 0; band < vexa::kBandCount; ++band) {
    form.SetBandChecked(band, true);
    form.SetScanModeChecked(band, true);
  }
  form.Button1Click();  // every level of every band
  form.Button2Click();  // every item
}

void ScanAllBands(const std::string& log_directory) {
  // A fresh simulator, so that its command log of the runs before does not count in the peak.
  // The station goes first (releasing its descriptor), a new one opens on the new simulator.
  g_station.reset();
  vexa_sim_reset();
  g_station = std::make_unique<vexa::InstrumentStation>();
  vexa::PlanForm form;
  ScanForm(form);
  Configure(form);
  long channels = 0;
  for (int band = 0; band < vexa::kBandCount; ++band)
    channels += vexa::ListLength(g_station->Plan.channels[static_cast<std::size_t>(band)]);

  const long rss_before = PeakRssKb();
  const EngineRun run = RunEngine(log_directory);
  RequireFinished(run, "scan");
  std::printf("scan mode, 4 bands, %ld channels, every level, all items: %ld measurements\n",
              channels, vexa::CountMeasurements(g_station->Plan));
  std::printf("  time %.2f s, %zu result lines (%.1f us per line)\n", run.seconds, run.lines,
              run.seconds * 1e6 / static_cast<double>(run.lines));
  std::printf("  peak RSS %.1f MB (%.1f MB before the run)\n", PeakRssKb() / 1024.0,
              rss_before / 1024.0);
}

// Lines (CR LF or LF ended) of a file.
long CountLines(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  long lines = 0;
  for (std::string line; std::getline(file, line);)
    ++lines;
  return lines;
}

// The scan through vexa-cli gsm-test in a directory of its own; stdout goes to /dev/null,
// stderr (the progress) to a file shown when the run did not pass.
void ScanInCli(const std::string& cli, const std::filesystem::path& directory) {
  std::filesystem::create_directories(directory);
  vexa::PlanForm form;
  ScanForm(form);
  vexa::SavePlanFile(form, (directory / "scan").string());
  const std::string stderr_path = (directory / "stderr.txt").string();
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(directory.c_str()) != 0)
      _exit(126);
    const int null = open("/dev/null", O_WRONLY);
    const int err = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (null < 0 || err < 0 || dup2(null, 1) < 0 || dup2(err, 2) < 0)
      _exit(126);
    execl(cli.c_str(), cli.c_str(), "gsm-test", "scan.tpl", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) {
    std::fprintf(stderr, "gsm_run_bench: could not run %s\n", cli.c_str());
    return;
  }
  const double seconds = Seconds(start);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  long log_lines = 0;
  const std::filesystem::path logs = directory / "GSM Log";
  if (std::filesystem::exists(logs)) {
    for (const auto& entry : std::filesystem::directory_iterator(logs))
      log_lines += CountLines(entry.path());
  }
  std::printf("scan mode through %s gsm-test (stdout to /dev/null):\n", cli.c_str());
  std::printf("  exit code %d, time %.2f s, %ld log lines\n", code, seconds, log_lines);
  std::printf("  peak RSS %.1f MB (goal <= 32 MB)\n", static_cast<double>(usage.ru_maxrss) / 1024);
  if (code != 0) {
    std::ifstream err(stderr_path);
    std::fprintf(stderr, "%s", std::string(std::istreambuf_iterator<char>(err), {}).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 20;
  bool scan = true;
  bool breakdown = false;
  std::string cli = VEXA_CLI_PATH;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--no-scan") == 0) {
      scan = false;
    } else if (std::strcmp(argv[i], "--breakdown") == 0) {
      breakdown = true;
    } else if (std::strcmp(argv[i], "--cli") == 0 && i + 1 < argc) {
      cli = argv[++i];
    } else if (std::strcmp(argv[i], "--no-cli") == 0) {
      cli.clear();
    } else {
      std::fprintf(stderr,
                   "usage: gsm_run_bench [-n RUNS] [--no-scan] [--breakdown] "
                   "[--cli VEXA_CLI | --no-cli]\n");
      return 2;
    }
  }
  setenv("VEXA_GPIB_LIBRARY", VEXA_SIM_LIBRARY, 0);
  vexa_sim_reset();
  vexa_sim_set_latency_ms(0);

  const std::filesystem::path log_directory =
      std::filesystem::temp_directory_path() / ("gsm_run_bench." + std::to_string(getpid()));
  std::printf("GPIB driver: %s\n", std::getenv("VEXA_GPIB_LIBRARY"));
  CompareWithRawBus(runs, log_directory.string(), breakdown);
  if (scan)
    ScanAllBands(log_directory.string());
  if (scan && !cli.empty())
    ScanInCli(cli, log_directory / "cli");
  std::filesystem::remove_all(log_directory);
  return 0;
}

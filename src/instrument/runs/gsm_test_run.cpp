#include "instrument/runs/gsm_test_run.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "core/text_format.h"

namespace vexa {
namespace {

constexpr int kBandOrder[] = {0, 1, 2, 3};  // EGSM, DCS, PCS, GSM850
constexpr int kTransmitterItems = 4;        // items 0 to 3; 4 to 6 are the receiver items

class SteadyRunClock : public RunClock {
 public:
  double NowMs() override {
    using Ms = std::chrono::duration<double, std::milli>;
    return Ms(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
  UtcTime NowUtc() override { return CurrentUtcTime(); }
};

int ListLength(const std::array<std::int32_t, kChannelListSize>& list) {
  return static_cast<int>(std::find(list.begin(), list.end(), kEndOfList) - list.begin());
}
int ListLength(const std::array<std::int32_t, kLevelListSize>& list) {
  return static_cast<int>(std::find(list.begin(), list.end(), kEndOfList) - list.begin());
}

// The leading decimal integer of an answer, as strtol reads it; 0 when there is none.
long LeadingInteger(const std::string& answer) {
  return std::strtol(answer.c_str(), nullptr, 10);
}

// A bus text for the trace: printable bytes as they are, others as \xNN.
std::string Printable(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f && byte != '\\')
      text += c;
    else
      text += Format("\\x%02X", byte);
  }
  return text;
}

}  // namespace

RunClock& SystemRunClock() {
  static SteadyRunClock clock;
  return clock;
}

std::string TestTimeCaption(double elapsed_ms) {
  const auto minutes = static_cast<long long>(elapsed_ms * 0.001 * (1.0 / 60.0));
  const auto seconds = static_cast<long long>(elapsed_ms) / 1000 % 60;
  return Format("Test time is %02lldm:%02llds", minutes, seconds);
}

long CountMeasurements(const TestPlan& plan) {
  long transmitter = 0;
  long receiver = 0;
  for (int item = 0; item < kTestItemCount; ++item) {
    if (plan.itemEnabled[static_cast<std::size_t>(item)])
      ++(item < kTransmitterItems ? transmitter : receiver);
  }
  long total = 0;
  for (int band : kBandOrder) {
    const auto b = static_cast<std::size_t>(band);
    if (!plan.bandEnabled[b])
      continue;
    total += ListLength(plan.channels[b]) * (ListLength(plan.levels[b]) * transmitter + receiver);
  }
  return total;
}

// The test set as the run uses it: the session's current descriptor for every call (so a
// console command that opens the device anew during the run is followed), the cancel check
// before every call, and the bus trace.
class GsmTestRun::Bus : public GsmBus {
 public:
  Bus(GsmTestRun& run, PendingFile* trace) : run_(run), trace_(trace) {}

  void Write(std::string_view command) override {
    run_.CheckStopAndCancel();
    Trace('>', command);
    const std::unique_lock<std::mutex> bus = run_.session_.HoldBus();
    run_.session_.CurrentLink().Write(std::string(command));
  }

  std::string Query(std::string_view query, long size, long& received) override {
    run_.CheckStopAndCancel();
    Trace('>', query);
    bus::Status status;
    std::string answer;
    std::string failure;
    {
      // The write and its read hold the bus together: a console command goes between them.
      const std::unique_lock<std::mutex> bus = run_.session_.HoldBus();
      InstrumentSession::Link link = run_.session_.CurrentLink();
      link.Write(std::string(query));
      answer = link.ReadAnswer(size, &status);
      // In the transport's own words, as the memo names its errors.
      if (trace_ && status.Failed())
        failure = "(" + link.ErrorLine("read failed", status) + ")";
    }
    // A failed read (a time-out) counts as nothing received.
    received = status.Failed() ? 0 : std::clamp(status.ibcntl, 0L, size);
    if (trace_)
      Trace('<', status.Failed() ? failure : answer);
    // A stop or cancel that came during the read: the answer is not used.
    run_.CheckStopAndCancel();
    return answer;
  }

  // "CALL:CONN:STAT?": the leading integer of the answer; 0 when the read failed.
  bool CallConnected() {
    long received = 0;
    return LeadingInteger(Query("CALL:CONN:STAT?", 20, received)) != 0;
  }

 private:
  void Trace(char direction, std::string_view bytes) {
    if (!trace_)
      return;
    const double seconds = (run_.clock_.NowMs() - run_.start_ms_) / 1000.0;
    trace_->Append(Format("%12.6f %c %s\n", seconds, direction, Printable(bytes).c_str()));
  }

  GsmTestRun& run_;
  PendingFile* trace_;
};

GsmTestRun::GsmTestRun(TestPlan& plan, InstrumentSession& session, GsmRunView& view,
                       RunClock& clock, GsmRunOptions options)
    : plan_(plan), session_(session), view_(view), clock_(clock), options_(std::move(options)) {}

GsmTestRun::~GsmTestRun() = default;

void GsmTestRun::RequestStop() {
  control_.RequestStop();
}

void GsmTestRun::Cancel() {
  control_.Cancel();
}

void GsmTestRun::CheckStopAndCancel() {
  control_.ThrowIfCancelled();
  if (control_.stop_requested()) {
    view_.SetRunning(false);
    throw Stopped{};
  }
}

bool GsmTestRun::Start() {
  view_.SetVerdictColour(VerdictColour::kNormal);
  start_error_.clear();
  // The files first, so that a folder that cannot be written refuses the run before the test
  // set hears of it. An antenna series goes on in the log the view holds since its first run.
  const bool series_goes_on = plan_.antennaMode && plan_.antennaAngle < 360;
  std::shared_ptr<StreamedLog> log = series_goes_on ? view_.AttachedLog() : nullptr;
  const bool new_log = !log;
  if (new_log) {
    log = std::make_shared<StreamedLog>(options_.log_directory);
    if (log->error() != 0)
      return RefuseStart(log->ErrorLine());
  }
  if (!options_.trace_path.empty()) {
    if (const int error = OpenTrace(); error != 0)
      return RefuseStart(LogWriteErrorLine({options_.trace_path, error}));
  }
  // A 20-byte answer; a failed read leaves nothing, which counts as no call.
  const InstrumentSession::Use use = session_.MarkInUse();
  std::string answer;
  {
    const std::unique_lock<std::mutex> bus = session_.HoldBus();
    InstrumentSession::Link link = session_.CurrentLink();
    link.Write("CALL:CONNECTED:STATE?");
    answer = link.ReadAnswer(20);
  }
  if (LeadingInteger(answer) == 0) {
    view_.AppendLine(kConnectMsLine);
    // No run: the trace made for it goes, leaving the file as it was, and so does a new log
    // (with `log`).
    ReleaseFiles(true);
    return false;
  }
  if (!series_goes_on) {
    if (plan_.antennaMode)
      plan_.antennaAngle = 0;
    view_.ClearMemo();
  }
  if (new_log) {
    // The log holds the memo's lines since its last clear: here nothing but what came in
    // since the clear above, or, as an antenna series begins, what Config left in the memo.
    for (const std::string& line : view_.MemoLines())
      log->AppendLine(line);
    view_.AttachLog(log);
  }
  log_ = std::move(log);
  return true;
}

bool GsmTestRun::RefuseStart(const std::string& reason) {
  start_error_ = reason;
  view_.AppendLine(reason);
  ReleaseFiles(true);
  return false;
}

int GsmTestRun::OpenTrace() {
  auto trace = std::make_unique<PendingFile>();
  int error = trace->CreateFor(options_.trace_path);
  if (error == 0 && options_.trace_append)
    error = trace->AppendFileContents(options_.trace_path);
  if (error == 0)
    trace_ = std::move(trace);
  return error;
}

void GsmTestRun::SaveTrace() {
  if (!trace_)
    return;
  const int error = trace_->Replace();
  trace_.reset();
  if (error != 0) {
    view_.AppendLine(LogWriteErrorLine({options_.trace_path, error}));
    log_failed_ = true;
  }
}

void GsmTestRun::ReleaseFiles(bool keep_log) {
  trace_.reset();
  if (log_ && !keep_log && view_.AttachedLog() == log_)
    view_.AttachLog(nullptr);
  log_.reset();
}

RunOutcome GsmTestRun::Run() {
  if (!log_)
    return RunOutcome::kNotStarted;
  const InstrumentSession::Use use = session_.MarkInUse();
  PendingFile* const trace = trace_.get();
  RunOutcome outcome = RunOutcome::kFinished;
  try {
    view_.SetRunning(true);
    // A Stop Test pressed while Start asked for the call is kept: the run ends at once.
    any_failure_ = false;
    log_path_.clear();
    log_failed_ = false;
    start_ms_ = clock_.NowMs();
    measurements_done_ = 0;
    measurements_total_ = CountMeasurements(plan_);
    if (trace) {
      const UtcTime now = clock_.NowUtc();
      trace->Append(
          Format("# VEXA bus trace of a GSM test run started %d-%02d-%02d %02d:%02d UTC "
                 "(seconds since the start; > sent, < received)\n",
                 now.year, now.month, now.day, now.hour, now.minute));
    }
    view_.AppendLine(kRunHeaderLine);
    Bus bus(*this, trace);
    RunPlan(bus);
    Finish();
  } catch (const Stopped&) {
    outcome = RunOutcome::kStopped;
  } catch (const Cancelled&) {
    outcome = RunOutcome::kCancelled;
  }
  // The trace of every run that began, for a stopped or cancelled one too. A cancelled run
  // makes no more view calls: its window is going, so a trace it cannot write goes unsaid.
  if (outcome == RunOutcome::kCancelled) {
    if (trace_)
      trace_->Replace();
  } else {
    SaveTrace();
  }
  // A finished run has written its log or left it to the series' next run. After Stop Test
  // an antenna series goes on with the next Start Test, in the same log; otherwise a run
  // that did not finish leaves no log.
  ReleaseFiles(outcome == RunOutcome::kFinished ||
               (outcome == RunOutcome::kStopped && plan_.antennaMode));
  return outcome;
}

void GsmTestRun::RunPlan(Bus& bus) {
  for (int band : kBandOrder) {
    const auto b = static_cast<std::size_t>(band);
    if (!plan_.bandEnabled[b])
      continue;
    const char* name = kPlanBandNames[b];
    const bool low = IsLowBand(band);
    long received = 0;
    const std::string cell_band = bus.Query("CALL:CELL:BAND?", kCellBandQuerySize, received);
    // The cell goes to the band family of the band under test when it is outside it.
    const bool pcs_family = band == 2 || band == 3;
    if (pcs_family ? cell_band != "PCS" && cell_band != "GSM850"
                   : cell_band != "EGSM" && cell_band != "DCS") {
      bus.Write(pcs_family ? "CALL:CELL:BAND PCS" : "CALL:CELL:BAND EGSM");
    }
    CallCheck(bus);
    bus.Write(Format("CALL:TCHANNEL:BAND %s", name));
    for (int c = 0;
         c < kChannelListSize && plan_.channels[b][static_cast<std::size_t>(c)] != kEndOfList;
         ++c) {
      bus.Write(Format("CALL:TCHANNEL:ARFCN:%s %d", name,
                       plan_.channels[b][static_cast<std::size_t>(c)]));
      for (int p = 0;
           p < kLevelListSize && plan_.levels[b][static_cast<std::size_t>(p)] != kEndOfList; ++p) {
        bus.Write(Format("CALL:MS:TXLEVEL %d", plan_.levels[b][static_cast<std::size_t>(p)]));
        for (int t = 0; t < kTransmitterItems; ++t) {
          if (plan_.itemEnabled[static_cast<std::size_t>(t)])
            bus.Write(Format("INITIATE:%s:ON", kTestItemNames[static_cast<std::size_t>(t)]));
        }
        for (int t = 0; t < kTransmitterItems; ++t) {
          if (plan_.itemEnabled[static_cast<std::size_t>(t)])
            Measure(bus, band, c, p, t);
        }
        PollStop();
      }
      bus.Write(low ? "CALL:MS:TXLEVEL 5" : "CALL:MS:TXLEVEL 0");
      for (int t = kTransmitterItems; t < kTestItemCount; ++t) {
        if (plan_.itemEnabled[static_cast<std::size_t>(t)])
          Measure(bus, band, c, 0, t);
      }
      PollStop();
    }
  }
}

void GsmTestRun::CallCheck(Bus& bus) {
  while (!bus.CallConnected()) {
    view_.Beep(options_.beep_ms);
    control_.Wait(std::chrono::milliseconds(options_.beep_ms));
    CheckStopAndCancel();
    const ReconnectAnswer answer =
        view_.AskToReconnect(control_.stop_flag(), control_.cancel_flag());
    control_.ThrowIfCancelled();
    if (answer == ReconnectAnswer::kStopTest)
      control_.RequestStop();
    CheckStopAndCancel();
  }
}

void GsmTestRun::TimeUpdate() {
  view_.SetTestTime(TestTimeCaption(clock_.NowMs() - start_ms_));
}

void GsmTestRun::PollStop() {
  TimeUpdate();
  CheckStopAndCancel();
}

void GsmTestRun::Measure(Bus& bus, int band, int channel_position, int level_position, int item) {
  CallCheck(bus);
  const auto b = static_cast<std::size_t>(band);
  const bool transmitter = item < kTransmitterItems;
  const int level = transmitter ? plan_.levels[b][static_cast<std::size_t>(level_position)]
                                : (IsLowBand(band) ? 5 : 0);
  const ItemContext context{
      plan_, band,           plan_.channels[b][static_cast<std::size_t>(channel_position)],
      level, level_position, previous_tx_power_};
  MeasureItem(bus, *this, context, item);
  ++measurements_done_;
  view_.ShowProgress(measurements_done_, measurements_total_, clock_.NowMs() - start_ms_);
}

void GsmTestRun::AppendLine(const std::string& line) {
  view_.AppendLine(line);
}

void GsmTestRun::MarkFailure() {
  any_failure_ = true;
}

void GsmTestRun::Finish() {
  TimeUpdate();
  const std::int32_t angle = plan_.antennaAngle;
  if (plan_.antennaMode) {
    // Saturating, so that a huge step still ends the series instead of overflowing.
    const long long next = static_cast<long long>(angle) + plan_.antennaStep;
    plan_.antennaAngle = static_cast<std::int32_t>(std::clamp<long long>(next, INT_MIN, INT_MAX));
  }
  if (!plan_.antennaMode || plan_.antennaAngle >= 360) {
    view_.AppendLine(kTestFinishedLine);
    view_.AppendLine(any_failure_ ? kOverallFailed : kOverallPassed);
    WriteLog();
  } else {
    view_.AppendLine(Format("Angle %d degree Test finished", static_cast<int>(angle)));
  }
  view_.SetVerdictColour(any_failure_ ? VerdictColour::kFailed : VerdictColour::kPassed);
  view_.SetRunning(false);
}

void GsmTestRun::WriteLog() {
  // The memo's lines stop going to the log: its last lines are its own name and the credit.
  view_.AttachLog(nullptr);
  const SavedLog saved = log_->Finish(LogFileStem(clock_.NowUtc()), ".xls", kCreditLine);
  log_.reset();
  for (const std::string& line : LogTrailerLines(saved, kCreditLine))
    view_.AppendLine(line);
  log_path_ = saved.path;
  log_failed_ = saved.error != 0;
}

}  // namespace vexa

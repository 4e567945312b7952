#include "instrument/runs/testset_config.h"

#include <optional>

#include "core/text_format.h"

namespace vexa {

namespace {

enum Band { kEgsm = 0, kDcs = 1, kPcs = 2, kGsm850 = 3 };

// The band command of one family: the cell is left alone when it already answers one of the
// family's two band names (exactly, case included); otherwise it goes to `target`.
struct BandFamily {
  Band first;
  Band second;
  const char* target_command;
};

constexpr BandFamily kLowFirstFamily = {kEgsm, kDcs, "CALL:CELL:BAND EGSM"};
constexpr BandFamily kPcsFamily = {kPcs, kGsm850, "CALL:CELL:BAND PCS"};

// The EGSM/DCS family is served first: with any of its bands enabled the PCS/GSM850 family is
// not looked at (the run switches families band by band). nullptr with no band enabled.
const BandFamily* FamilyToSet(const TestPlan& plan) {
  for (const BandFamily* family : {&kLowFirstFamily, &kPcsFamily}) {
    if (plan.bandEnabled[family->first] || plan.bandEnabled[family->second])
      return family;
  }
  return nullptr;
}

// The set-up's bus traffic: one link for the whole sequence, the bus held for each exchange,
// the cancel flag looked at before each, the progress reported after each command.
class SetupSender {
 public:
  SetupSender(InstrumentSession& session, ConfigureView& view, const std::atomic<bool>& cancelled,
              int total, SetupResult& result)
      : session_(session), view_(view), cancelled_(cancelled), total_(total), result_(result) {}

  // The open; false when cancelled before it.
  bool Open() {
    const std::unique_lock<std::mutex> bus = session_.HoldBus();
    if (cancelled_)
      return false;
    // The commands go to whatever the open left, also a failed handle, without reports.
    link_.emplace(session_.OpenLink(&result_.opened));
    return true;
  }

  // One command; false when cancelled before it.
  bool Write(const std::string& command) {
    {
      const std::unique_lock<std::mutex> bus = session_.HoldBus();
      if (cancelled_)
        return false;
      Count(link_->Write(command).Failed());
    }
    Sent();
    return true;
  }

  // A query and its answer (cut at ibcntl - 1), holding the bus from the write to the read;
  // nullopt when cancelled before it.
  std::optional<std::string> Query(const std::string& query, long size) {
    std::string answer;
    {
      const std::unique_lock<std::mutex> bus = session_.HoldBus();
      if (cancelled_)
        return std::nullopt;
      const bool write_failed = link_->Write(query).Failed();
      bus::Status read{};
      answer = link_->ReadAnswer(size, &read);
      Count(write_failed || read.Failed());
    }
    Sent();
    return answer;
  }

  // One more command than counted at the start.
  void AddCommand() { ++total_; }

 private:
  void Sent() { view_.ShowSetupProgress(++sent_, total_); }
  void Count(bool failed) {
    ++result_.commands_sent;
    if (failed)
      ++result_.commands_failed;
  }

  InstrumentSession& session_;
  ConfigureView& view_;
  const std::atomic<bool>& cancelled_;
  std::optional<InstrumentSession::Link> link_;
  int sent_ = 0;
  int total_;
  SetupResult& result_;
};

double Wide(float value) {
  return static_cast<double>(value);
}

}  // namespace

std::vector<std::string> SetupCommandsAfterCellBand(const TestPlan& plan) {
  return {
      "CALL:POW -65dBm",
      "CALL:PAGing:IMSI '001011234567890'",
      "SETUP:TXPOWER:COUNT:SNUMBER 20",
      "SETUP:TXPOWER:TIMEOUT:STIME 5",
      "SETUP:PVTIME:COUNT:SNUMBER 20",
      "SETUP:PVTIME:TIME:OFFSET -28.0US, -18.0US, -10.0US, 0, 542.8US, 552.8US, 560.8US, 570.8US",
      "SETUP:PVTIME:LIMIT:ETSI:PCS REL",
      "SETUP:PVTIME:SYNC AMPL",
      "SETUP:PVTIME:TIMEOUT:STIME 5",
      "SETUP:PFERROR:COUNT:SNUMBER 20",
      "SETUP:PFERROR:SYNC AMPL",
      "SETUP:PFERROR:TIMEOUT:STIME 5",
      "SET:ORFS:MOD:FREQ 100KHZ,-100KHZ,200KHZ,-200KHZ,250KHZ,-250KHZ,400KHZ,-400KHZ,600KHZ,"
      "-600KHZ,1800KHZ,-1800KHZ",
      "SET:ORFS:SWIT:FREQ 400KHZ,-400KHZ,600KHZ,-600KHZ,1200KHZ,-1200KHZ,1800KHZ,-1800KHZ",
      "SETUP:ORFSPECTRUM:TIMEOUT:STIME 10",
      "SETUP:BERROR:TYPE RESTYPEII",
      Format("SETUP:BERROR:COUNT %d", static_cast<int>(plan.berCount)),
      "SETUP:BERR:TIMEOUT:STIME 10",
      Format("SYSTEM:CORRECTION:SFREQUENCY %f MHz, %f MHz, %f MHz, %f MHz",
             Wide(plan.lowBandFrequencies[0]), Wide(plan.lowBandFrequencies[1]),
             Wide(plan.highBandFrequencies[0]), Wide(plan.highBandFrequencies[1])),
      Format("SYSTEM:CORRECTION:SGAIN %f,%f,%f,%f", Wide(plan.lowBandLosses[0]),
             Wide(plan.lowBandLosses[1]), Wide(plan.highBandLosses[0]),
             Wide(plan.highBandLosses[1])),
  };
}

void CaptureConfiguration(TestPlan& plan, const PlanCapture& capture, ConfigureView& view) {
  try {
    capture(plan);
  } catch (...) {
    view.ClearMemo();
    view.ResetCommandLineColour();
    throw;
  }
  plan.antennaAngle = 0;
}

bool SendConfiguration(const TestPlan& plan, bool reset_checked, InstrumentSession& session,
                       ConfigureView& view, const std::atomic<bool>& cancelled,
                       SetupResult* result) {
  SetupResult unused;
  SetupResult& outcome = result ? *result : unused;
  outcome = SetupResult{};
  view.ClearMemo();
  view.ResetCommandLineColour();
  const InstrumentSession::Use use = session.MarkInUse();
  session.AppendLine(kSetupBeginLine);

  const BandFamily* family = FamilyToSet(plan);
  const std::vector<std::string> commands = SetupCommandsAfterCellBand(plan);
  SetupSender sender(session, view, cancelled,
                     1 + (family ? 1 : 0) + static_cast<int>(commands.size()), outcome);
  if (!sender.Open() || !sender.Write(reset_checked ? "*RST" : "SETUP:ALL:CONTINUOUS:OFF"))
    return false;
  if (family) {
    const std::optional<std::string> band = sender.Query("CALL:CELL:BAND?", kCellBandAnswerSize);
    if (!band)
      return false;
    // The cell is left alone when it already answers one of the family's two band names
    // (exactly, case included).
    if (*band != kPlanBandNames[family->first] && *band != kPlanBandNames[family->second]) {
      sender.AddCommand();
      if (!sender.Write(family->target_command))
        return false;
    }
  }
  for (const std::string& command : commands) {
    if (!sender.Write(command))
      return false;
  }

  session.AppendLine(kSetupEndLine);
  view.EnableStartTest();
  view.CloseWindow();
  return true;
}

bool ConfigureTestSet(TestPlan& plan, const PlanCapture& capture, bool reset_checked,
                      InstrumentSession& session, ConfigureView& view,
                      const std::atomic<bool>* cancelled, SetupResult* result) {
  static const std::atomic<bool> kNeverCancelled{false};
  CaptureConfiguration(plan, capture, view);  // an error ends the configuration here
  return SendConfiguration(plan, reset_checked, session, view,
                           cancelled ? *cancelled : kNeverCancelled, result);
}

}  // namespace vexa

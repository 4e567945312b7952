#include "instrument/testset_config.h"

#include "core/text_format.h"

namespace vexa {

TestPlan ProgramTestPlan{};
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

void SetCellBand(GpibSession::Link& link, const BandFamily& family) {
  link.Write("CALL:CELL:BAND?");
  const std::string answer = link.ReadAnswer(kCellBandAnswerSize);
  if (answer != kPlanBandNames[family.first] && answer != kPlanBandNames[family.second])
    link.Write(family.target_command);
}

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

void ConfigureTestSet(TestPlan& plan, const PlanCapture& capture, bool reset_checked,
                      GpibSession& session, ConfigureView& view) {
  view.ClearMemo();
  view.ResetCommandLineColour();
  capture(plan);  // an error ends the configuration here
  plan.antennaAngle = 0;
  session.AppendLine(kSetupBeginLine);

  // The commands go to whatever the open left, also a failed handle, without reports.
  GpibSession::Link link = session.OpenLink();
  link.Write(reset_checked ? "*RST" : "SETUP:ALL:CONTINUOUS:OFF");
  if (const BandFamily* family = FamilyToSet(plan))
    SetCellBand(link, *family);
  for (const std::string& command : SetupCommandsAfterCellBand(plan))
    link.Write(command);

  session.AppendLine(kSetupEndLine);
  view.EnableStartTest();
  view.CloseWindow();
}

}  // namespace vexa

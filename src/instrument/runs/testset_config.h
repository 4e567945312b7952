// The test-set configuration behind the test-plan window's "Config" button: captures the
// plan, opens the GSM test set and sends it the set-up sequence that every later test run
// relies on (reset or single-shot mode, cell band and power, paging identity, the set-ups of
// the measurements, the BER count and the cable-loss correction). Qt-free: the window and
// vexa-cli both drive it through a ConfigureView.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "instrument/bus/instrument_session.h"
#include "instrument/runs/test_plan.h"

namespace vexa {

// What the configuration does to the windows besides the memo lines, which go to the
// session's memo. The sending part may run on a worker thread: a window hands these calls on
// to its own thread.
class ConfigureView {
 public:
  virtual ~ConfigureView() = default;
  virtual void ClearMemo() = 0;               // the "8960" page's memo (Memo4)
  virtual void ResetCommandLineColour() = 0;  // Edit28 back to the normal window colour
  virtual void EnableStartTest() = 0;         // Bstart
  virtual void CloseWindow() = 0;             // the test-plan window, showing the main one
  // After each command of the set-up: `sent` commands of `total` so far. The total grows by
  // one when the cell's answer asks for the band command. Nothing by default.
  virtual void ShowSetupProgress(int /*sent*/, int /*total*/) {}
};

// Fills the plan from the test-plan window. May throw a vexa::Error (a field that does not
// convert); the fields filled before keep their new values.
using PlanCapture = std::function<void(TestPlan&)>;

// The two progress lines.
inline constexpr const char* kSetupBeginLine = "Test Plan configured. Now begin setup 8960 ......";
inline constexpr const char* kSetupEndLine =
    "8960 setup finished. Now connect 8960 with MS mannually, and start to test";

// The bytes read for the cell-band answer.
inline constexpr long kCellBandAnswerSize = 200;

// The commands after the cell band, in their order, for `plan`: cell power, paging identity,
// the measurement set-ups, the BER count and the cable-loss correction ("%f" of the
// single-precision frequencies and losses).
std::vector<std::string> SetupCommandsAfterCellBand(const TestPlan& plan);

// Config's first part, on the window's thread when "Config" is pressed: captures the plan
// (antennaAngle then 0). An error thrown by `capture` ends the configuration here and is
// passed on to the caller, after the memo was cleared and the command line's colour reset: the
// fields captured before keep their new values, nothing is sent and Start Test keeps its state.
void CaptureConfiguration(TestPlan& plan, const PlanCapture& capture, ConfigureView& view);

// How the set-up went on the bus, for callers that report it (vexa-cli exits with 1 when the
// test set was not reached). The memo lines are the same either way.
struct SetupResult {
  bool opened = false;      // the open and the clear succeeded
  int commands_sent = 0;    // commands written, the cell-band query counted once
  int commands_failed = 0;  // of them, those whose write (or the query's read) failed
  bool Succeeded() const { return opened && commands_failed == 0; }
};

// Config's second part, which a worker may run: clears the memo and the command line's colour,
// writes the first progress line, opens `session` and sends "*RST" (`reset_checked`) or
// "SETUP:ALL:CONTINUOUS:OFF", the cell-band query and, when the answer is outside the enabled
// family, the band command, then SetupCommandsAfterCellBand(plan), reporting the progress
// after each command. Write results are not checked; a failed open shows its line and the
// commands still go to the failed handle. Ends with the second progress line, Start Test
// enabled and the window closed, and returns true.
//
// The session is marked in use throughout, and each exchange (the open, a write, the query
// with its answer) holds its bus. `cancelled` is looked at before the open and before every
// command: once it is true the configuration ends there, without the second progress line,
// Start Test or closing the window, and returns false. `result` (when given) receives how the
// open and the commands went.
bool SendConfiguration(const TestPlan& plan, bool reset_checked, InstrumentSession& session,
                       ConfigureView& view, const std::atomic<bool>& cancelled,
                       SetupResult* result = nullptr);

// Both parts in a row on the caller's thread (vexa-cli). Returns what SendConfiguration
// returned, with a `cancelled` flag when given.
bool ConfigureTestSet(TestPlan& plan, const PlanCapture& capture, bool reset_checked,
                      InstrumentSession& session, ConfigureView& view,
                      const std::atomic<bool>* cancelled = nullptr, SetupResult* result = nullptr);

}  // namespace vexa

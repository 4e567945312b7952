// The two GPIB device sessions: the GSM test set at bus address 14 ("8960" page) and the DC
// source at address 5 ("66319" page). A session opens and clears its device, reports failed
// bus calls as lines in its page's memo, and runs the page's command line (the console).
//
// Sessions are program-wide and used from the GUI thread and from worker threads at once;
// their own fields are guarded, bus calls and memo lines happen outside the guard. Memo lines
// of one operation are appended in order.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <string>

#include "core/memo_sink.h"
#include "instrument/gpib_driver.h"

namespace vexa {

// The driver's error mnemonics, indexed by iberr; codes without a mnemonic are empty.
extern const std::array<const char*, 21> IberrMnemonics;

// The mnemonic of iberr, or "" for a code outside the table.
const char* IberrMnemonic(int iberr);

// "%s ibsta = 0x%x iberr = %d (%s)" for a failed call.
std::string GpibErrorLine(const std::string& text, const gpib::Status& status);

// What the console does after the clear of its device failed.
enum class AfterFailedClear {
  kContinue,  // the test set: the command is still sent on the same handle
  kStop,      // the DC source: the open counts as failed and the command is not sent
};

class GpibSession {
 public:
  static constexpr std::size_t kCommandLimit = 1024;  // characters of one console command
  static constexpr long kReplySize = 1024;            // bytes of one console answer

  constexpr GpibSession(int address, int initial_handle, AfterFailedClear after_failed_clear)
      : address_(address),
        initial_handle_(initial_handle),
        after_failed_clear_(after_failed_clear),
        handle_(initial_handle) {}
  GpibSession(const GpibSession&) = delete;
  GpibSession& operator=(const GpibSession&) = delete;

  int address() const { return address_; }

  // The unit descriptor of the last open; -1 when that open failed.
  int handle() const;

  // The page attaches its memo here (nullptr detaches; lines are then dropped). The sink must
  // stay valid until it is detached and no operation of this session is running.
  void SetMemo(MemoSink* memo);
  void AppendLine(const std::string& line);

  // Reports a failed bus call: appends GpibErrorLine(text, status) and takes the device
  // offline with ibonl(handle, 0), keeping the handle. Silent when the handle is -1.
  void ReportError(const std::string& text, const gpib::Status& status);
  // The same with the program-wide status values.
  void ReportError(const std::string& text);

  // Opens the device anew (board 0, no secondary address, 10 s time-out, EOI on the last
  // byte, no end-of-string character) and clears it. Returns 0, or -1 when the open or the
  // clear failed; failures are reported in the memo.
  int Open();

  // Enter in the page's command line: opens, sends `text` without a terminator, echoes it as
  // "<---text", and for a query (last character '?') reads the answer and shows it as
  // "--->answer" without its terminator. A text longer than kCommandLimit is refused with one
  // memo line and nothing is sent.
  void SendConsoleCommand(const std::string& text);

  // Asks the test set "CALL:CONN:STAT?" and returns the leading integer of the answer; 0 when
  // the answer holds none or the read failed. Errors are not reported.
  int QueryCallConnected();

  // Tests only: back to the state at program start, memo detached.
  void ResetForTesting();

 private:
  // Open() that also gives the new descriptor (-1 when ibdev failed).
  int OpenDevice(int& ud);
  void ReportErrorOn(int handle, const std::string& text, const gpib::Status& status);

  const int address_;
  const int initial_handle_;
  const AfterFailedClear after_failed_clear_;
  mutable std::mutex mutex_;
  int handle_;                // guarded by mutex_
  MemoSink* memo_ = nullptr;  // guarded by mutex_
};

// The program-wide sessions.
extern GpibSession TestSetDevice;   // address 14, handle 0 before the first open
extern GpibSession DcSourceDevice;  // address 5, handle -1 before the first open

// The operations of the two pages, on the sessions above.
void ReportGpibError(const std::string& text);
void ReportGpibError(const std::string& text, const gpib::Status& status);
void ReportDcSourceError(const std::string& text);
void ReportDcSourceError(const std::string& text, const gpib::Status& status);
void OpenTestSet();
int OpenDcSource();
int QueryCallConnected();
void SendTestSetConsoleCommand(const std::string& text);
void SendDcSourceConsoleCommand(const std::string& text);

}  // namespace vexa

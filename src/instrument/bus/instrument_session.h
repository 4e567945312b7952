// The two GPIB device sessions: the GSM test set at bus address 14 ("8960" page) and the DC
// source at address 5 ("66319" page). A session opens and clears its device, reports failed
// bus calls as lines in its page's memo, and runs the page's command line (the console).
//
// The main window (through its InstrumentStation) owns the two sessions and hands them to the
// pages; vexa-cli builds its own. A session is used from the GUI thread and from worker threads
// at once; its own fields are guarded, bus calls and memo lines happen outside the guard. Memo
// lines of one operation are appended in order.
//
// Each open replaces the session's descriptor. The replaced one is released (ibonl(ud, 0))
// once nothing uses it any more: every operation holds the descriptor it works on until it
// ends, so an open on one thread never pulls the descriptor from under another thread's call.
//
// The bus carries ISO 8859-1 (Latin-1). Commands and memo lines are Latin-1 bytes; only the
// console's text entry points (SendConsoleText and the two page functions) take UTF-8.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "core/memo_sink.h"
#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_address.h"
#include "instrument/bus/transport.h"

namespace vexa {

// SetConnection's answer while the session is in use.
inline constexpr const char* kSessionInUse =
    "The connection cannot change while the instrument is in use (a run, the set-up or a "
    "console command); wait until it ends or stop it.";

// The driver's error mnemonics, indexed by iberr; codes without a mnemonic are empty.
extern const std::array<const char*, 21> IberrMnemonics;

// The mnemonic of iberr, or "" for a code outside the table.
const char* IberrMnemonic(int iberr);

// "%s ibsta = 0x%x iberr = %d (%s)" for a failed call.
std::string GpibErrorLine(const std::string& text, const bus::Status& status);

// What the console does after the clear of its device failed.
enum class AfterFailedClear {
  kContinue,  // the test set: the command is still sent on the same handle
  kStop,      // the DC source: the open counts as failed and the command is not sent
};

class DescriptorLease;

class InstrumentSession {
  using Lease = std::shared_ptr<DescriptorLease>;

 public:
  static constexpr std::size_t kCommandLimit = 1024;  // bus bytes of one console command
  static constexpr long kReplySize = 1024;            // bytes of one console answer

  // The device at GPIB `address`; `initial_handle` is the handle before the first open (the
  // test set's 0, the DC source's -1). `transport` carries the calls until another connection
  // is set; nullptr gives the GPIB driver at "GPIB0::<address>::INSTR" (made on first use).
  InstrumentSession(int address, int initial_handle, AfterFailedClear after_failed_clear,
                    std::shared_ptr<Transport> transport = nullptr)
      : address_(address),
        initial_handle_(initial_handle),
        after_failed_clear_(after_failed_clear),
        transport_(std::move(transport)) {}
  InstrumentSession(const InstrumentSession&) = delete;
  InstrumentSession& operator=(const InstrumentSession&) = delete;
  // Releases the descriptor of the last open once its last user is done.
  ~InstrumentSession();

  int address() const { return address_; }

  // Marks the session as in use for as long as it lives (a run, the set-up, a console
  // command), so that the connection cannot change under the work.
  class Use {
   public:
    explicit Use(InstrumentSession& session) : session_(&session) { ++session_->users_; }
    Use(Use&& other) noexcept : session_(std::exchange(other.session_, nullptr)) {}
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    Use& operator=(Use&&) = delete;
    ~Use() {
      if (session_)
        --session_->users_;
    }

   private:
    InstrumentSession* session_;
  };
  Use MarkInUse() { return Use(*this); }
  bool InUse() const { return users_.load() > 0; }

  // Holds the session's bus for one exchange: a query holds it from its write to its read,
  // so that a console command typed during a run goes between the run's queries and each
  // side reads its own answer.
  std::unique_lock<std::mutex> HoldBus() { return std::unique_lock<std::mutex>(bus_mutex_); }
  // The bus when no exchange holds it now; a lock that owns nothing otherwise.
  std::unique_lock<std::mutex> TryHoldBus() {
    return std::unique_lock<std::mutex>(bus_mutex_, std::try_to_lock);
  }

  // Ends a bus call in progress on the session's descriptor at once where the transport
  // allows it (a socket is shut down, a VISA session closed): the call returns failed and the
  // descriptor is not used again (the next open makes a new one). False when the transport
  // cannot interrupt a call (a GPIB driver call runs to its end or its time-out). Any thread.
  bool AbortCalls();
  // Whether AbortCalls can end a call on the current connection.
  bool CanAbortCalls();

  // The instrument's connection: the GPIB driver at "GPIB0::<address>::INSTR" until another
  // is set. Setting one takes the session back to its state before the first open (the next
  // open reaches the new instrument); the old descriptor is released once nothing uses it.
  // Returns "" or, leaving the connection as it was, why the transport cannot carry the
  // resource, or kSessionInUse while a Use of the session lives or a bus exchange is going.
  // `options` tune the new transport (the socket's time-out).
  std::string SetConnection(const Connection& connection, const TransportOptions& options = {});
  Connection connection();
  // The line under the page's memo: the resource and what carries it.
  std::string ConnectionNote();

  // The unit descriptor of the last open; -1 when that open failed.
  int handle() const;

  // The page attaches its memo here (nullptr detaches; lines are then dropped). The sink must
  // stay valid until it is detached and no operation of this session is running.
  void SetMemo(MemoSink* memo);
  // Detaches `memo` if it is the one attached, and leaves another memo attached. Pages call
  // this on destruction, so a page destroyed after another page attached its memo does not
  // cut that page off. Like SetMemo, waits for a line being appended.
  void DetachMemo(MemoSink* memo);
  // Appends one line (Latin-1 bytes) to the attached memo.
  void AppendLine(const std::string& line);

  // Reports a failed bus call: appends GpibErrorLine(text, status) and takes the device
  // offline with ibonl(handle, 0), keeping the handle. Silent when the handle is -1. A
  // descriptor already taken offline by an earlier report is not taken offline again: the
  // driver may have handed its number out anew.
  void ReportError(const std::string& text, const bus::Status& status);
  // The same with the program-wide status values.
  void ReportError(const std::string& text);

  // Opens the device anew through the connection's transport (10 s time-out, EOI on the
  // last byte, no end-of-string character) and clears it. Returns 0, or -1 when the open or
  // the clear failed; failures are reported in the memo (a failed open with a second line
  // in words when the transport has one, such as a host that does not answer).
  int Open();

  // Enter in the page's command line, with the command as bus bytes: opens, sends `bytes`
  // without a terminator, echoes them as "<---bytes", and for a query (last byte '?') reads
  // the answer and shows it as "--->answer" without its terminator. A command longer than
  // kCommandLimit bytes is refused with one memo line and nothing is sent. Returns true when
  // the command was sent and every bus call of it succeeded; false when it was refused or a
  // call failed (the memo shows which).
  bool SendConsoleCommand(const std::string& bytes);

  // The same with the command line's text in UTF-8, converted to Latin-1 for the bus. Text
  // with a character beyond U+00FF or invalid UTF-8 is refused with one memo line and nothing
  // is sent (false).
  bool SendConsoleText(const std::string& utf8);

  // A run of bus calls on one descriptor, for the operations that send a sequence of
  // commands (the test-set configuration). It holds the descriptor until it is destroyed, so a
  // later open on another thread does not release it under the sequence. Write and read
  // results are returned, never reported.
  class Link {
   public:
    // The descriptor the calls go to; -1 after a failed open. Calls on -1 go to the driver,
    // which refuses them; calls on a descriptor taken offline by an error report are refused
    // without reaching it.
    int handle() const;
    // ibwrt of `bytes`, without a terminator.
    bus::Status Write(const std::string& bytes);
    // ibrd of at most `size` bytes into a zeroed buffer, cut at ibcntl - 1 (which drops the
    // answer's terminator) and at the first zero byte. Nothing received gives "". The call's
    // status goes to *status when given.
    std::string ReadAnswer(long size, bus::Status* status = nullptr);
    // ibrd of at most `size` bytes straight into `buffer`, which keeps whatever the read did
    // not overwrite.
    bus::Status Read(void* buffer, long size);
    // The memo line of a failed call on this descriptor, in its transport's words.
    std::string ErrorLine(const std::string& text, const bus::Status& status) const;

   private:
    friend class InstrumentSession;
    explicit Link(Lease lease) : lease_(std::move(lease)) {}
    Lease lease_;
  };

  // Open() whose new descriptor carries the calls that follow; `opened` (when given) is true
  // when the open and the clear succeeded. Failures are reported in the memo as by Open().
  Link OpenLink(bool* opened = nullptr);
  // The descriptor of the last open (the handle before the first open refuses every call).
  Link CurrentLink();

 private:
  // Makes `transport` the session's, back to the state before the first open.
  void InstallTransport(std::shared_ptr<Transport> transport);
  // The connection's transport (the default one made on first use).
  std::shared_ptr<Transport> CurrentTransport();
  std::shared_ptr<Transport> TransportLocked();  // mutex_ held
  // The session's descriptor, held for one operation.
  Lease CurrentLease();
  // Makes `lease` the session's descriptor; the previous one is released when its last
  // holder lets it go.
  void Install(Lease lease);
  // Open() that also gives the new descriptor; `opened` is false when the open or the clear
  // failed.
  Lease OpenDevice(bool& opened);
  void ReportErrorOn(DescriptorLease& lease, const std::string& text, const bus::Status& status);
  // ibwrt and ibrd on the lease's descriptor; a descriptor taken offline (or the test set's
  // handle before its first open) is never handed to the driver: the call fails as on a
  // released descriptor (RefusedCall), and no other device can receive it.
  static bus::Status Write(DescriptorLease& lease, const void* buffer, long count);
  static bus::Status Read(DescriptorLease& lease, void* buffer, long count);

  const int address_;
  const int initial_handle_;
  const AfterFailedClear after_failed_clear_;
  std::atomic<int> users_{0};
  std::mutex bus_mutex_;  // one exchange (write and read) at a time
  mutable std::mutex mutex_;
  Lease lease_;                           // guarded by mutex_; null before the first use
  std::shared_ptr<Transport> transport_;  // guarded by mutex_; null before the first use
  MemoSink* memo_ = nullptr;              // guarded by mutex_
};

}  // namespace vexa

#include "instrument/bus/instrument_session.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "core/latin1.h"
#include "core/text_format.h"
#include "instrument/bus/gpib_transport.h"
#include "instrument/bus/transport.h"

namespace vexa {

const std::array<const char*, 21> IberrMnemonics = {
    "EDVR", "ECIC", "ENOL", "EADR", "EARG", "ESAC", "EABO", "ENEB", "EDMA", "",    "EOIP",
    "ECAP", "EFSO", "",     "EBUS", "ESTB", "ESRQ", "",     "",     "",     "ETAB"};

const char* IberrMnemonic(int iberr) {
  if (iberr < 0 || iberr >= static_cast<int>(IberrMnemonics.size()))
    return "";
  return IberrMnemonics[static_cast<std::size_t>(iberr)];
}

std::string GpibErrorLine(const std::string& text, const bus::Status& status) {
  return Format("%s ibsta = 0x%x iberr = %d (%s)", text.c_str(),
                static_cast<unsigned>(status.ibsta), status.iberr, IberrMnemonic(status.iberr));
}

namespace {

// Serialises memo lines, so that a detach (SetMemo(nullptr)) waits for a line in progress.
std::mutex g_memo_mutex;

}  // namespace

// One descriptor of a session, shared by the session (while it is the session's handle) and
// by each operation working on it (while the operation runs). The last holder releases it,
// through the transport that opened it (the session may have moved to another since).
class DescriptorLease {
 public:
  // `owned`: the descriptor came from a successful open and is ours to release.
  DescriptorLease(int ud, bool owned, std::shared_ptr<Transport> transport)
      : ud_(ud), owned_(owned && ud != -1), transport_(std::move(transport)) {}
  DescriptorLease(const DescriptorLease&) = delete;
  DescriptorLease& operator=(const DescriptorLease&) = delete;

  ~DescriptorLease() {
    // Quietly: a release at the end of some operation must not replace the status values
    // another operation is about to read.
    if (owned_ && TakeOffline())
      transport_->ReleaseQuietly(ud_);
  }

  int ud() const { return ud_; }
  Transport& transport() const { return *transport_; }
  bool Offline() const { return offline_.load(); }

  // Marks the descriptor as offline; true for the first caller only, who then takes it
  // offline with the driver. Once that happened the driver may give the number to a new open,
  // so nothing may release it again.
  bool TakeOffline() { return !offline_.exchange(true); }

 private:
  const int ud_;
  const bool owned_;
  const std::shared_ptr<Transport> transport_;
  std::atomic<bool> offline_{false};
};

InstrumentSession::~InstrumentSession() {
  Lease last;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last = std::exchange(lease_, nullptr);
  }
}

std::shared_ptr<Transport> InstrumentSession::TransportLocked() {
  if (!transport_) {
    // Built directly rather than from the resource text: the address is whatever the
    // session was made with, even one the driver refuses (its open then fails as such).
    InstrumentAddress address;
    address.resource = DefaultGpibConnection(address_).resource;
    address.natural = TransportKind::kGpib;
    address.primary = address_;
    transport_ = std::make_shared<GpibTransport>(address);
  }
  return transport_;
}

std::shared_ptr<Transport> InstrumentSession::CurrentTransport() {
  std::lock_guard<std::mutex> lock(mutex_);
  return TransportLocked();
}

InstrumentSession::Lease InstrumentSession::CurrentLease() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!lease_) {
    // The handle before the first open (0 or -1) is nobody's descriptor: it is never released
    // and never reaches the driver (0 would be the board itself on a Linux GPIB driver).
    lease_ = std::make_shared<DescriptorLease>(initial_handle_, false, TransportLocked());
    lease_->TakeOffline();
  }
  return lease_;
}

std::string InstrumentSession::SetConnection(const Connection& connection,
                                             const TransportOptions& options) {
  if (InUse())
    return kSessionInUse;
  const std::unique_lock<std::mutex> bus = TryHoldBus();
  if (!bus.owns_lock())
    return kSessionInUse;
  std::string error;
  std::shared_ptr<Transport> transport = MakeTransport(connection, &error, options);
  if (!transport)
    return error;
  InstallTransport(std::move(transport));
  return "";
}

void InstrumentSession::InstallTransport(std::shared_ptr<Transport> transport) {
  Lease previous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    transport_ = std::move(transport);
    // Back to the state before the first open: nothing goes to the old instrument any more,
    // and the new one is opened by the next open. The old descriptor is released once its
    // last user is done, outside the guard.
    previous = std::exchange(lease_, nullptr);
  }
}

Connection InstrumentSession::connection() {
  const std::shared_ptr<Transport> transport = CurrentTransport();
  return Connection{transport->kind(), transport->resource()};
}

std::string InstrumentSession::ConnectionNote() {
  return vexa::ConnectionNote(*CurrentTransport());
}

void InstrumentSession::Install(Lease lease) {
  Lease previous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    previous = std::exchange(lease_, std::move(lease));
  }
  // `previous` goes here, outside the guard: when no operation holds it any more, this
  // releases it with a driver call.
}

int InstrumentSession::handle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lease_ ? lease_->ud() : initial_handle_;
}

void InstrumentSession::SetMemo(MemoSink* memo) {
  std::lock_guard<std::mutex> memo_lock(g_memo_mutex);
  std::lock_guard<std::mutex> lock(mutex_);
  memo_ = memo;
}

void InstrumentSession::DetachMemo(MemoSink* memo) {
  std::lock_guard<std::mutex> memo_lock(g_memo_mutex);
  std::lock_guard<std::mutex> lock(mutex_);
  if (memo_ == memo)
    memo_ = nullptr;
}

void InstrumentSession::AppendLine(const std::string& line) {
  std::lock_guard<std::mutex> memo_lock(g_memo_mutex);
  MemoSink* memo = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    memo = memo_;
  }
  if (memo)
    memo->AppendLine(line);
}

void InstrumentSession::ReportErrorOn(DescriptorLease& lease, const std::string& text,
                                      const bus::Status& status) {
  const int ud = lease.ud();
  if (ud == -1)
    return;
  AppendLine(lease.transport().ErrorLine(text, status));
  if (lease.TakeOffline())
    lease.transport().TakeOffline(ud);
}

void InstrumentSession::ReportError(const std::string& text, const bus::Status& status) {
  const Lease lease = CurrentLease();
  ReportErrorOn(*lease, text, status);
}

void InstrumentSession::ReportError(const std::string& text) {
  const Lease lease = CurrentLease();
  const bus::Status status = lease->transport().LastStatus();
  ReportErrorOn(*lease, text, status);
}

bus::Status InstrumentSession::Write(DescriptorLease& lease, const void* buffer, long count) {
  Transport& transport = lease.transport();
  return lease.Offline() ? transport.RefusedCall() : transport.Write(lease.ud(), buffer, count);
}

bus::Status InstrumentSession::Read(DescriptorLease& lease, void* buffer, long count) {
  Transport& transport = lease.transport();
  return lease.Offline() ? transport.RefusedCall() : transport.Read(lease.ud(), buffer, count);
}

InstrumentSession::Lease InstrumentSession::OpenDevice(bool& opened) {
  std::shared_ptr<Transport> transport = CurrentTransport();
  bus::Status status;
  const int ud = transport->Open(status);
  Lease lease = std::make_shared<DescriptorLease>(ud, !status.Failed(), transport);
  Install(lease);
  opened = false;
  if (status.Failed()) {
    AppendLine(transport->ErrorLine("Unable to open device", status));
    if (const std::string note = transport->OpenFailureNote(status); !note.empty())
      AppendLine(note);
    return lease;
  }
  const bus::Status cleared = transport->Clear(ud);
  if (cleared.Failed()) {
    ReportErrorOn(*lease, "Unable to clear device", cleared);
    return lease;
  }
  opened = true;
  return lease;
}

int InstrumentSession::Open() {
  bool opened = false;
  OpenDevice(opened);
  return opened ? 0 : -1;
}

int InstrumentSession::Link::handle() const {
  return lease_->ud();
}

bus::Status InstrumentSession::Link::Write(const std::string& bytes) {
  return InstrumentSession::Write(*lease_, bytes.data(), static_cast<long>(bytes.size()));
}

std::string InstrumentSession::Link::ReadAnswer(long size, bus::Status* status) {
  size = std::max(size, 0L);
  // One byte more than the read may fill, so the answer is always terminated.
  std::string buffer(static_cast<std::size_t>(size) + 1, '\0');
  const bus::Status read = InstrumentSession::Read(*lease_, buffer.data(), size);
  if (status)
    *status = read;
  // Cut at ibcntl - 1; nothing received (or a count the driver should never give) leaves an
  // empty answer rather than reaching outside the buffer.
  const long received = std::clamp(read.ibcntl, 0L, size);
  buffer.resize(static_cast<std::size_t>(received > 0 ? received - 1 : 0));
  return std::string(buffer.c_str());
}

bus::Status InstrumentSession::Link::Read(void* buffer, long size) {
  return InstrumentSession::Read(*lease_, buffer, std::max(size, 0L));
}

std::string InstrumentSession::Link::ErrorLine(const std::string& text,
                                               const bus::Status& status) const {
  return lease_->transport().ErrorLine(text, status);
}

bool InstrumentSession::CanAbortCalls() {
  return CurrentTransport()->CanAbort();
}

bool InstrumentSession::AbortCalls() {
  const Lease lease = CurrentLease();
  Transport& transport = lease->transport();
  if (!transport.CanAbort())
    return false;
  // Offline first, so that nothing else is sent on it and it is not released twice.
  if (lease->ud() != -1 && lease->TakeOffline())
    transport.Abort(lease->ud());
  return true;
}

InstrumentSession::Link InstrumentSession::OpenLink(bool* opened) {
  bool succeeded = false;
  Lease lease = OpenDevice(succeeded);
  if (opened)
    *opened = succeeded;
  return Link(std::move(lease));
}

InstrumentSession::Link InstrumentSession::CurrentLink() {
  return Link(CurrentLease());
}

bool InstrumentSession::SendConsoleCommand(const std::string& bytes) {
  if (bytes.size() > kCommandLimit) {
    AppendLine(
        Format("Command refused: %zu characters, the limit is %zu", bytes.size(), kCommandLimit));
    return false;
  }
  const Use use(*this);
  // The whole command holds the bus, so that its answer is its own.
  const std::unique_lock<std::mutex> bus = HoldBus();
  bool opened = false;
  const Lease lease = OpenDevice(opened);
  if (!opened && after_failed_clear_ == AfterFailedClear::kStop)
    return false;
  const int ud = lease->ud();
  if (ud == -1)
    return false;

  bool succeeded = opened;
  const bus::Status written = Write(*lease, bytes.data(), static_cast<long>(bytes.size()));
  AppendLine(Format("<---%s", bytes.c_str()));
  if (written.Failed()) {
    ReportErrorOn(*lease, "Unable to write to device", written);
    succeeded = false;
  }
  if (bytes.empty() || bytes.back() != '?')
    return succeeded;

  // One byte more than the read may fill, so the reply is always terminated.
  char reply[kReplySize + 1] = {};
  const bus::Status read = Read(*lease, reply, kReplySize);
  if (read.Failed()) {
    ReportErrorOn(*lease, "Unable to read from device", read);
    succeeded = false;
  }
  // Drop the terminator: cut at ibcntl - 1; nothing received (or a count the driver should
  // never give) leaves an empty reply rather than touching memory outside the buffer.
  const long received = std::clamp(read.ibcntl, 0L, kReplySize);
  reply[received > 0 ? received - 1 : 0] = '\0';
  AppendLine(Format("--->%s", reply));
  return succeeded;
}

bool InstrumentSession::SendConsoleText(const std::string& utf8) {
  const Latin1Conversion converted = Utf8ToLatin1(utf8);
  switch (converted.problem) {
    case Latin1Conversion::Problem::kNone:
      return SendConsoleCommand(converted.bytes);
    case Latin1Conversion::Problem::kBeyondLatin1:
      AppendLine(
          Format("Command refused: character U+%04X cannot be sent (the bus carries ISO 8859-1 "
                 "only)",
                 static_cast<unsigned>(converted.code_point)));
      return false;
    case Latin1Conversion::Problem::kInvalidUtf8:
      AppendLine("Command refused: the text is not valid UTF-8");
      return false;
  }
  return false;
}

}  // namespace vexa

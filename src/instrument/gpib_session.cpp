#include "instrument/gpib_session.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <utility>

#include "core/latin1.h"
#include "core/text_format.h"

namespace vexa {

const std::array<const char*, 21> IberrMnemonics = {
    "EDVR", "ECIC", "ENOL", "EADR", "EARG", "ESAC", "EABO", "ENEB", "EDMA", "",    "EOIP",
    "ECAP", "EFSO", "",     "EBUS", "ESTB", "ESRQ", "",     "",     "",     "ETAB"};

const char* IberrMnemonic(int iberr) {
  if (iberr < 0 || iberr >= static_cast<int>(IberrMnemonics.size()))
    return "";
  return IberrMnemonics[static_cast<std::size_t>(iberr)];
}

std::string GpibErrorLine(const std::string& text, const gpib::Status& status) {
  return Format("%s ibsta = 0x%x iberr = %d (%s)", text.c_str(),
                static_cast<unsigned>(status.ibsta), status.iberr, IberrMnemonic(status.iberr));
}

namespace {

constexpr int kBoard = 0;
constexpr int kNoSecondaryAddress = 0;
constexpr int kEoiOnLastByte = 1;
constexpr int kNoEndOfString = 0;

// Serialises memo lines, so that a detach (SetMemo(nullptr)) waits for a line in progress.
std::mutex g_memo_mutex;

}  // namespace

// One descriptor of a session, shared by the session (while it is the session's handle) and
// by each operation working on it (while the operation runs). The last holder releases it.
class DescriptorLease {
 public:
  // `owned`: the descriptor came from a successful ibdev and is ours to release.
  DescriptorLease(int ud, bool owned) : ud_(ud), owned_(owned && ud != -1) {}
  DescriptorLease(const DescriptorLease&) = delete;
  DescriptorLease& operator=(const DescriptorLease&) = delete;

  ~DescriptorLease() {
    // Quietly: a release at the end of some operation must not replace the status values
    // another operation is about to read.
    if (owned_ && TakeOffline())
      gpib::ReleaseQuietly(ud_);
  }

  int ud() const { return ud_; }
  bool Offline() const { return offline_.load(); }

  // Marks the descriptor as offline; true for the first caller only, who then takes it
  // offline with the driver. Once that happened the driver may give the number to a new open,
  // so nothing may release it again.
  bool TakeOffline() { return !offline_.exchange(true); }

 private:
  const int ud_;
  const bool owned_;
  std::atomic<bool> offline_{false};
};

GpibSession::~GpibSession() {
  Lease last;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last = std::exchange(lease_, nullptr);
  }
}

GpibSession::Lease GpibSession::CurrentLease() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!lease_) {
    // The handle before the first open (0 or -1) is nobody's descriptor: it is never released
    // and never reaches the driver (0 would be the board itself on a Linux GPIB driver).
    lease_ = std::make_shared<DescriptorLease>(initial_handle_, false);
    lease_->TakeOffline();
  }
  return lease_;
}

void GpibSession::Install(Lease lease) {
  Lease previous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    previous = std::exchange(lease_, std::move(lease));
  }
  // `previous` goes here, outside the guard: when no operation holds it any more, this
  // releases it with a driver call.
}

int GpibSession::handle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lease_ ? lease_->ud() : initial_handle_;
}

void GpibSession::SetMemo(MemoSink* memo) {
  std::lock_guard<std::mutex> memo_lock(g_memo_mutex);
  std::lock_guard<std::mutex> lock(mutex_);
  memo_ = memo;
}

void GpibSession::DetachMemo(MemoSink* memo) {
  std::lock_guard<std::mutex> memo_lock(g_memo_mutex);
  std::lock_guard<std::mutex> lock(mutex_);
  if (memo_ == memo)
    memo_ = nullptr;
}

void GpibSession::AppendLine(const std::string& line) {
  std::lock_guard<std::mutex> memo_lock(g_memo_mutex);
  MemoSink* memo = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    memo = memo_;
  }
  if (memo)
    memo->AppendLine(line);
}

void GpibSession::ReportErrorOn(DescriptorLease& lease, const std::string& text,
                                const gpib::Status& status) {
  const int ud = lease.ud();
  if (ud == -1)
    return;
  AppendLine(GpibErrorLine(text, status));
  if (lease.TakeOffline())
    gpib::ibonl(ud, 0);
}

void GpibSession::ReportError(const std::string& text, const gpib::Status& status) {
  const Lease lease = CurrentLease();
  ReportErrorOn(*lease, text, status);
}

void GpibSession::ReportError(const std::string& text) {
  const gpib::Status status = gpib::LastStatus();
  const Lease lease = CurrentLease();
  ReportErrorOn(*lease, text, status);
}

gpib::Status GpibSession::Write(DescriptorLease& lease, const void* buffer, long count) {
  return lease.Offline() ? gpib::RefusedCall() : gpib::ibwrt(lease.ud(), buffer, count);
}

gpib::Status GpibSession::Read(DescriptorLease& lease, void* buffer, long count) {
  return lease.Offline() ? gpib::RefusedCall() : gpib::ibrd(lease.ud(), buffer, count);
}

GpibSession::Lease GpibSession::OpenDevice(bool& opened) {
  gpib::Status status;
  const int ud = gpib::ibdev(kBoard, address_, kNoSecondaryAddress, gpib::kTimeout10s,
                             kEoiOnLastByte, kNoEndOfString, &status);
  Lease lease = std::make_shared<DescriptorLease>(ud, !status.Failed());
  Install(lease);
  opened = false;
  if (status.Failed()) {
    AppendLine(Format("Unable to open device ibsta = 0x%x iberr = %d (%s)",
                      static_cast<unsigned>(status.ibsta), status.iberr,
                      IberrMnemonic(status.iberr)));
    return lease;
  }
  const gpib::Status cleared = gpib::ibclr(ud);
  if (cleared.Failed()) {
    ReportErrorOn(*lease, "Unable to clear device", cleared);
    return lease;
  }
  opened = true;
  return lease;
}

int GpibSession::Open() {
  bool opened = false;
  OpenDevice(opened);
  return opened ? 0 : -1;
}

int GpibSession::Link::handle() const {
  return lease_->ud();
}

gpib::Status GpibSession::Link::Write(const std::string& bytes) {
  return GpibSession::Write(*lease_, bytes.data(), static_cast<long>(bytes.size()));
}

std::string GpibSession::Link::ReadAnswer(long size, gpib::Status* status) {
  size = std::max(size, 0L);
  // One byte more than the read may fill, so the answer is always terminated.
  std::string buffer(static_cast<std::size_t>(size) + 1, '\0');
  const gpib::Status read = GpibSession::Read(*lease_, buffer.data(), size);
  if (status)
    *status = read;
  // Cut at ibcntl - 1; nothing received (or a count the driver should never give) leaves an
  // empty answer rather than reaching outside the buffer.
  const long received = std::clamp(read.ibcntl, 0L, size);
  buffer.resize(static_cast<std::size_t>(received > 0 ? received - 1 : 0));
  return std::string(buffer.c_str());
}

gpib::Status GpibSession::Link::Read(void* buffer, long size) {
  return GpibSession::Read(*lease_, buffer, std::max(size, 0L));
}

GpibSession::Link GpibSession::OpenLink(bool* opened) {
  bool succeeded = false;
  Lease lease = OpenDevice(succeeded);
  if (opened)
    *opened = succeeded;
  return Link(std::move(lease));
}

GpibSession::Link GpibSession::CurrentLink() {
  return Link(CurrentLease());
}

bool GpibSession::SendConsoleCommand(const std::string& bytes) {
  if (bytes.size() > kCommandLimit) {
    AppendLine(
        Format("Command refused: %zu characters, the limit is %zu", bytes.size(), kCommandLimit));
    return false;
  }
  bool opened = false;
  const Lease lease = OpenDevice(opened);
  if (!opened && after_failed_clear_ == AfterFailedClear::kStop)
    return false;
  const int ud = lease->ud();
  if (ud == -1)
    return false;

  bool succeeded = opened;
  const gpib::Status written = Write(*lease, bytes.data(), static_cast<long>(bytes.size()));
  AppendLine(Format("<---%s", bytes.c_str()));
  if (written.Failed()) {
    ReportErrorOn(*lease, "Unable to write to device", written);
    succeeded = false;
  }
  if (bytes.empty() || bytes.back() != '?')
    return succeeded;

  // One byte more than the read may fill, so the reply is always terminated.
  char reply[kReplySize + 1] = {};
  const gpib::Status read = Read(*lease, reply, kReplySize);
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

bool GpibSession::SendConsoleText(const std::string& utf8) {
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

int GpibSession::QueryCallConnected() {
  static constexpr char kQuery[] = "CALL:CONN:STAT?";
  static constexpr long kAnswerSize = 20;
  const Lease lease = CurrentLease();
  // "0" and zeros, so that a failed read counts as no call; one spare byte keeps the text
  // terminated even when all 20 bytes arrive.
  char answer[kAnswerSize + 1] = "0";
  Write(*lease, kQuery, static_cast<long>(sizeof kQuery - 1));
  Read(*lease, answer, kAnswerSize);
  const long value = std::strtol(answer, nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

void GpibSession::ResetForTesting() {
  SetMemo(nullptr);
  Lease forgotten;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    forgotten = std::exchange(lease_, nullptr);
  }
  if (forgotten)
    forgotten->TakeOffline();
}

constinit GpibSession TestSetDevice{14, 0, AfterFailedClear::kContinue};
constinit GpibSession DcSourceDevice{5, -1, AfterFailedClear::kStop};

void ReportGpibError(const std::string& text) {
  TestSetDevice.ReportError(text);
}
void ReportGpibError(const std::string& text, const gpib::Status& status) {
  TestSetDevice.ReportError(text, status);
}
void ReportDcSourceError(const std::string& text) {
  DcSourceDevice.ReportError(text);
}
void ReportDcSourceError(const std::string& text, const gpib::Status& status) {
  DcSourceDevice.ReportError(text, status);
}
void OpenTestSet() {
  TestSetDevice.Open();
}
int OpenDcSource() {
  return DcSourceDevice.Open();
}
int QueryCallConnected() {
  return TestSetDevice.QueryCallConnected();
}
bool SendTestSetConsoleCommand(const std::string& utf8) {
  return TestSetDevice.SendConsoleText(utf8);
}
bool SendDcSourceConsoleCommand(const std::string& utf8) {
  return DcSourceDevice.SendConsoleText(utf8);
}

}  // namespace vexa

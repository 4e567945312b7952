#include "instrument/gpib_session.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

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

int GpibSession::handle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return handle_;
}

void GpibSession::SetMemo(MemoSink* memo) {
  std::lock_guard<std::mutex> memo_lock(g_memo_mutex);
  std::lock_guard<std::mutex> lock(mutex_);
  memo_ = memo;
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

void GpibSession::ReportErrorOn(int handle, const std::string& text, const gpib::Status& status) {
  if (handle == -1)
    return;
  AppendLine(GpibErrorLine(text, status));
  gpib::ibonl(handle, 0);
}

void GpibSession::ReportError(const std::string& text, const gpib::Status& status) {
  ReportErrorOn(handle(), text, status);
}

void GpibSession::ReportError(const std::string& text) {
  ReportErrorOn(handle(), text, gpib::LastStatus());
}

int GpibSession::OpenDevice(int& ud) {
  gpib::Status status;
  ud = gpib::ibdev(kBoard, address_, kNoSecondaryAddress, gpib::kTimeout10s, kEoiOnLastByte,
                   kNoEndOfString, &status);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handle_ = ud;
  }
  if (status.Failed()) {
    AppendLine(Format("Unable to open device ibsta = 0x%x iberr = %d (%s)",
                      static_cast<unsigned>(status.ibsta), status.iberr,
                      IberrMnemonic(status.iberr)));
    return -1;
  }
  const gpib::Status cleared = gpib::ibclr(ud);
  if (cleared.Failed()) {
    ReportErrorOn(ud, "Unable to clear device", cleared);
    return -1;
  }
  return 0;
}

int GpibSession::Open() {
  int ud = -1;
  return OpenDevice(ud);
}

void GpibSession::SendConsoleCommand(const std::string& text) {
  if (text.size() > kCommandLimit) {
    AppendLine(
        Format("Command refused: %zu characters, the limit is %zu", text.size(), kCommandLimit));
    return;
  }
  int ud = -1;
  const int opened = OpenDevice(ud);
  if (opened != 0 && after_failed_clear_ == AfterFailedClear::kStop)
    return;
  if (ud == -1)
    return;

  const gpib::Status written = gpib::ibwrt(ud, text.data(), static_cast<long>(text.size()));
  AppendLine(Format("<---%s", text.c_str()));
  if (written.Failed())
    ReportErrorOn(ud, "Unable to write to device", written);
  if (text.empty() || text.back() != '?')
    return;

  // One byte more than the read may fill, so the reply is always terminated.
  char reply[kReplySize + 1] = {};
  const gpib::Status read = gpib::ibrd(ud, reply, kReplySize);
  if (read.Failed())
    ReportErrorOn(ud, "Unable to read from device", read);
  // Drop the terminator: cut at ibcntl - 1; nothing received (or a count the driver should
  // never give) leaves an empty reply rather than touching memory outside the buffer.
  const long received = std::clamp(read.ibcntl, 0L, kReplySize);
  reply[received > 0 ? received - 1 : 0] = '\0';
  AppendLine(Format("--->%s", reply));
}

int GpibSession::QueryCallConnected() {
  static constexpr char kQuery[] = "CALL:CONN:STAT?";
  static constexpr long kAnswerSize = 20;
  const int ud = handle();
  // "0" and zeros, so that a failed read counts as no call; one spare byte keeps the text
  // terminated even when all 20 bytes arrive.
  char answer[kAnswerSize + 1] = "0";
  gpib::ibwrt(ud, kQuery, static_cast<long>(sizeof kQuery - 1));
  gpib::ibrd(ud, answer, kAnswerSize);
  const long value = std::strtol(answer, nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

void GpibSession::ResetForTesting() {
  SetMemo(nullptr);
  std::lock_guard<std::mutex> lock(mutex_);
  handle_ = initial_handle_;
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
void SendTestSetConsoleCommand(const std::string& text) {
  TestSetDevice.SendConsoleCommand(text);
}
void SendDcSourceConsoleCommand(const std::string& text) {
  DcSourceDevice.SendConsoleCommand(text);
}

}  // namespace vexa

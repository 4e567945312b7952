// The GPIB driver as a transport: the run-time loaded library of gpib_driver.h.
#include "instrument/gpib_transport.h"

#include "instrument/gpib_driver.h"
#include "instrument/gpib_session.h"

namespace vexa {
namespace {

constexpr int kEoiOnLastByte = 1;
constexpr int kNoEndOfString = 0;
// ibdev takes a secondary address as 0x60 + n; 0 means none.
constexpr int kSecondaryBase = 0x60;

}  // namespace

GpibTransport::GpibTransport(const InstrumentAddress& address)
    : Transport(address.resource),
      board_(address.board),
      primary_(address.primary),
      secondary_(address.secondary < 0 ? 0 : kSecondaryBase + address.secondary) {}

int GpibTransport::Open(gpib::Status& status) {
  return gpib::ibdev(board_, primary_, secondary_, gpib::kTimeout10s, kEoiOnLastByte,
                     kNoEndOfString, &status);
}

gpib::Status GpibTransport::Clear(int ud) {
  return gpib::ibclr(ud);
}

gpib::Status GpibTransport::Write(int ud, const void* buffer, long count) {
  return gpib::ibwrt(ud, buffer, count);
}

gpib::Status GpibTransport::Read(int ud, void* buffer, long count) {
  return gpib::ibrd(ud, buffer, count);
}

gpib::Status GpibTransport::TakeOffline(int ud) {
  return gpib::ibonl(ud, 0);
}

void GpibTransport::ReleaseQuietly(int ud) {
  gpib::ReleaseQuietly(ud);
}

gpib::Status GpibTransport::RefusedCall() {
  return gpib::RefusedCall();
}

gpib::Status GpibTransport::LastStatus() const {
  return gpib::LastStatus();
}

std::string GpibTransport::ErrorLine(const std::string& text, const gpib::Status& status) const {
  return GpibErrorLine(text, status);
}

std::string GpibTransport::Note() const {
  return gpib::DriverNote();
}

}  // namespace vexa

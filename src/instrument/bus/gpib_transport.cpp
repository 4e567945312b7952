// The GPIB driver as a transport: the run-time loaded library of gpib_driver.h.
#include "instrument/bus/gpib_transport.h"

#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"

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

int GpibTransport::Open(bus::Status& status) {
  return gpib::ibdev(board_, primary_, secondary_, bus::kTimeout10s, kEoiOnLastByte, kNoEndOfString,
                     &status);
}

bus::Status GpibTransport::Clear(int ud) {
  return gpib::ibclr(ud);
}

bus::Status GpibTransport::Write(int ud, const void* buffer, long count) {
  return gpib::ibwrt(ud, buffer, count);
}

bus::Status GpibTransport::Read(int ud, void* buffer, long count) {
  return gpib::ibrd(ud, buffer, count);
}

bus::Status GpibTransport::TakeOffline(int ud) {
  return gpib::ibonl(ud, 0);
}

void GpibTransport::ReleaseQuietly(int ud) {
  gpib::ReleaseQuietly(ud);
}

bus::Status GpibTransport::RefusedCall() {
  return gpib::RefusedCall();
}

bus::Status GpibTransport::LastStatus() const {
  return gpib::LastStatus();
}

std::string GpibTransport::ErrorLine(const std::string& text, const bus::Status& status) const {
  return GpibErrorLine(text, status);
}

std::string GpibTransport::Note() const {
  return gpib::DriverNote();
}

}  // namespace vexa

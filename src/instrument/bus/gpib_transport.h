// The run-time loaded GPIB driver (gpib_driver.h) as a transport, for "GPIBn::PAD[::SAD]"
// resources.
#pragma once

#include "instrument/bus/transport.h"

namespace vexa {

class GpibTransport : public Transport {
 public:
  explicit GpibTransport(const InstrumentAddress& address);

  TransportKind kind() const override { return TransportKind::kGpib; }
  int Open(bus::Status& status) override;
  bus::Status Clear(int ud) override;
  bus::Status Write(int ud, const void* buffer, long count) override;
  bus::Status Read(int ud, void* buffer, long count) override;
  bus::Status TakeOffline(int ud) override;
  void ReleaseQuietly(int ud) override;
  bus::Status RefusedCall() override;
  bus::Status LastStatus() const override;
  std::string ErrorLine(const std::string& text, const bus::Status& status) const override;
  std::string Note() const override;

 private:
  const int board_;
  const int primary_;
  const int secondary_;
};

}  // namespace vexa

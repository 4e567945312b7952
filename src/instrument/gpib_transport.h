// The run-time loaded GPIB driver (gpib_driver.h) as a transport, for "GPIBn::PAD[::SAD]"
// resources.
#pragma once

#include "instrument/transport.h"

namespace vexa {

class GpibTransport : public Transport {
 public:
  explicit GpibTransport(const InstrumentAddress& address);

  TransportKind kind() const override { return TransportKind::kGpib; }
  int Open(gpib::Status& status) override;
  gpib::Status Clear(int ud) override;
  gpib::Status Write(int ud, const void* buffer, long count) override;
  gpib::Status Read(int ud, void* buffer, long count) override;
  gpib::Status TakeOffline(int ud) override;
  void ReleaseQuietly(int ud) override;
  gpib::Status RefusedCall() override;
  gpib::Status LastStatus() const override;
  std::string ErrorLine(const std::string& text, const gpib::Status& status) const override;
  std::string Note() const override;

 private:
  const int board_;
  const int primary_;
  const int secondary_;
};

}  // namespace vexa

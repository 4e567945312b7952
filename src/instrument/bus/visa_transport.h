// A VISA library as a transport, for every resource the built-in transports do not carry
// (VXI-11 and HiSLIP over LAN, USB, and GPIB through a vendor's USB-GPIB adapter).
//
// The library is loaded at run time, never needed to build: from $VEXA_VISA_LIBRARY when that
// is set (and then only from there), otherwise from the usual names in
// DefaultVisaLibraryNames() order. Without a usable library every call fails with
// VI_ERROR_LIBRARY_NFOUND.
//
// Status values: ibsta carries ERR (and TIMO for VI_ERROR_TMO), END and CMPL as on GPIB;
// iberr is the VISA status code itself; ibcntl the byte count.
#pragma once

#include <string>
#include <vector>

#include "instrument/bus/transport.h"

namespace vexa {

class VisaTransport : public Transport {
 public:
  explicit VisaTransport(const InstrumentAddress& address);

  TransportKind kind() const override { return TransportKind::kVisa; }
  int Open(bus::Status& status) override;
  bus::Status Clear(int ud) override;
  bus::Status Write(int ud, const void* buffer, long count) override;
  bus::Status Read(int ud, void* buffer, long count) override;
  bus::Status TakeOffline(int ud) override;
  void ReleaseQuietly(int ud) override;
  // viClose from another thread ends a read or write in progress on the session.
  bool CanAbort() const override { return true; }
  bus::Status RefusedCall() override;
  bus::Status LastStatus() const override;
  std::string ErrorLine(const std::string& text, const bus::Status& status) const override;
  std::string OpenFailureNote(const bus::Status& status) const override;
  std::string Note() const override;

  // "VI_ERROR_TMO" and the like; "" for a code without a name here.
  static std::string StatusName(int status);

 private:
  // Raw-socket resources through VISA need the LF on writes and as the read terminator.
  const bool line_terminated_;
};

// The names tried, in order, when $VEXA_VISA_LIBRARY is not set.
const std::vector<std::string>& DefaultVisaLibraryNames();

// One line naming the VISA library in use or the names tried; loads it if needed.
std::string VisaLibraryNote();

// Closes the VISA library in use, so that the next call loads again, reading
// $VEXA_VISA_LIBRARY anew (how a process switches VISA libraries after changing that
// variable). Like the GPIB driver, the library is one per process: its resource manager and
// sessions are process-wide. No VISA call may be in progress and no session may still hold one
// of its descriptors.
void ReloadVisaLibrary();

}  // namespace vexa

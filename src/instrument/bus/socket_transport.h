// The raw SCPI socket: "TCPIPn::HOST::PORT::SOCKET" resources over TCP, the LAN road of most
// test sets and DC sources (port 5025 by convention). Commands go out with an LF; an answer
// ends at its LF. Connects, writes and reads give up after the transport's time-out (the GPIB
// bus time-out, 10 s, unless the connection asks for another: see TransportOptions).
//
// Status values: ibsta carries ERR, TIMO, END and CMPL as on GPIB; iberr is the system's error
// number (ETIMEDOUT, ECONNREFUSED, ECONNRESET, ...) or, for a host name that cannot be
// resolved, the resolver's (negative) EAI_ code. A write on a connection the instrument has
// closed first connects anew.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>

#include "instrument/bus/transport.h"

namespace vexa {

class SocketTransport : public Transport {
 public:
  // `timeout`: how long a connect, a write or a read waits for the instrument.
  explicit SocketTransport(const InstrumentAddress& address,
                           std::chrono::milliseconds timeout = kBusTimeout);
  ~SocketTransport() override;

  TransportKind kind() const override { return TransportKind::kSocket; }
  int Open(bus::Status& status) override;
  bus::Status Clear(int ud) override;
  bus::Status Write(int ud, const void* buffer, long count) override;
  bus::Status Read(int ud, void* buffer, long count) override;
  bus::Status TakeOffline(int ud) override;
  void ReleaseQuietly(int ud) override;
  bool CanAbort() const override { return true; }
  // Shuts the connection down, which wakes a call waiting on it.
  void Abort(int ud) override;
  bus::Status RefusedCall() override;
  bus::Status LastStatus() const override;
  std::string ErrorLine(const std::string& text, const bus::Status& status) const override;
  std::string OpenFailureNote(const bus::Status& status) const override;
  std::string Note() const override;

  // The name of an error code of this transport ("ETIMEDOUT", "EAI_NONAME", ...).
  static std::string ErrorName(int code);

  struct Link;

 private:
  std::shared_ptr<Link> Find(int ud);
  // A new connection to the host: its socket, or -1 with the error code in `error`.
  int Connect(int& error) const;
  // Replaces the link's closed connection by a new one; 0 or the error code.
  int Reconnect(Link& link) const;
  bus::Status Close(int ud);

  const std::string host_;
  const int port_;
  const std::chrono::milliseconds timeout_;
  std::mutex mutex_;
  std::map<int, std::shared_ptr<Link>> links_;  // guarded by mutex_, by socket descriptor
};

}  // namespace vexa

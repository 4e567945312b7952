// How bytes reach an instrument. The sessions (and through them the console, the test-set
// set-up and the two runs) make every bus call through a Transport and never see whether a
// GPIB driver, a raw SCPI socket or a VISA library carries it.
//
// The calls keep the shape of the GPIB driver the program was first written against: Open
// gives a descriptor (-1 on failure), the other calls take it and return a bus::Status with
// the failure flag (ERR), TIMO and END bits in ibsta, the transport's own error code in
// iberr and the byte count in ibcntl. Each transport keeps a program-wide "last status" like
// the GPIB driver's, and writes failure lines for the memo in the shape the GPIB lines have,
// with its own field and error names.
//
// Commands are written without a terminator, as on GPIB (where EOI ends a message); a
// transport that needs one (the socket's LF) adds it. Answers are read with their terminator,
// which the session drops.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "instrument/bus/bus_status.h"
#include "instrument/bus/instrument_address.h"

namespace vexa {

class Transport {
 public:
  virtual ~Transport() = default;

  virtual TransportKind kind() const = 0;
  const std::string& resource() const { return resource_; }

  // Opens the instrument (10 s bus time-out, EOI on the last byte). Returns the descriptor or
  // -1; the call's status goes to `status`.
  virtual int Open(bus::Status& status) = 0;
  // The device clear after an open.
  virtual bus::Status Clear(int ud) = 0;
  virtual bus::Status Write(int ud, const void* buffer, long count) = 0;
  // Reads at most `count` bytes, ending at the answer's end (END in ibsta).
  virtual bus::Status Read(int ud, void* buffer, long count) = 0;
  // Takes the descriptor offline after a reported error; it is not used again.
  virtual bus::Status TakeOffline(int ud) = 0;
  // Lets a descriptor go without touching the program-wide status.
  virtual void ReleaseQuietly(int ud) = 0;
  // True when Abort can end a call in progress (a socket, VISA); a GPIB driver call cannot be
  // interrupted.
  virtual bool CanAbort() const { return false; }
  // Ends the call in progress on `ud` at once (it returns failed) and lets `ud` go like
  // ReleaseQuietly; nothing else is sent on it. Any thread; only where CanAbort().
  virtual void Abort(int ud) { ReleaseQuietly(ud); }
  // The failure of a call refused before it reached the transport (a descriptor already
  // taken offline), published like a call's status.
  virtual bus::Status RefusedCall() = 0;
  // The status of the last call any thread made on this kind of transport.
  virtual bus::Status LastStatus() const = 0;

  // The memo line of a failed call: "TEXT ibsta = 0x... iberr = N (NAME)" on GPIB, the
  // same shape with the transport's own names on the others.
  virtual std::string ErrorLine(const std::string& text, const bus::Status& status) const = 0;
  // A second line after a failed open that says in words what went wrong ("" for none).
  virtual std::string OpenFailureNote(const bus::Status& status) const;
  // What carries the bytes, for the line under the memo: "GPIB driver: /usr/lib/...".
  virtual std::string Note() const = 0;

 protected:
  explicit Transport(std::string resource) : resource_(std::move(resource)) {}

 private:
  const std::string resource_;
};

// The program-wide status of one kind of transport: every call publishes its status here, and
// an error report without a status of its own reads the last one (as with the GPIB driver's
// ibsta, iberr and ibcntl). Safe to use from any thread.
class SharedStatus {
 public:
  bus::Status Publish(const bus::Status& status) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
    return status;
  }
  bus::Status Last() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
  }

 private:
  mutable std::mutex mutex_;
  bus::Status status_;
};

// The GPIB bus time-out every open asks for (code 13), which the socket transport keeps too.
inline constexpr std::chrono::milliseconds kBusTimeout{10000};

// How a connection's transport is made beyond its resource.
struct TransportOptions {
  // How long the socket transport waits for a connect, a write or a read. Other transports
  // keep the bus time-out their open sets.
  std::chrono::milliseconds socket_timeout = kBusTimeout;
};

// The transport for a connection. nullptr with *error when the transport cannot carry the
// resource (see CheckConnection).
std::shared_ptr<Transport> MakeTransport(const Connection& connection, std::string* error,
                                         const TransportOptions& options = {});

// The line under an instrument page's memo: the resource and what carries it, for example
// "GPIB0::14::INSTR - GPIB driver: /usr/lib/libgpib.so.0".
std::string ConnectionNote(const Transport& transport);

}  // namespace vexa

// Status bits, error codes and time-out codes in the NI-488.2 style. Every transport (GPIB,
// socket, VISA) reports its calls in these terms, so the failure lines keep one shape; the
// instrument simulator's driver library answers with them too.
#pragma once

namespace vexa::bus {

// ibsta bits.
inline constexpr int kErr = 0x8000;   // the call failed
inline constexpr int kTimo = 0x4000;  // time-out
inline constexpr int kEnd = 0x2000;   // END (EOI or EOS) received
inline constexpr int kCmpl = 0x0100;  // I/O completed

// iberr codes used by the program (the full list of texts is in instrument_session.h).
inline constexpr int kEdvr = 0;   // system error; ibcntl holds errno
inline constexpr int kEnol = 2;   // no listeners
inline constexpr int kEarg = 4;   // invalid argument
inline constexpr int kEabo = 6;   // I/O aborted (time-out)
inline constexpr int kEneb = 7;   // no such board
inline constexpr int kEbus = 14;  // command bytes could not be sent

// Time-out code 13 of ibdev: 10 seconds.
inline constexpr int kTimeout10s = 13;

// The status values after one call.
struct Status {
  int ibsta = 0;
  int iberr = 0;
  long ibcntl = 0;

  bool Failed() const { return (ibsta & kErr) != 0; }
  // ibcnt carries the same count as ibcntl.
  int ibcnt() const { return static_cast<int>(ibcntl); }
  bool operator==(const Status&) const = default;
};

}  // namespace vexa::bus

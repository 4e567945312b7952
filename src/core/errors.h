// The error types that end a running handler. Computation code throws them;
// the application's guard catches them and shows their message.
#pragma once

#include <stdexcept>
#include <string>

namespace vexa {

// Base of every error that a handler may raise on purpose.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Typed text that does not convert to a number.
class ConversionError : public Error {
 public:
  using Error::Error;
};

// A floating-point fault: division by zero, an invalid operation, an overflow.
class FloatError : public Error {
 public:
  using Error::Error;
};

// The exact texts of the floating-point faults.
inline constexpr const char* kDivisionByZero = "Floating point division by zero";
inline constexpr const char* kInvalidOperation = "Invalid floating point operation";
inline constexpr const char* kOverflow = "Floating point overflow";

// The message shown for an error, with a full stop appended when the message's last
// character sorts after "." (so "... value" becomes "... value." but "x." stays).
std::string MessageWithFullStop(const std::string& message);

}  // namespace vexa

// Where the instrument pages' memo lines go: the page's memo widget in the window, stdout in
// vexa-cli, a recorder in the tests.
#pragma once

#include <string>

namespace vexa {

// Receives memo lines, one at a time, from whichever thread runs the operation that writes
// them; the receiver must keep them in order. AppendLine must not wait for the GUI thread nor
// call back into the code that feeds it (it may run under that code's locks).
class MemoSink {
 public:
  virtual ~MemoSink() = default;
  virtual void AppendLine(const std::string& line) = 0;
};

}  // namespace vexa

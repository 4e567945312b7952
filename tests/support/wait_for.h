// Waiting for the event loop in GoogleTest tests. QtTest's QTRY_* macros report a failure
// only to QtTest's own result log and return silently, so a GoogleTest test would pass;
// wrap the condition in WaitFor and assert on its result instead.
#pragma once

#include <QTest>

namespace vexa::testing {

// Processes events until `condition` holds (true) or `timeout_ms` has passed (false).
template <typename Condition>
bool WaitFor(Condition condition, int timeout_ms = 5000) {
  return QTest::qWaitFor(condition, timeout_ms);
}

}  // namespace vexa::testing

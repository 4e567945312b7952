#include "instrument/runs/run_control.h"

#include "instrument/bus/instrument_session.h"

namespace vexa {

void RunControl::RequestStop() {
  {
    // Under the mutex, so that a wait between its check and its sleep cannot miss the change.
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
}

void RunControl::Cancel() {
  {
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  wake_.notify_all();
  session_.AbortCalls();
}

void RunControl::ClearStop() {
  const std::lock_guard lock(mutex_);
  stop_ = false;
}

void RunControl::ThrowIfCancelled() const {
  if (cancelled_)
    throw Cancelled{};
}

bool RunControl::Wait(std::chrono::duration<double, std::milli> ms, bool wake_on_stop) {
  if (ms.count() < 0)
    ms = ms.zero();
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, ms, [this, wake_on_stop] {
    return cancelled_.load() || (wake_on_stop && stop_.load());
  });
}

}  // namespace vexa

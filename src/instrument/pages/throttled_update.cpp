#include "instrument/pages/throttled_update.h"

#include <QMetaObject>
#include <QTimer>

namespace vexa {

void ThrottledUpdate::Request() {
  if (posted_.exchange(true))
    return;
  QMetaObject::invokeMethod(
      owner_,
      [this] {
        QTimer::singleShot(interval_ms_, owner_, [this] {
          // Cleared before showing: a value that comes while it shows asks for the next one.
          posted_ = false;
          show_();
        });
      },
      Qt::QueuedConnection);
}

}  // namespace vexa

#include "app/guard.h"

#include <exception>

#include "app/dialogs.h"
#include "core/errors.h"

namespace vexa {

void Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    AppDialogs().ShowError(QString::fromStdString(MessageWithFullStop(error.what())));
  } catch (...) {
    AppDialogs().ShowError(QStringLiteral("Unknown error."));
  }
}

}  // namespace vexa

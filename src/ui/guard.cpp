#include "ui/guard.h"

#include <exception>

#include "core/errors.h"
#include "ui/dialogs.h"

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

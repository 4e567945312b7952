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

void GuardedFormHandler(const std::function<void()>& read_input,
                        const std::function<void()>& handler,
                        const std::function<void()>& show_form) {
  Guarded([&] {
    struct ShowOnExit {
      const std::function<void()>& show;
      ~ShowOnExit() { show(); }
    } show_on_exit{show_form};
    read_input();
    handler();
  });
}

}  // namespace vexa

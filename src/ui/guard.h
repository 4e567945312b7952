// The application's default error handler for page handlers.
#pragma once

#include <functional>

namespace vexa {

// Runs one handler body. An error it raises (a text that does not convert, a floating-point
// fault) ends the body there and is shown in an error box with the message and a full stop
// appended; what the body wrote before stays written. Unknown exceptions are shown too, so
// none ever escapes into Qt's event loop.
void Guarded(const std::function<void()>& handler);

// Runs one handler of a page's form model under the guard: `read_input` copies what the user
// typed into the form, `handler` runs, and `show_form` mirrors the form into the widgets on
// the way out, also when the handler ends with an error (before the error box appears), so
// what the handler wrote stays visible.
void GuardedFormHandler(const std::function<void()>& read_input,
                        const std::function<void()>& handler,
                        const std::function<void()>& show_form);

}  // namespace vexa
